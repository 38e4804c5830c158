// What the setup dialog's OK button does: check the destination, copy the screen saver out of
// the installer's own package, and optionally make it the current screen saver.
#pragma once

#include <stdint.h>

#include "install/payload.h"

// What the create action needs from the user: it never shows a window itself, so that the
// dependency runs from the user interface to the installation and not back.
class CreateActionUi {
  public:
    // An OK message box with string-table texts, owned by the dialog.
    virtual void ShowMessage(unsigned textId, unsigned captionId) = 0;
    // The same with no owner window (the activation failure is not modal to the dialog).
    virtual void ShowUnownedMessage(unsigned textId, unsigned captionId) = 0;
    // "<target> already exists. Do you want to replace it?"; false only for the answer No.
    virtual bool ConfirmOverwrite(const char* targetPath) = 0;
    // The screen saver file could not be written; `failure` says at which step and why.
    virtual void ShowWriteFailure(const char* targetPath, const WriteFailure& failure) = 0;

  protected:
    ~CreateActionUi() {}
};

struct CreateRequest {
    // The file that carries the package; null for the running program's own file.
    const char* installerPath;
    const char* targetFolder;
    const char* targetName;  // already normalised to end in ".scr"
    bool makeDefault;
};

enum class CreateOutcome {
    kStayOpen,  // refused or declined: the dialog stays open for another try
    kFinished,  // the dialog ends and the program with it
};

CreateOutcome CreateScreenSaver(const CreateRequest& request, CreateActionUi& ui);
