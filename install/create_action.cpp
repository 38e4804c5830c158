#include "install/create_action.h"

#include "install/registration.h"
#include "install/target_rules.h"
#include "package/package_reader.h"
#include "platform/platform.h"
#include "resources/resource.h"

namespace {

CreateOutcome Refuse(CreateActionUi& ui, unsigned textId) {
    ui.ShowMessage(textId, IDS_CREATE_ERROR);
    return CreateOutcome::kStayOpen;
}

}  // namespace

CreateOutcome CreateScreenSaver(const CreateRequest& request, CreateActionUi& ui) {
    if (!IsFolderWritable(request.targetFolder)) {
        return Refuse(ui, IDS_INVALID_PATH);
    }
    NameCheck check = ValidateTargetName(request.targetName);
    if (check != NameCheck::kOk) {
        return Refuse(ui, NameCheckMessage(check));
    }
    // A folder and a name that each fit their fields can still make a path longer than the
    // system takes; refuse it rather than cut it.
    char target[platform::kMaxPath];
    if (!MakeTargetPath(request.targetFolder, request.targetName, target, sizeof target)) {
        return Refuse(ui, IDS_INVALID_PATH);
    }

    PackageReader reader;
    reader.OpenFile(request.installerPath ? platform::OpenForReading(request.installerPath)
                                          : platform::OpenOwnFile());
    // An empty entry 0 is no screen saver either; writing it would fail on every try.
    if (reader.EntryCount() == 0 || reader.EntrySize(0) == 0) {
        ui.ShowMessage(IDS_SAVER_MISSING, IDS_SAVER_MISSING);
    } else {
        if (platform::PathExists(target) && !ui.ConfirmOverwrite(target)) {
            return CreateOutcome::kStayOpen;
        }
        // The folder is tested again because the user may have taken their time over the
        // prompt. Ending quietly without a file would look like success, so it is a refusal.
        if (!IsFolderWritable(request.targetFolder)) {
            return Refuse(ui, IDS_INVALID_PATH);
        }
        WriteFailure failure;
        if (!WritePayload(reader, target, &failure)) {
            reader.Close();
            ui.ShowWriteFailure(target, failure);
            return CreateOutcome::kStayOpen;
        }
    }
    reader.Close();

    if (request.makeDefault && !SetDefaultScreenSaver(target)) {
        ui.ShowUnownedMessage(IDS_ENABLE_FAILED, IDS_CREATE_ERROR);
    }
    return CreateOutcome::kFinished;
}
