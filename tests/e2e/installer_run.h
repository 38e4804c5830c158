// One run of the installer (its path in UTF-8), driven from outside as a person would drive it: the
// process is started, its dialog is found among the desktop's windows, text goes into the edit
// fields, buttons are pressed and message boxes are read and answered. Every wait is bounded, and
// every wait also watches for windows nobody expects (a message box no step asked for, the hidden
// main window becoming visible): either fails the run with what was on the screen. A run that
// fails, or is abandoned, kills the installer so that nothing is left hanging.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/e2e_files.h"

const int kPathField = 1074;
const int kNameField = 1075;
const int kBrowseButton = 1089;
const int kMakeDefaultBox = 1001;

struct ProcessWindow {
    HWND window;
    std::string className;
    std::string caption;
    bool visible;
};

struct MessageBoxSeen {
    HWND window;
    std::string caption;
    std::string text;
};

class InstallerRun {
  public:
    // Starts `installerPath` and waits for its dialog; `stepTimeoutMs` bounds every later wait.
    InstallerRun(const std::string& installerPath, DWORD stepTimeoutMs);
    ~InstallerRun();
    InstallerRun(const InstallerRun&) = delete;
    InstallerRun& operator=(const InstallerRun&) = delete;

    HWND dialog() const { return dialog_; }
    // The installer's process, for measurements taken from outside.
    HANDLE process() const { return process_.hProcess; }

    std::string FieldText(int controlId);
    bool IsChecked(int controlId);
    // Replaces a field's text the way typing would: the dialog hears of the change.
    void SetField(int controlId, const std::string& text);
    void SetChecked(int controlId, bool checked);

    // Posted rather than sent: the button's handler may sit in a modal message box.
    void Press(int buttonId);
    void PressEscape();
    void PressCloseBox();

    // Waits for a message box with `caption`, owned by the dialog and offering exactly
    // `buttons` (IDOK, IDYES, ...); any other box fails the run.
    MessageBoxSeen ExpectMessageBox(const std::string& caption, const std::vector<int>& buttons);
    // The same for any dialog window the installer opens over its own; an empty `caption`
    // accepts any (the folder browser's caption is the system's, not the installer's).
    MessageBoxSeen ExpectOwnedWindow(const std::string& caption);
    // Presses `buttonId` (IDOK, IDYES, IDNO) in `box` and waits until the box has gone.
    void Answer(const MessageBoxSeen& box, int buttonId);
    // After a refusal: the dialog must still be there, working, and showing what it showed.
    void ExpectDialogStaysOpen(const std::string& pathField, const std::string& nameField,
                               bool makeDefault);
    // The program must end by itself with exit code 0, showing nothing on the way out.
    // `whileWaiting`, if given, is called between the checks.
    void ExpectExitCodeZero(const std::function<void()>& whileWaiting = nullptr);

  private:
    void WaitForDialog();
    // Throws if the installer shows a window that the current step does not expect.
    void CheckWindows(HWND expectedBox);
    void CheckWindows(const std::vector<ProcessWindow>& windows, HWND expectedBox);
    [[noreturn]] void Fail(const std::string& what);
    HWND Control(int controlId);
    std::string ExitDescription();

    PROCESS_INFORMATION process_ = {};
    DWORD stepTimeoutMs_;
    HWND dialog_ = nullptr;
};

// Reads a message box's text from its static control.
std::string MessageBoxText(HWND box);
// All the static texts of a dialog window, one a line.
std::string StaticTexts(HWND window);
