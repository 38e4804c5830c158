#include "ui/setup_dialog.h"

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>
#include <string.h>

#include "install/create_action.h"
#include "resources/resource.h"
#include "ui/messages.h"
#include "ui/placement.h"

SetupState setupState;

namespace {

// The default name of an installer whose own name the code page cannot spell.
const char kFallbackName[] = "Screen Saver.scr";

// The create action reports through this; every box it shows is modal to the dialog, except the
// one the action asks to show with no owner.
class DialogActionUi final : public CreateActionUi {
  public:
    explicit DialogActionUi(HWND dialog) : dialog_(dialog) {}

    void ShowMessage(unsigned textId, unsigned captionId) override {
        ::ShowMessage(instance, dialog_, textId, captionId, MB_OK);
    }
    void ShowUnownedMessage(unsigned textId, unsigned captionId) override {
        ::ShowMessage(instance, NULL, textId, captionId, MB_OK);
    }
    bool ConfirmOverwrite(const char* targetPath) override {
        return AskOverwrite(instance, dialog_, targetPath) != IDNO;
    }
    void ShowWriteFailure(const char* targetPath, const WriteFailure& failure) override {
        ::ShowWriteFailure(instance, dialog_, targetPath, failure.systemError);
    }

  private:
    HWND dialog_;
};

// The common dialogs and the shell are not imported: under some systems their libraries would
// load others by name from the installer's folder before the installer could restrict the
// search. The start-up code loads them by their full path instead (ui/startup.cpp).
FARPROC SystemCall(const char* library, const char* name) {
    HMODULE module = GetModuleHandleA(library);
    return module != NULL ? GetProcAddress(module, name) : NULL;
}

typedef short(WINAPI* GetFileTitleCall)(LPCSTR, LPSTR, WORD);
typedef LPITEMIDLIST(WINAPI* BrowseForFolderCall)(LPBROWSEINFOA);
typedef BOOL(WINAPI* PathFromIdListCall)(LPCITEMIDLIST, LPSTR);

// Copies `source` into a buffer of `capacity` bytes, cut if it is longer.
void CopyText(char* destination, size_t capacity, const char* source) {
    const size_t length = strnlen(source, capacity - 1);
    memcpy(destination, source, length);
    destination[length] = '\0';
}

// The running executable's path. Older systems do not terminate a path they had to cut.
void GetInstallerPath(char* path) {
    const DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    path[length < MAX_PATH ? length : MAX_PATH - 1] = '\0';
}

// Ends the dialog and destroys its owner, the main window, whose destruction ends the program.
void EndSetup(HWND dialog) {
    EndDialog(dialog, 1);
    DestroyWindow(GetWindow(dialog, GW_OWNER));
}

// The default name: the installer's own name with the extension "scr", shown as the shell shows
// file names (without the extension when the user has extensions hidden).
void ShowDefaultName(HWND dialog) {
    char installerPath[MAX_PATH];
    GetInstallerPath(installerPath);
    // A name the code page cannot spell comes with '?' in place of what it lacks, which no file
    // name may hold: a plain name is offered instead. A folder's '?' does not matter here.
    if (ValidateTargetName(FilePart(installerPath)) != NameCheck::kOk) {
        CopyText(installerPath, sizeof installerPath, kFallbackName);
    }
    char screenSaverPath[MAX_PATH];
    // A path with no room for the new extension keeps its own; the name still gains ".scr"
    // when the field's change is stored.
    if (!ChangeExtension(installerPath, "scr", screenSaverPath, sizeof screenSaverPath)) {
        CopyText(screenSaverPath, sizeof screenSaverPath, installerPath);
    }
    CopyText(setupState.targetName, sizeof setupState.targetName, FilePart(screenSaverPath));
    // Through void*: a direct cast between unrelated function pointer types draws a warning.
    GetFileTitleCall getFileTitle = reinterpret_cast<GetFileTitleCall>(
        reinterpret_cast<void*>(SystemCall("comdlg32.dll", "GetFileTitleA")));
    if (getFileTitle == NULL || getFileTitle(screenSaverPath, setupState.displayTitle,
                                             sizeof setupState.displayTitle) != 0) {
        CopyText(setupState.displayTitle, sizeof setupState.displayTitle, setupState.targetName);
    }
    // Raises the field's change notification, which stores the normalised title as the name.
    SetDlgItemTextA(dialog, IDC_FILENAME, setupState.displayTitle);
}

void InitialiseDialog(HWND dialog) {
    const UINT length = GetWindowsDirectoryA(setupState.targetFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        setupState.targetFolder[0] = '\0';
    }
    SetDlgItemTextA(dialog, IDC_PATH, setupState.targetFolder);
    ShowDefaultName(dialog);
    CenterWindow(dialog, NULL);
}

void CreateFromDialog(HWND dialog) {
    CreateRequest request;
    request.installerPath = NULL;  // our own file
    request.targetFolder = setupState.targetFolder;
    request.targetName = setupState.targetName;
    request.makeDefault = IsDlgButtonChecked(dialog, IDC_MAKE_DEFAULT) == BST_CHECKED;
    DialogActionUi ui(dialog);
    if (CreateScreenSaver(request, ui) == CreateOutcome::kFinished) {
        EndSetup(dialog);
    }
}

// The fields do not limit typing; only their first MAX_PATH - 1 characters are kept.
void StoreFolder(HWND dialog) {
    GetDlgItemTextA(dialog, IDC_PATH, setupState.targetFolder, MAX_PATH);
}

void StoreName(HWND dialog) {
    GetDlgItemTextA(dialog, IDC_FILENAME, setupState.targetName, MAX_PATH);
    NormaliseTargetName(setupState.targetName);
}

// The folder browser, rooted at the desktop. A cancelled browser or a choice that is no file
// system folder (such as the list of drives) changes nothing.
void BrowseForFolder(HWND dialog) {
    BrowseForFolderCall browseForFolder = reinterpret_cast<BrowseForFolderCall>(
        reinterpret_cast<void*>(SystemCall("shell32.dll", "SHBrowseForFolderA")));
    PathFromIdListCall pathFromIdList = reinterpret_cast<PathFromIdListCall>(
        reinterpret_cast<void*>(SystemCall("shell32.dll", "SHGetPathFromIDListA")));
    if (browseForFolder == NULL || pathFromIdList == NULL) {
        return;
    }
    char title[MAX_PATH] = "";
    LoadStringA(instance, IDS_BROWSE_TITLE, title, sizeof title);
    char displayName[MAX_PATH] = "";
    BROWSEINFOA browse;
    memset(&browse, 0, sizeof browse);
    browse.hwndOwner = dialog;
    browse.pidlRoot = NULL;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = title;
    browse.ulFlags = 0;
    browse.lpfn = NULL;

    // The shell's browser expects COM on the calling thread; it stays only for the browser.
    // CoInitialize, not CoInitializeEx, which the first Windows 95 does not have.
    const HRESULT com = CoInitialize(NULL);
    LPITEMIDLIST chosen = browseForFolder(&browse);
    if (chosen != NULL) {
        char folder[MAX_PATH];
        if (pathFromIdList(chosen, folder)) {
            CopyText(setupState.targetFolder, sizeof setupState.targetFolder, folder);
            SetDlgItemTextA(dialog, IDC_PATH, setupState.targetFolder);
        }
        CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
}

INT_PTR HandleCommand(HWND dialog, WORD control, WORD notification) {
    switch (control) {
        case IDOK:
            CreateFromDialog(dialog);
            return TRUE;
        case IDCANCEL:
            EndSetup(dialog);
            return TRUE;
        case IDC_PATH:
            if (notification != EN_CHANGE) {
                return FALSE;
            }
            StoreFolder(dialog);
            return TRUE;
        case IDC_FILENAME:
            if (notification != EN_CHANGE) {
                return FALSE;
            }
            StoreName(dialog);
            return TRUE;
        case IDC_BROWSE:
            BrowseForFolder(dialog);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            InitialiseDialog(dialog);
            // Lets the system give the focus to the first tab stop, the OK button.
            return TRUE;
        case WM_COMMAND:
            return HandleCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        default:
            return FALSE;
    }
}
