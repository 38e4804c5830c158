#include "tests/e2e/installer_run.h"

#include <stdio.h>

#include <vector>

namespace {

const char kDialogClass[] = "#32770";
const char kDialogCaption[] = "Setup Screen Saver";
const char kMainWindowClass[] = "ScreenSaverSetupClass";
const char kMainWindowTitle[] = "SCR_Setup";
// The id both Windows and Wine give a message box's text control.
const int kMessageBoxTextId = 0xFFFF;
const DWORD kPollMs = 25;
// Reading a text is one round trip, but under emulation a round trip can take long.
const DWORD kTextTimeoutMs = 30000;

struct WindowSearch {
    DWORD processId;
    std::vector<ProcessWindow> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM context) {
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId) {
        char className[256] = {};
        char caption[512] = {};
        GetClassNameA(window, className, sizeof className);
        GetWindowTextA(window, caption, sizeof caption);
        search.found.push_back({window, className, caption, IsWindowVisible(window) != FALSE});
    }
    return TRUE;
}

std::vector<ProcessWindow> TopWindowsOf(DWORD processId) {
    WindowSearch search{processId, {}};
    EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The window belongs to another process, so its text is fetched with a message that the system
// carries across; the time limit keeps a hung installer from hanging the test.
std::string WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs,
                             &length)) {
        return "<no answer to WM_GETTEXTLENGTH>";
    }
    std::vector<char> text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kTextTimeoutMs, &copied)) {
        return "<no answer to WM_GETTEXT>";
    }
    return std::string(text.data(), copied);
}

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\r') {
            quoted += "\\r";
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string ButtonName(int id) {
    switch (id) {
        case IDOK:
            return "OK";
        case IDCANCEL:
            return "Cancel";
        case IDYES:
            return "Yes";
        case IDNO:
            return "No";
        default:
            return "button " + std::to_string(id);
    }
}

std::string ButtonList(const std::vector<int>& ids) {
    std::string list;
    for (int id : ids) {
        list += (list.empty() ? "" : "+") + ButtonName(id);
    }
    return list.empty() ? "no button" : list;
}

// A message box's template holds every button; those its type does not ask for are hidden.
std::vector<int> VisibleButtons(HWND box) {
    std::vector<int> ids;
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        HWND button = GetDlgItem(box, id);
        if (button && IsWindowVisible(button)) {
            ids.push_back(id);
        }
    }
    return ids;
}

}  // namespace

std::string MessageBoxText(HWND box) {
    if (HWND text = GetDlgItem(box, kMessageBoxTextId)) {
        return WindowText(text);
    }
    return StaticTexts(box);
}

std::string StaticTexts(HWND window) {
    std::string joined;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[64] = {};
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") == 0) {
            const std::string text = WindowText(child);
            if (!text.empty()) {
                joined += (joined.empty() ? "" : "\n") + text;
            }
        }
    }
    return joined;
}

InstallerRun::InstallerRun(const std::string& installerPath, DWORD stepTimeoutMs)
    : stepTimeoutMs_(stepTimeoutMs) {
    // Started by its wide name: the installer may lie in a folder the code page cannot spell.
    std::wstring commandLine = L"\"" + Wide(installerPath) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(Wide(installerPath).c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process_)) {
        throw ScenarioFailure("cannot start '" + installerPath + "': error " +
                              std::to_string(GetLastError()));
    }
    WaitForDialog();
}

InstallerRun::~InstallerRun() {
    if (process_.hProcess) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 10000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
}

void InstallerRun::Fail(const std::string& what) {
    std::string message = what;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        message += "\n  windows of the installer at that moment:";
        for (const ProcessWindow& w : TopWindowsOf(process_.dwProcessId)) {
            message += "\n    class " + Quoted(w.className) + " caption " + Quoted(w.caption) +
                       (w.visible ? " visible" : " hidden");
        }
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 10000);
        message += "\n  the installer was killed";
    }
    throw ScenarioFailure(message);
}

std::string InstallerRun::ExitDescription() {
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return "the installer exited with code " + std::to_string(code);
}

void InstallerRun::WaitForDialog() {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < stepTimeoutMs_) {
        if (WaitForSingleObject(process_.hProcess, kPollMs) == WAIT_OBJECT_0) {
            Fail(ExitDescription() + " without showing the dialog \"" +
                 std::string(kDialogCaption) + "\"");
        }
        HWND mainWindow = nullptr;
        const std::vector<ProcessWindow> windows = TopWindowsOf(process_.dwProcessId);
        for (const ProcessWindow& w : windows) {
            if (w.className == kDialogClass && w.caption == kDialogCaption && w.visible) {
                dialog_ = w.window;
            }
            if (w.className == kMainWindowClass) {
                mainWindow = w.window;
                if (w.caption != kMainWindowTitle) {
                    Fail("the main window's title is " + Quoted(w.caption) + ", expected " +
                         Quoted(kMainWindowTitle));
                }
            }
        }
        if (dialog_) {
            if (!mainWindow) {
                Fail("the dialog is shown but there is no window of class \"" +
                     std::string(kMainWindowClass) + "\"");
            }
            if (GetWindow(dialog_, GW_OWNER) != mainWindow) {
                Fail("the dialog is not owned by the main window \"SCR_Setup\"");
            }
            CheckWindows(windows, nullptr);
            return;
        }
        CheckWindows(windows, nullptr);
    }
    Fail("the dialog \"" + std::string(kDialogCaption) + "\" did not appear within " +
         std::to_string(stepTimeoutMs_ / 1000) + " s");
}

void InstallerRun::CheckWindows(HWND expectedBox) {
    CheckWindows(TopWindowsOf(process_.dwProcessId), expectedBox);
}

// One snapshot serves both the search and this check: a window that appears between two
// snapshots must not be taken for a stray one.
void InstallerRun::CheckWindows(const std::vector<ProcessWindow>& windows, HWND expectedBox) {
    for (const ProcessWindow& w : windows) {
        if (!w.visible || w.window == dialog_ || w.window == expectedBox) {
            continue;
        }
        if (w.className == kMainWindowClass) {
            Fail("the main window " + Quoted(w.caption) + " became visible");
        }
        if (w.className == kDialogClass) {
            Fail("unexpected window " + Quoted(w.caption) + " with text " +
                 Quoted(MessageBoxText(w.window)));
        }
        Fail("unexpected window of class " + Quoted(w.className) + " with caption " +
             Quoted(w.caption));
    }
}

HWND InstallerRun::Control(int controlId) {
    HWND control = GetDlgItem(dialog_, controlId);
    if (!control) {
        Fail("the dialog has no control " + std::to_string(controlId));
    }
    return control;
}

std::string InstallerRun::FieldText(int controlId) {
    CheckWindows(nullptr);
    return WindowText(Control(controlId));
}

bool InstallerRun::IsChecked(int controlId) {
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutA(Control(controlId), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG,
                             stepTimeoutMs_, &state)) {
        Fail("the check box " + std::to_string(controlId) + " does not answer BM_GETCHECK");
    }
    return state == BST_CHECKED;
}

void InstallerRun::SetField(int controlId, const std::string& text) {
    CheckWindows(nullptr);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(Control(controlId), WM_SETTEXT, 0,
                             reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             stepTimeoutMs_, &result)) {
        Fail("setting the text of control " + std::to_string(controlId) + " timed out");
    }
    const std::string shown = FieldText(controlId);
    if (shown != text) {
        Fail("control " + std::to_string(controlId) + " shows " + Quoted(shown) +
             " after being given " + Quoted(text));
    }
}

void InstallerRun::SetChecked(int controlId, bool checked) {
    CheckWindows(nullptr);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(Control(controlId), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED,
                             0, SMTO_ABORTIFHUNG, stepTimeoutMs_, &result)) {
        Fail("setting check box " + std::to_string(controlId) + " timed out");
    }
    if (IsChecked(controlId) != checked) {
        Fail("check box " + std::to_string(controlId) + " did not take the new state");
    }
}

void InstallerRun::Press(int buttonId) {
    CheckWindows(nullptr);
    PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(buttonId)));
}

void InstallerRun::PressEscape() {
    CheckWindows(nullptr);
    // A key goes to the control that has the focus; the dialog's message loop turns Esc into
    // Cancel before the control sees it.
    GUITHREADINFO threadInfo = {};
    threadInfo.cbSize = sizeof threadInfo;
    HWND target = Control(IDOK);
    if (GetGUIThreadInfo(process_.dwThreadId, &threadInfo) && threadInfo.hwndFocus &&
        IsChild(dialog_, threadInfo.hwndFocus)) {
        target = threadInfo.hwndFocus;
    }
    const UINT scanCode = MapVirtualKeyA(VK_ESCAPE, MAPVK_VK_TO_VSC);
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, LPARAM(1 | scanCode << 16));
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, LPARAM(1 | scanCode << 16 | 3u << 30));
}

void InstallerRun::PressCloseBox() {
    CheckWindows(nullptr);
    PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

MessageBoxSeen InstallerRun::ExpectMessageBox(const std::string& caption,
                                              const std::vector<int>& buttons) {
    MessageBoxSeen box = ExpectOwnedWindow(caption);
    box.text = MessageBoxText(box.window);
    printf("    message box %s: %s\n", Quoted(caption).c_str(), Quoted(box.text).c_str());
    fflush(stdout);
    const std::vector<int> shown = VisibleButtons(box.window);
    if (shown != buttons) {
        Fail("the message box " + Quoted(caption) + " offers " + ButtonList(shown) + ", expected " +
             ButtonList(buttons));
    }
    return box;
}

MessageBoxSeen InstallerRun::ExpectOwnedWindow(const std::string& caption) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < stepTimeoutMs_) {
        if (WaitForSingleObject(process_.hProcess, kPollMs) == WAIT_OBJECT_0) {
            Fail(ExitDescription() + " instead of showing the window " + Quoted(caption));
        }
        const std::vector<ProcessWindow> windows = TopWindowsOf(process_.dwProcessId);
        for (const ProcessWindow& w : windows) {
            if (w.visible && w.window != dialog_ && w.className == kDialogClass) {
                if (!caption.empty() && w.caption != caption) {
                    Fail("expected the window " + Quoted(caption) + ", saw " + Quoted(w.caption) +
                         " with text " + Quoted(MessageBoxText(w.window)));
                }
                if (GetWindow(w.window, GW_OWNER) != dialog_) {
                    Fail("the window " + Quoted(caption) + " is not owned by the dialog");
                }
                CheckWindows(windows, w.window);
                return {w.window, w.caption, StaticTexts(w.window)};
            }
        }
        CheckWindows(windows, nullptr);
    }
    Fail("no window " + Quoted(caption) + " appeared within " +
         std::to_string(stepTimeoutMs_ / 1000) + " s");
}

void InstallerRun::Answer(const MessageBoxSeen& box, int buttonId) {
    HWND button = GetDlgItem(box.window, buttonId);
    if (!button || !IsWindowVisible(button)) {
        Fail("the message box " + Quoted(box.caption) + " has no " + ButtonName(buttonId) +
             " button");
    }
    PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    const DWORD start = GetTickCount();
    while (IsWindow(box.window)) {
        if (GetTickCount() - start >= stepTimeoutMs_) {
            Fail("the message box " + Quoted(box.caption) + " stayed after pressing " +
                 ButtonName(buttonId));
        }
        Sleep(kPollMs);
    }
}

void InstallerRun::ExpectDialogStaysOpen(const std::string& pathField, const std::string& nameField,
                                         bool makeDefault) {
    // The round trip returns only once the dialog's thread is back in its message loop, so a
    // dialog about to close after the box would already be gone.
    DWORD_PTR result = 0;
    for (int check = 0; check < 2; ++check) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) {
            Fail(ExitDescription() + ", but the dialog should have stayed open");
        }
        if (!SendMessageTimeoutA(dialog_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, stepTimeoutMs_,
                                 &result) ||
            !IsWindowVisible(dialog_)) {
            Fail("the dialog closed, but it should have stayed open");
        }
        CheckWindows(nullptr);
        Sleep(200);
    }
    const std::string path = FieldText(kPathField);
    const std::string name = FieldText(kNameField);
    if (path != pathField || name != nameField || IsChecked(kMakeDefaultBox) != makeDefault) {
        Fail("the dialog's fields changed: path " + Quoted(path) + ", name " + Quoted(name) +
             ", box " + (IsChecked(kMakeDefaultBox) ? "ticked" : "clear") + "; expected " +
             Quoted(pathField) + ", " + Quoted(nameField) + ", " +
             (makeDefault ? "ticked" : "clear"));
    }
}

void InstallerRun::ExpectExitCodeZero(const std::function<void()>& whileWaiting) {
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(process_.hProcess, kPollMs) == WAIT_TIMEOUT) {
        if (whileWaiting) {
            whileWaiting();
        }
        if (GetTickCount() - start >= stepTimeoutMs_) {
            Fail("the installer did not exit within " + std::to_string(stepTimeoutMs_ / 1000) +
                 " s");
        }
        CheckWindows(nullptr);
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    if (code != 0) {
        Fail("the installer exited with code " + std::to_string(code) + ", expected 0");
    }
}
