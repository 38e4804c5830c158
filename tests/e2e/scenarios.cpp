// End-to-end scenarios: each one builds an installer with a recognisable payload, runs it, works
// its dialog as a person would and checks what it leaves on disk and in the settings.
//
//   e2e_driver SCENARIO --host HOST.exe --work FOLDER [--step-timeout SECONDS]
//              [--picture FILE.png] [--packer SCRPACK.exe]
//              [--installer INSTALLER.exe [--payload PAYLOAD.scr]]
//              [--picture FILE.png] [--packer SCRPACK.exe] [--planted MARKER.dll --planted-names
//              A,B]
//   e2e_driver --list
//
// HOST is the installer without a package; FOLDER is emptied and used for this scenario's files
// (Linux paths are taken as paths of the Z: drive). The exit code is 0 when the scenario passed.
// INSTALLER is one made outside the driver (signed_*: signing runs on the build machine), and
// PAYLOAD the payload it carries.

#include <stdio.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/e2e_files.h"
#include "tests/e2e/installer_run.h"
#include "tests/e2e/system_state.h"
#include "tests/e2e/window_png.h"

namespace {

const char kCreateError[] = "Error Creating Screen Saver";
const char kInvalidPath[] = "Error: Invalid Path";
const char kNoFilename[] = "Error: No Filename Specifed";
const char kBadCharacters[] =
    "Error: A filename cannot contain any of the following: \\/:*?\\\"<>|";
const char kSaverMissing[] = "Screen Saver missing";
const char kFileExists[] = "File Exists";
const char kAlreadyExists[] = " already exists.\n Do you want to replace it?";
const char kWriteFailed[] = "Error: The screen saver file could not be written.";
const char kBrowseTitle[] = "Path to browse to";

const std::vector<int> kOkOnly = {IDOK};
const std::vector<int> kYesNo = {IDYES, IDNO};

struct Context {
    std::string host;  // the installer without a package
    std::string work;  // this scenario's own, emptied folder
    DWORD stepTimeoutMs;
    std::string picture;       // where to save a picture of the dialog, if anywhere
    std::string packer;        // the project's packer, for the scenario that uses it
    std::string installer;     // an installer made outside the driver, for the scenarios of those
    std::string payload;       // the payload that installer carries
    std::string planted;       // a DLL that leaves a mark when loaded, for the planted-DLL scenario
    std::string plantedNames;  // the names to plant it under, without ".dll", comma-separated
};

void Step(const std::string& what) {
    printf("  - %s\n", what.c_str());
    fflush(stdout);
}

void Expect(bool condition, const std::string& failure) {
    if (!condition) {
        throw ScenarioFailure(failure);
    }
}

std::string Shown(const std::string& text) {
    std::string shown;
    for (char c : text) {
        shown += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return "\"" + shown + "\"";
}

void ExpectText(const MessageBoxSeen& box, const std::string& expected) {
    Expect(box.text == expected, "the message box " + Shown(box.caption) + " says " +
                                     Shown(box.text) + ", expected " + Shown(expected));
}

// 300 KB and a little more, so that the size is no round number either.
const Bytes& Payload() {
    static const Bytes payload = PseudoRandomBytes(300 * 1024 + 4321, 0x5C12EE);
    return payload;
}

// Entry 0 is the payload; a second entry behind it makes sure the installer copies entry 0
// and not everything up to the index.
std::string MakeInstaller(const Context& context, const std::string& fileName) {
    const std::string path = JoinPath(context.work, fileName);
    WritePackedInstaller(
        context.host, path,
        {{"payload.scr", Payload()}, {"notes.txt", PseudoRandomBytes(1000, 0xA0A0)}});
    return path;
}

std::string MakeFolder(const std::string& parent, const std::string& name) {
    const std::string folder = JoinPath(parent, name);
    MakeFolders(folder);
    return folder;
}

// A folder inside `parent` whose path is exactly `length` bytes long.
std::string MakeFolderOfLength(const std::string& parent, size_t length) {
    Expect(parent.size() + 2 <= length,
           "the work folder's path is too long for this scenario: " + parent);
    return MakeFolder(parent, std::string(length - parent.size() - 1, 'd'));
}

void ExpectDefaults(InstallerRun& run, const std::string& fileName) {
    Expect(run.FieldText(kPathField) == WindowsFolder(),
           "the path field shows " + Shown(run.FieldText(kPathField)) +
               ", expected the Windows folder " + Shown(WindowsFolder()));
    Expect(run.FieldText(kNameField) == fileName, "the name field shows " +
                                                      Shown(run.FieldText(kNameField)) +
                                                      ", expected " + Shown(fileName));
    Expect(!run.IsChecked(kMakeDefaultBox), "\"Make Default Screen Saver\" is ticked at start");
}

void FillIn(InstallerRun& run, const std::string& folder, const std::string& name) {
    run.SetField(kPathField, folder);
    run.SetField(kNameField, name);
}

// Presses OK with what the fields hold and expects one refusal with `message`.
void ExpectRefusal(InstallerRun& run, const std::string& message) {
    const std::string folder = run.FieldText(kPathField);
    const std::string name = run.FieldText(kNameField);
    const bool makeDefault = run.IsChecked(kMakeDefaultBox);
    run.Press(IDOK);
    const MessageBoxSeen box = run.ExpectMessageBox(kCreateError, kOkOnly);
    ExpectText(box, message);
    run.Answer(box, IDOK);
    run.ExpectDialogStaysOpen(folder, name, makeDefault);
}

void ExpectOverwritePrompt(const MessageBoxSeen& box, const std::string& target) {
    ExpectText(box, target + kAlreadyExists);
}

void DefaultsShown(const Context& context) {
    const std::string target = JoinPath(WindowsFolder(), "myshow.scr");
    RemoveAtExit cleanup(target);
    WineDrawsFrames frames("myshow.exe");
    InstallerRun run(MakeInstaller(context, "myshow.exe"), context.stepTimeoutMs);
    Step("the dialog shows the Windows folder and the installer's name as a screen saver");
    ExpectDefaults(run, "myshow.scr");
    if (!context.picture.empty()) {
        Step("save a picture of the dialog in " + context.picture);
        // Bring the dialog to the front and let it finish painting before its pixels are copied.
        SetForegroundWindow(run.dialog());
        DWORD_PTR result = 0;
        SendMessageTimeoutA(run.dialog(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, context.stepTimeoutMs,
                            &result);
        Sleep(500);
        SaveWindowPicture(run.dialog(), context.picture);
    }
    run.Press(IDCANCEL);
    run.ExpectExitCodeZero();
    ExpectMissing(target);
}

void OkWithDefaults(const Context& context) {
    const std::string target = JoinPath(WindowsFolder(), "e2edefault.scr");
    RemoveAtExit cleanup(target);
    InstallerRun run(MakeInstaller(context, "e2edefault.exe"), context.stepTimeoutMs);
    Step("OK with the defaults installs " + target);
    run.Press(IDOK);
    run.ExpectExitCodeZero();
    ExpectFileContent(target, Payload());
}

// A first try that is refused, then a corrected one that installs.
struct RefusalCase {
    const char* scenario;
    const char* folder;  // inside the work folder
    const char* name;
    const char* message;
    const char* correctedName;
    const char* installedAs;
};

const RefusalCase kRefusals[] = {
    {"empty_name", "out", "", kNoFilename, "fixed", "fixed.scr"},
    {"forbidden_quote", "out", "say\"hi", kBadCharacters, "good name", "good name.scr"},
    {"forbidden_bar", "out", "a|b", kBadCharacters, "show.exe", "show.exe.scr"},
    {"missing_folder", "nowhere", "x", kInvalidPath, "x", "x.scr"},
};

void RefusedThenCorrected(const Context& context, const RefusalCase& row) {
    const std::string out = MakeFolder(context.work, "out");
    const std::string firstFolder = JoinPath(context.work, row.folder);
    InstallerRun run(MakeInstaller(context, "retry.exe"), context.stepTimeoutMs);
    Step("folder " + Shown(firstFolder) + ", name " + Shown(row.name) + ": refused with " +
         Shown(row.message));
    FillIn(run, firstFolder, row.name);
    ExpectRefusal(run, row.message);
    Step("folder " + Shown(out) + ", name " + Shown(row.correctedName) + ": installs " +
         Shown(row.installedAs));
    FillIn(run, out, row.correctedName);
    run.Press(IDOK);
    run.ExpectExitCodeZero();
    ExpectFileContent(JoinPath(out, row.installedAs), Payload());
    ExpectFolderHoldsOnly(out, {row.installedAs});
    if (firstFolder != out) {
        ExpectMissing(firstFolder);
    }
}

void MissingFolderAndEmptyName(const Context& context) {
    const std::string out = MakeFolder(context.work, "out");
    const std::string missing = JoinPath(context.work, "nowhere");
    InstallerRun run(MakeInstaller(context, "both.exe"), context.stepTimeoutMs);
    Step("a missing folder and an empty name report only the folder");
    FillIn(run, missing, "");
    ExpectRefusal(run, kInvalidPath);
    Step("with the folder mended, the empty name is reported");
    run.SetField(kPathField, out);
    ExpectRefusal(run, kNoFilename);
    Step("with both mended, the screen saver is installed");
    run.SetField(kNameField, "both");
    run.Press(IDOK);
    run.ExpectExitCodeZero();
    ExpectFileContent(JoinPath(out, "both.scr"), Payload());
    ExpectFolderHoldsOnly(out, {"both.scr"});
    ExpectMissing(missing);
}

void OverwriteDeclined(const Context& context) {
    // A target path longer than the 215 characters that a 260-byte prompt text could hold, to
    // see the prompt show it whole.
    const std::string folder = MakeFolderOfLength(context.work, 232);
    const std::string target = JoinPath(folder, "kept.scr");
    const Bytes old = PseudoRandomBytes(5000, 0x01D);
    WriteWholeFile(target, old);
    InstallerRun run(MakeInstaller(context, "kept.exe"), context.stepTimeoutMs);
    Step("an existing " + std::to_string(target.size()) + "-byte target asks before replacing");
    FillIn(run, folder, "kept");
    run.Press(IDOK);
    const MessageBoxSeen prompt = run.ExpectMessageBox(kFileExists, kYesNo);
    ExpectOverwritePrompt(prompt, target);
    Step("No keeps the file and the dialog");
    run.Answer(prompt, IDNO);
    run.ExpectDialogStaysOpen(folder, "kept", false);
    ExpectFileContent(target, old);
    run.Press(IDCANCEL);
    run.ExpectExitCodeZero();
    ExpectFileContent(target, old);
    ExpectFolderHoldsOnly(folder, {"kept.scr"});
}

void OverwriteAccepted(const Context& context) {
    const std::string out = MakeFolder(context.work, "out");
    const std::string target = JoinPath(out, "again.scr");
    // Longer than the payload: a copy that does not truncate would leave its tail behind.
    WriteWholeFile(target, PseudoRandomBytes(400 * 1024, 0x0DD));
    InstallerRun run(MakeInstaller(context, "again.exe"), context.stepTimeoutMs);
    Step("an existing, longer target is replaced completely after Yes");
    FillIn(run, out, "again");
    run.Press(IDOK);
    const MessageBoxSeen prompt = run.ExpectMessageBox(kFileExists, kYesNo);
    ExpectOverwritePrompt(prompt, target);
    run.Answer(prompt, IDYES);
    run.ExpectExitCodeZero();
    ExpectFileContent(target, Payload());
    ExpectFolderHoldsOnly(out, {"again.scr"});
}

// Installers that carry no usable screen saver: the host alone, and packed installers whose
// download went wrong. `make` writes one to `installer`.
struct UnusableCase {
    const char* scenario;
    const char* what;
    void (*make)(const Context& context, const std::string& installer);
};

// The bytes of a good installer, for a download to damage.
Bytes GoodInstallerBytes(const Context& context) {
    return ReadWholeFile(MakeInstaller(context, "whole.exe"));
}

// A download that stopped two thirds of the way: the end of the package never arrived.
void CutShort(const Context& context, const std::string& installer) {
    Bytes bytes = GoodInstallerBytes(context);
    bytes.resize(bytes.size() / 3 * 2);
    WriteWholeFile(installer, bytes);
}

// A download that lost a block in the middle of the payload: the end of the package is intact,
// but its index no longer lies where the package says it does.
void BlockLost(const Context& context, const std::string& installer) {
    Bytes bytes = GoodInstallerBytes(context);
    const size_t start = bytes.size() / 2;
    bytes.erase(bytes.begin() + start, bytes.begin() + start + 4096);
    WriteWholeFile(installer, bytes);
}

const UnusableCase kUnusables[] = {
    {"signed_index_lies", "a validly signed installer whose index offset lies",
     [](const Context& context, const std::string& installer) {
         Expect(!context.installer.empty(), "this scenario needs --installer");
         CopyWholeFile(context.installer, installer);
     }},
    {"no_package", "an installer without a package",
     [](const Context& context, const std::string& installer) {
         CopyWholeFile(context.host, installer);
     }},
    {"download_cut_short", "an installer whose download stopped early", CutShort},
    {"download_block_lost", "an installer whose download lost a block", BlockLost},
};

void NothingToInstall(const Context& context, const UnusableCase& row) {
    const std::string out = MakeFolder(context.work, "out");
    const std::string installer = JoinPath(context.work, "nopack.exe");
    row.make(context, installer);
    const std::string defaultTarget = JoinPath(WindowsFolder(), "nopack.scr");
    RemoveAtExit cleanup(defaultTarget);
    InstallerRun run(installer, context.stepTimeoutMs);
    Step(std::string(row.what) + " says the screen saver is missing, and ends");
    ExpectDefaults(run, "nopack.scr");
    run.SetField(kPathField, out);
    run.Press(IDOK);
    const MessageBoxSeen box = run.ExpectMessageBox(kSaverMissing, kOkOnly);
    ExpectText(box, kSaverMissing);
    run.Answer(box, IDOK);
    run.ExpectExitCodeZero();
    ExpectFolderHoldsOnly(out, {});
    ExpectMissing(defaultTarget);
}

struct ClosingCase {
    const char* scenario;
    const char* how;
    void (*close)(InstallerRun&);
};

const ClosingCase kClosings[] = {
    {"cancel_button", "the Cancel button", [](InstallerRun& run) { run.Press(IDCANCEL); }},
    {"escape_key", "the Esc key", [](InstallerRun& run) { run.PressEscape(); }},
    {"close_box", "the close box", [](InstallerRun& run) { run.PressCloseBox(); }},
};

void ClosedWithoutInstalling(const Context& context, const ClosingCase& row) {
    const std::string out = MakeFolder(context.work, "out");
    InstallerRun run(MakeInstaller(context, "quit.exe"), context.stepTimeoutMs);
    Step(std::string("closing with ") + row.how + " ends the program and writes nothing");
    FillIn(run, out, "quit");
    row.close(run);
    run.ExpectExitCodeZero();
    ExpectFolderHoldsOnly(out, {});
}

void BrowserCancelled(const Context& context) {
    const std::string out = MakeFolder(context.work, "out");
    InstallerRun run(MakeInstaller(context, "browse.exe"), context.stepTimeoutMs);
    FillIn(run, out, "browse");
    Step("Browse opens the folder browser titled " + Shown(kBrowseTitle));
    run.Press(kBrowseButton);
    const MessageBoxSeen browser = run.ExpectOwnedWindow("");
    Expect(browser.text.find(kBrowseTitle) != std::string::npos,
           "the folder browser's texts are " + Shown(browser.text) + ", expected to include " +
               Shown(kBrowseTitle));
    Step("cancelling the browser changes nothing");
    run.Answer(browser, IDCANCEL);
    run.ExpectDialogStaysOpen(out, "browse", false);
    run.Press(IDCANCEL);
    run.ExpectExitCodeZero();
    ExpectFolderHoldsOnly(out, {});
}

// The browser is rooted at the desktop, the one item every system's browser shows first, and
// a folder of the file system.
void BrowserChosen(const Context& context) {
    const std::string out = MakeFolder(context.work, "out");
    const std::string desktop = DesktopFolder();
    Expect(!desktop.empty(), "the system names no desktop folder");
    const std::string target = JoinPath(desktop, "chosen.scr");
    RemoveAtExit cleanup(target);
    InstallerRun run(MakeInstaller(context, "chosen.exe"), context.stepTimeoutMs);
    FillIn(run, out, "chosen");
    Step("choosing the desktop in the browser puts its folder into the path field");
    run.Press(kBrowseButton);
    const MessageBoxSeen browser = run.ExpectOwnedWindow("");
    HWND tree = FindWindowExA(browser.window, nullptr, "SysTreeView32", nullptr);
    Expect(tree != nullptr, "the folder browser has no folder tree");
    DWORD_PTR root = 0;
    DWORD_PTR selected = 0;
    Expect(SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0, SMTO_ABORTIFHUNG,
                               context.stepTimeoutMs, &root) &&
               root &&
               SendMessageTimeoutA(tree, TVM_SELECTITEM, TVGN_CARET, LPARAM(root), SMTO_ABORTIFHUNG,
                                   context.stepTimeoutMs, &selected) &&
               selected,
           "the desktop could not be chosen in the folder browser");
    run.Answer(browser, IDOK);
    run.ExpectDialogStaysOpen(desktop, "chosen", false);
    Step("OK installs into the chosen folder");
    run.Press(IDOK);
    run.ExpectExitCodeZero();
    ExpectFileContent(target, Payload());
    ExpectFolderHoldsOnly(out, {});
}

// The payload with the headers the packer looks for in a screen saver: "MZ", and a PE signature
// where the MZ header points.
Bytes WindowsLookingPayload() {
    Bytes bytes = Payload();
    const uint8_t header[] = {'M', 'Z'};
    const uint8_t pointer[] = {0x80, 0, 0, 0};
    const uint8_t signature[] = {'P', 'E', 0, 0};
    std::copy(header, header + 2, bytes.begin());
    std::copy(pointer, pointer + 4, bytes.begin() + 0x3C);
    std::copy(signature, signature + 4, bytes.begin() + 0x80);
    return bytes;
}

// The installer as the project's own packer builds it.
void PackedByScrpack(const Context& context) {
    Expect(!context.packer.empty(), "this scenario needs --packer");
    const std::string out = MakeFolder(context.work, "out");
    const std::string payload = JoinPath(context.work, "payload.scr");
    const std::string notes = JoinPath(context.work, "notes.txt");
    const std::string installer = JoinPath(context.work, "packed.exe");
    const Bytes saver = WindowsLookingPayload();
    WriteWholeFile(payload, saver);
    WriteWholeFile(notes, PseudoRandomBytes(1000, 0xA0A0));
    Step("the packer builds an installer from the host, the payload and a second entry");
    const DWORD packed = RunProgram(context.packer,
                                    "build \"" + context.host + "\" \"" + payload + "\" \"" +
                                        notes + "\" -o \"" + installer + "\"",
                                    context.stepTimeoutMs);
    Expect(packed == 0, "the packer exited with code " + std::to_string(packed));
    InstallerRun run(installer, context.stepTimeoutMs);
    Step("that installer installs the payload");
    FillIn(run, out, "packed");
    run.Press(IDOK);
    run.ExpectExitCodeZero();
    ExpectFileContent(JoinPath(out, "packed.scr"), saver);
    ExpectFolderHoldsOnly(out, {"packed.scr"});
}

// A signed installer, made with the signing tool outside the driver, installs what it carries.
void SignedInstalls(const Context& context) {
    Expect(!context.installer.empty() && !context.payload.empty(),
           "this scenario needs --installer and --payload");
    const std::string out = MakeFolder(context.work, "out");
    const std::string installer = JoinPath(context.work, "signed.exe");
    CopyWholeFile(context.installer, installer);
    InstallerRun run(installer, context.stepTimeoutMs);
    Step("the signed installer installs its payload");
    FillIn(run, out, "signed");
    run.Press(IDOK);
    run.ExpectExitCodeZero();
    ExpectFileContent(JoinPath(out, "signed.scr"), ReadWholeFile(context.payload));
    ExpectFolderHoldsOnly(out, {"signed.scr"});
}

// HKCU\Control Panel\Desktop ScreenSaveActive: the switch as the next logon finds it.
const char kProfileSwitch[] = "ScreenSaveActive";

std::string ProfileSwitch() {
    char value[16] = {};
    DWORD size = sizeof value - 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return "<no key>";
    }
    const LONG result = RegQueryValueExA(key, kProfileSwitch, nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::string(value) : std::string("<no value>");
}

void SetProfileSwitch(const char* value) {
    HKEY key;
    Expect(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_WRITE,
                           nullptr, &key, nullptr) == ERROR_SUCCESS &&
               RegSetValueExA(key, kProfileSwitch, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                              DWORD(strlen(value) + 1)) == ERROR_SUCCESS,
           "cannot set HKCU\\Control Panel\\Desktop ScreenSaveActive");
    RegCloseKey(key);
}

void MakeDefault(const Context& context) {
    RestoreScreenSaverSettings restore(context.stepTimeoutMs);
    const RegistryString sentinel = StringSetting("C:\\before.scr");
    Expect(WriteScreenSaverSetting(sentinel),
           "cannot set HKCU\\Control Panel\\Desktop SCRNSAVE.EXE");
    SwitchScreenSaving(false);
    Expect(!ScreenSavingActive(context.stepTimeoutMs),
           "screen saving could not be switched off for the test");
    SetProfileSwitch("0");

    const std::string folder = MakeFolder(context.work, "Long Folder Name");
    const std::string installer = MakeInstaller(context, "default.exe");
    {
        InstallerRun run(installer, context.stepTimeoutMs);
        Step("without the box ticked, the setting and the switch stay as they were");
        FillIn(run, folder, "Plain Saver");
        run.Press(IDOK);
        run.ExpectExitCodeZero();
        ExpectFileContent(JoinPath(folder, "Plain Saver.scr"), Payload());
        Expect(ReadScreenSaverSetting().data == sentinel.data,
               "the screen saver setting changed to " + Describe(ReadScreenSaverSetting()));
        Expect(!ScreenSavingActive(context.stepTimeoutMs), "screen saving was switched on");
        Expect(ProfileSwitch() == "0",
               "ScreenSaveActive in the profile changed to " + Shown(ProfileSwitch()));
    }
    const std::string target = JoinPath(folder, "My Screen Saver.scr");
    {
        InstallerRun run(installer, context.stepTimeoutMs);
        Step("with \"Make Default Screen Saver\" ticked, the new file becomes the screen saver");
        FillIn(run, folder, "My Screen Saver");
        run.SetChecked(kMakeDefaultBox, true);
        run.Press(IDOK);
        run.ExpectExitCodeZero();
    }
    ExpectFileContent(target, Payload());
    char shortPath[MAX_PATH] = {};
    Expect(GetShortPathNameA(target.c_str(), shortPath, sizeof shortPath) > 0,
           "no short path for " + target);
    Expect(std::string(shortPath) != target,
           "the short path equals the long one, so the test could not tell them apart");
    const RegistryString stored = ReadScreenSaverSetting();
    Expect(stored.present && stored.type == REG_SZ && stored.data == StringSetting(shortPath).data,
           "HKCU\\Control Panel\\Desktop SCRNSAVE.EXE is " + Describe(stored) + ", expected " +
               Describe(StringSetting(shortPath)));
    Expect(ScreenSavingActive(context.stepTimeoutMs), "screen saving was not switched on");
    // Stored in the profile as well, or the next logon switches screen saving off again.
    Expect(ProfileSwitch() == "1",
           "ScreenSaveActive in the profile is " + Shown(ProfileSwitch()) + ", expected \"1\"");
}

// Targets that are offered for replacing but cannot be replaced.
struct UnwritableCase {
    const char* scenario;
    const char* what;
    void (*make)(const std::string& target);
    void (*expectKept)(const std::string& target);
};

const Bytes& ProtectedScreenSaver() {
    static const Bytes bytes = PseudoRandomBytes(2000 + 17, 0x0DD5C2);
    return bytes;
}

const UnwritableCase kUnwritables[] = {
    // A folder where the file should go: it counts as existing, and no file can replace it.
    {"write_failure", "a folder", [](const std::string& target) { MakeFolders(target); },
     [](const std::string& target) {
         Expect(FolderExists(target), "the folder " + target + " is gone");
     }},
    // A screen saver the user protected.
    {"read_only_target", "a read-only file",
     [](const std::string& target) {
         WriteWholeFile(target, ProtectedScreenSaver());
         Expect(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY) != 0,
                "could not make " + target + " read-only");
     },
     [](const std::string& target) { ExpectFileContent(target, ProtectedScreenSaver()); }},
};

void WriteFails(const Context& context, const UnwritableCase& row) {
    const std::string out = MakeFolder(context.work, "out");
    const std::string target = JoinPath(out, "taken.scr");
    row.make(target);
    InstallerRun run(MakeInstaller(context, "taken.exe"), context.stepTimeoutMs);
    Step(std::string("a target that is ") + row.what + " is offered for replacing");
    FillIn(run, out, "taken");
    run.Press(IDOK);
    const MessageBoxSeen prompt = run.ExpectMessageBox(kFileExists, kYesNo);
    ExpectOverwritePrompt(prompt, target);
    Step("Yes reports that the file could not be written, and keeps the dialog");
    run.Answer(prompt, IDYES);
    const MessageBoxSeen failure = run.ExpectMessageBox(kCreateError, kOkOnly);
    const std::string& text = failure.text;
    const size_t pathAt = text.find(target, sizeof kWriteFailed - 1);
    Expect(text.compare(0, sizeof kWriteFailed - 1, kWriteFailed) == 0 &&
               pathAt != std::string::npos &&
               text.find_first_not_of(" \t\r\n.:", pathAt + target.size()) != std::string::npos,
           "the write failure says " + Shown(text) + ", expected " + Shown(kWriteFailed) +
               " followed by " + Shown(target) + " and the reason");
    run.Answer(failure, IDOK);
    run.ExpectDialogStaysOpen(out, "taken", false);
    run.Press(IDCANCEL);
    run.ExpectExitCodeZero();
    row.expectKept(target);
    ExpectFolderHoldsOnly(out, {"taken.scr"});
}

void LongPath(const Context& context) {
    const std::string folder = MakeFolderOfLength(context.work, 200);
    // The folder, a separator and the name; ".scr" is typed so the stored name is the typed one.
    const std::string tooLong = std::string(260 - 201 - 4, 'n') + ".scr";
    const std::string longest = std::string(259 - 201 - 4, 'n') + ".scr";
    InstallerRun run(MakeInstaller(context, "long.exe"), context.stepTimeoutMs);
    Step("a target path of 260 bytes is refused");
    FillIn(run, folder, tooLong);
    ExpectRefusal(run, kInvalidPath);
    Step("a target path of 259 bytes is installed");
    run.SetField(kNameField, longest);
    run.Press(IDOK);
    run.ExpectExitCodeZero();
    ExpectFileContent(JoinPath(folder, longest), Payload());
    ExpectFolderHoldsOnly(folder, {longest});
}

// Download folders whose names the ANSI code page (1252 here) cannot spell: the installer
// must still find its own file. An installer's own name that cannot be spelt gives way to a
// plain default name.
struct ForeignFolderCase {
    const char* scenario;
    const char* folder;     // UTF-8, inside the work folder
    const char* installer;  // the installer's file name, UTF-8
    const char* offered;    // the name the dialog offers
};

const ForeignFolderCase kForeignFolders[] = {
    {"folder_cyrillic", "Загрузки", "Заставка.exe", "Screen Saver.scr"},
    {"folder_chinese", "下载", "aquarium.exe", "aquarium.scr"},
    {"folder_polish", "Łódź", "lodz.exe", "lodz.scr"},
};

void InstallsFromForeignFolder(const Context& context, const ForeignFolderCase& row) {
    const std::string out = MakeFolder(context.work, "out");
    MakeFolder(context.work, row.folder);
    // Given a signed installer, that one goes there instead, so that one run of the slow 32-bit
    // build checks both.
    std::string installer = JoinPath(context.work, JoinPath(row.folder, row.installer));
    Bytes payload = Payload();
    if (context.installer.empty()) {
        MakeInstaller(context, JoinPath(row.folder, row.installer));
    } else {
        CopyWholeFile(context.installer, installer);
        payload = ReadWholeFile(context.payload);
    }
    InstallerRun run(installer, context.stepTimeoutMs);
    Step("an installer in " + Shown(JoinPath(context.work, row.folder)) + " offers " +
         Shown(row.offered) + " and installs");
    ExpectDefaults(run, row.offered);
    run.SetField(kPathField, out);
    run.Press(IDOK);
    run.ExpectExitCodeZero();
    ExpectFileContent(JoinPath(out, row.offered), payload);
    ExpectFolderHoldsOnly(out, {row.offered});
}

// Holds a file without sharing, as a virus scanner does with a fresh download, and lets go
// after `holdMs` from a thread of its own.
class ScannerHold {
  public:
    ScannerHold(const std::string& path, DWORD holdMs) : holdMs_(holdMs) {
        file_ = CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        Expect(file_ != INVALID_HANDLE_VALUE,
               "cannot hold " + path + " without sharing: error " + std::to_string(GetLastError()));
        thread_ = CreateThread(nullptr, 0, LetGo, this, 0, nullptr);
        if (thread_ == nullptr) {
            CloseHandle(file_);
            throw ScenarioFailure("cannot start the thread that lets go of " + path);
        }
    }
    ~ScannerHold() {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    ScannerHold(const ScannerHold&) = delete;
    ScannerHold& operator=(const ScannerHold&) = delete;

  private:
    static DWORD WINAPI LetGo(void* context) {
        ScannerHold& hold = *static_cast<ScannerHold*>(context);
        Sleep(hold.holdMs_);
        CloseHandle(hold.file_);
        return 0;
    }

    DWORD holdMs_;
    HANDLE file_;
    HANDLE thread_;
};

void ShortHoldIsWaitedOut(const Context& context) {
    const std::string out = MakeFolder(context.work, "out");
    const std::string installer = MakeInstaller(context, "scanned.exe");
    InstallerRun run(installer, context.stepTimeoutMs);
    FillIn(run, out, "scanned");
    Step("the installer's file is held without sharing for 0.7 s while OK is pressed");
    {
        ScannerHold hold(installer, 700);
        run.Press(IDOK);
        run.ExpectExitCodeZero();
    }
    ExpectFileContent(JoinPath(out, "scanned.scr"), Payload());
    ExpectFolderHoldsOnly(out, {"scanned.scr"});
}

void LongHoldReportsTheSaverMissing(const Context& context) {
    const std::string out = MakeFolder(context.work, "out");
    const std::string installer = MakeInstaller(context, "held.exe");
    InstallerRun run(installer, context.stepTimeoutMs);
    FillIn(run, out, "held");
    Step("the installer's file is held without sharing for 8 s while OK is pressed");
    ScannerHold hold(installer, 8000);
    run.Press(IDOK);
    const MessageBoxSeen box = run.ExpectMessageBox(kSaverMissing, kOkOnly);
    ExpectText(box, kSaverMissing);
    run.Answer(box, IDOK);
    run.ExpectExitCodeZero();
    ExpectFolderHoldsOnly(out, {});
}

// DLLs named like system ones, beside the installer in a download folder: none may be loaded,
// from the start through the folder browser to the end of the installation. Each copy of the
// planted DLL leaves a file "NAME.dll.loaded" beside itself when loaded. Wine must be told to
// prefer native copies of these names, as Windows' own search order does.
void PlantedDllsStayUnloaded(const Context& context) {
    Expect(!context.planted.empty() && !context.plantedNames.empty(),
           "this scenario needs --planted and --planted-names");
    const std::string out = MakeFolder(context.work, "out");
    const std::string folder = MakeFolder(context.work, "Downloads");
    std::vector<std::string> expected;
    for (size_t start = 0; start <= context.plantedNames.size();) {
        size_t end = context.plantedNames.find(',', start);
        if (end == std::string::npos) {
            end = context.plantedNames.size();
        }
        expected.push_back(context.plantedNames.substr(start, end - start) + ".dll");
        CopyWholeFile(context.planted, JoinPath(folder, expected.back()));
        start = end + 1;
    }
    const std::string installer = MakeInstaller(context, "Downloads\\planted.exe");
    expected.push_back("planted.exe");

    Step("an installer beside " + std::to_string(expected.size() - 1) +
         " planted DLLs starts, browses and installs");
    {
        InstallerRun run(installer, context.stepTimeoutMs);
        FillIn(run, out, "planted");
        run.Press(kBrowseButton);
        const MessageBoxSeen browser = run.ExpectOwnedWindow("");
        run.Answer(browser, IDCANCEL);
        run.ExpectDialogStaysOpen(out, "planted", false);
        run.Press(IDOK);
        run.ExpectExitCodeZero();
    }
    ExpectFileContent(JoinPath(out, "planted.scr"), Payload());
    Step("no planted DLL was loaded");
    ExpectFolderHoldsOnly(folder, expected);
}

struct Scenario {
    std::string name;
    std::function<void(const Context&)> run;
};

std::vector<Scenario> AllScenarios() {
    std::vector<Scenario> all = {
        {"defaults_shown", DefaultsShown},
        {"ok_defaults", OkWithDefaults},
        {"missing_folder_empty_name", MissingFolderAndEmptyName},
        {"overwrite_no", OverwriteDeclined},
        {"overwrite_yes", OverwriteAccepted},
        {"browse_cancel", BrowserCancelled},
        {"browse_choose", BrowserChosen},
        {"make_default", MakeDefault},
        {"long_path", LongPath},
        {"packed_by_scrpack", PackedByScrpack},
        {"signed_unaligned", SignedInstalls},
        {"signed_aligned", SignedInstalls},
        {"signed_nested", SignedInstalls},
        {"scanner_hold_short", ShortHoldIsWaitedOut},
        {"scanner_hold_long", LongHoldReportsTheSaverMissing},
        {"planted_dlls", PlantedDllsStayUnloaded},
    };
    for (const ForeignFolderCase& row : kForeignFolders) {
        all.push_back(
            {row.scenario, [&row](const Context& c) { InstallsFromForeignFolder(c, row); }});
    }
    for (const RefusalCase& row : kRefusals) {
        all.push_back({row.scenario, [&row](const Context& c) { RefusedThenCorrected(c, row); }});
    }
    for (const UnusableCase& row : kUnusables) {
        all.push_back({row.scenario, [&row](const Context& c) { NothingToInstall(c, row); }});
    }
    for (const UnwritableCase& row : kUnwritables) {
        all.push_back({row.scenario, [&row](const Context& c) { WriteFails(c, row); }});
    }
    for (const ClosingCase& row : kClosings) {
        all.push_back(
            {row.scenario, [&row](const Context& c) { ClosedWithoutInstalling(c, row); }});
    }
    return all;
}

int Usage() {
    fprintf(stderr,
            "usage: e2e_driver SCENARIO --host HOST.exe --work FOLDER [--step-timeout SECONDS]\n"
            "                  [--picture FILE.png] [--packer SCRPACK.exe]\n"
            "                  [--installer INSTALLER.exe [--payload PAYLOAD.scr]]\n"
            "                  [--planted MARKER.dll --planted-names A,B]\n"
            "       e2e_driver --list\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == kQueryScreenSaverActive) {
        return QueryScreenSaverActive();
    }
    const std::vector<Scenario> scenarios = AllScenarios();
    if (argc == 2 && std::string(argv[1]) == "--list") {
        for (const Scenario& scenario : scenarios) {
            printf("%s\n", scenario.name.c_str());
        }
        return 0;
    }
    if (argc < 2) {
        return Usage();
    }
    const std::string name = argv[1];
    Context context{"", "", 20000, "", "", "", "", "", ""};
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--host") {
            context.host = ToWindowsPath(value);
        } else if (option == "--work") {
            context.work = ToWindowsPath(value);
        } else if (option == "--step-timeout") {
            context.stepTimeoutMs = DWORD(atoi(value.c_str())) * 1000;
        } else if (option == "--picture") {
            context.picture = ToWindowsPath(value);
        } else if (option == "--packer") {
            context.packer = ToWindowsPath(value);
        } else if (option == "--installer") {
            context.installer = ToWindowsPath(value);
        } else if (option == "--payload") {
            context.payload = ToWindowsPath(value);
        } else if (option == "--planted") {
            context.planted = ToWindowsPath(value);
        } else if (option == "--planted-names") {
            context.plantedNames = value;
        } else {
            return Usage();
        }
    }
    if (argc % 2 != 0 || context.host.empty() || context.work.empty() || !context.stepTimeoutMs) {
        return Usage();
    }
    for (const Scenario& scenario : scenarios) {
        if (scenario.name != name) {
            continue;
        }
        printf("scenario %s\n", name.c_str());
        fflush(stdout);
        try {
            RemoveTree(context.work);
            MakeFolders(context.work);
            scenario.run(context);
        } catch (const std::exception& failure) {
            printf("FAILED %s: %s\n", name.c_str(), failure.what());
            return 1;
        }
        printf("passed %s\n", name.c_str());
        return 0;
    }
    fprintf(stderr, "unknown scenario '%s'; --list shows them\n", name.c_str());
    return 2;
}
