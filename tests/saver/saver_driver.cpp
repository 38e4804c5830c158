// End-to-end scenarios of the demo screen saver: the real program runs under Wine on the virtual
// display, started with the arguments the system gives a screen saver, and is watched from
// outside: its windows, the screen's pixels, its exit code. Every wait is bounded; a run that
// fails kills the screen saver, so that nothing is left on the screen for the next scenario.
//
//   saver_driver SCENARIO --saver DEMO.SCR --pictures FOLDER --work FOLDER [--shot FILE.png]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/e2e_files.h"
#include "tests/e2e/window_png.h"
#include "tests/saver/saver_process.h"

namespace {

const char kSaverClass[] = "DemoScreenSaverClass";
const char kDialogClass[] = "#32770";
const char kDialogCaption[] = "Demo Screen Saver";
const char kSettingsName[] = "Global Properties";
const int kSummaryId = 1001;

struct Context {
    std::string saver;     // the screen saver without pictures
    std::string pictures;  // 1-plasma.jpg, 2-plasma.jpg (landscapes), 3-plasma.bmp (portrait)
    std::string work;
    std::string shot;
    DWORD timeoutMs;
};

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Picture(const Context& context, const std::string& name) {
    return ReadWholeFile(JoinPath(context.pictures, name));
}

// The screen saver with `entries` packed into it, as a file of the scenario's own.
std::string PackShow(const Context& context, const std::vector<PackedEntry>& entries) {
    const std::string path = JoinPath(context.work, "show.scr");
    WritePackedInstaller(context.saver, path, entries);
    return path;
}

std::vector<PackedEntry> ThreePictures(const Context& context, const std::string& settings) {
    std::vector<PackedEntry> entries;
    if (!settings.empty()) {
        entries.push_back({kSettingsName, Text(settings)});
    }
    entries.push_back({"1-plasma.jpg", Picture(context, "1-plasma.jpg")});
    entries.push_back({"2-plasma.jpg", Picture(context, "2-plasma.jpg")});
    entries.push_back({"3-plasma.bmp", Picture(context, "3-plasma.bmp")});
    return entries;
}

std::string Describe(const RECT& rect) {
    return "(" + std::to_string(rect.left) + "," + std::to_string(rect.top) + ")-(" +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom) + ")";
}

void ExpectCoversScreen(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    const RECT screen = VirtualScreen();
    if (!EqualRect(&rect, &screen)) {
        throw ScenarioFailure("the window covers " + Describe(rect) + ", the screen is " +
                              Describe(screen));
    }
    if (!(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
        throw ScenarioFailure("the full-screen window is not topmost");
    }
}

size_t ColourCount(const ScreenPixels& shot) {
    std::vector<uint32_t> colours = shot.pixels;
    std::sort(colours.begin(), colours.end());
    return size_t(std::unique(colours.begin(), colours.end()) - colours.begin());
}

// A picture on the screen, not a single colour: a decoded photograph has thousands.
ScreenPixels ExpectDrawn(size_t leastColours, const std::string& what) {
    const ScreenPixels shot = CaptureScreen(VirtualScreen());
    const size_t colours = ColourCount(shot);
    printf("    %s: %zu colours on the screen\n", what.c_str(), colours);
    fflush(stdout);
    if (colours < leastColours) {
        throw ScenarioFailure(what + ": the screen shows " + std::to_string(colours) +
                              " colours, expected at least " + std::to_string(leastColours));
    }
    return shot;
}

// Is every pixel of the columns left of `x` black? A portrait picture fitted to a landscape
// screen leaves black bands at both sides.
bool LeftBandBlack(const ScreenPixels& shot, int x) {
    for (int row = 0; row < shot.height; ++row) {
        for (int column = 0; column < x; ++column) {
            if (shot.pixels[size_t(row) * shot.width + column] != 0) {
                return false;
            }
        }
    }
    return true;
}

// The picture shown when the window appeared, at `shownAt`, must still be there `holdMs` later.
// Both looks are taken first and judged after, so that the judging takes none of the time.
void ExpectUnchangedFor(DWORD shownAt, DWORD holdMs, const std::string& why) {
    Pump(300);
    const ScreenPixels first = CaptureScreen(VirtualScreen());
    Pump(holdMs - (GetTickCount() - shownAt));
    const ScreenPixels later = CaptureScreen(VirtualScreen());
    const DWORD elapsed = GetTickCount() - shownAt;
    if (elapsed > holdMs + 1000) {
        throw ScenarioFailure("the second look came " + std::to_string(elapsed) +
                              " ms after the window appeared, too late to judge");
    }
    const size_t colours = ColourCount(first);
    printf("    first picture: %zu colours on the screen, the same %lu ms after it appeared: %s\n",
           colours, static_cast<unsigned long>(elapsed),
           later.pixels == first.pixels ? "yes" : "no");
    fflush(stdout);
    if (colours < 1000) {
        throw ScenarioFailure("the screen shows " + std::to_string(colours) + " colours");
    }
    if (later.pixels != first.pixels) {
        throw ScenarioFailure("the picture changed within " + std::to_string(elapsed) +
                              " ms: " + why);
    }
}

// Waits until the screen differs from `before`; the time it took, or fails after `limitMs`.
DWORD WaitForChange(const ScreenPixels& before, DWORD limitMs, ScreenPixels* after) {
    const DWORD start = GetTickCount();
    for (;;) {
        Pump(100);
        *after = CaptureScreen(VirtualScreen());
        const DWORD elapsed = GetTickCount() - start;
        if (after->pixels != before.pixels) {
            return elapsed;
        }
        if (elapsed >= limitMs) {
            throw ScenarioFailure("the screen did not change within " + std::to_string(limitMs) +
                                  " ms");
        }
    }
}

// Under Wine without a window manager a full-screen window takes up to two seconds to leave the
// display, and only then is it destroyed: a move that ends the saver shows only after that.
const DWORD kWindowLeavingMs = 2500;

void MoveCursor(int x, int y, DWORD settleMs) {
    SetCursorPos(x, y);
    Pump(settleMs);
}

void SaveShot(const Context& context, const ScreenPixels& shot) {
    if (!context.shot.empty()) {
        SavePicture(shot, context.shot);
        printf("    screenshot: %s\n", context.shot.c_str());
    }
}

// Full screen with one second a picture: the pictures come in turn, both kinds decode, each
// fitted and centred, and a key ends the show.
void ShowsPicturesInTurn(const Context& context) {
    SaverProcess saver(PackShow(context, ThreePictures(context, "seconds=1\r\n")), "/s",
                       context.timeoutMs);
    HWND window = saver.WaitForWindow(kSaverClass);
    ExpectCoversScreen(window);
    Pump(300);
    ScreenPixels shot = ExpectDrawn(1000, "first picture");
    SaveShot(context, shot);
    const RECT screen = VirtualScreen();
    const int band = (screen.right - screen.left) / 5;
    bool sawLandscape = !LeftBandBlack(shot, band);
    bool sawPortrait = !sawLandscape;
    // One second a picture, against five without the settings: well inside the one, well
    // outside the other.
    for (int change = 0; change < 3; ++change) {
        ScreenPixels next;
        const DWORD ms = WaitForChange(shot, 3500, &next);
        Pump(200);  // a change seen half drawn settles
        shot = ExpectDrawn(1000, "after " + std::to_string(ms) + " ms");
        (LeftBandBlack(shot, band) ? sawPortrait : sawLandscape) = true;
    }
    if (!sawLandscape || !sawPortrait) {
        throw ScenarioFailure(std::string("pictures seen: ") +
                              (sawLandscape ? "a landscape filling the screen" : "no landscape") +
                              ", " +
                              (sawPortrait ? "a portrait between black bands" : "no portrait"));
    }
    saver.ExpectRunning("several pictures without input", window);
    PressKey(window);
    saver.ExpectExitCodeZero("a key");
}

// The main path, for the build where every process start is slow: full screen, a picture,
// and a key ends it.
void FullScreenUntilKey(const Context& context) {
    SaverProcess saver(PackShow(context, ThreePictures(context, "")), "/s", context.timeoutMs);
    HWND window = saver.WaitForWindow(kSaverClass);
    ExpectCoversScreen(window);
    Pump(2000);
    SaveShot(context, ExpectDrawn(1000, "first picture"));
    saver.ExpectRunning("its first picture", window);
    PressKey(window);
    saver.ExpectExitCodeZero("a key");
}

// Without settings a picture stays five seconds, and the saver runs on without input.
void KeepsPictureWithoutInput(const Context& context) {
    SaverProcess saver(PackShow(context, ThreePictures(context, "")), "/s", context.timeoutMs);
    HWND window = saver.WaitForWindow(kSaverClass);
    ExpectUnchangedFor(GetTickCount(), 3000, "its five seconds were not up");
    saver.ExpectRunning("3 s without input", window);
    PressKey(window);
    saver.ExpectExitCodeZero("a key");
}

// Settings of more than 4 KiB are not settings: read in part, a line cut at the limit could
// change its meaning. Applied, this one would change the picture every second.
void OversizedSettingsIgnored(const Context& context) {
    const std::string settings = "seconds=1\n#" + std::string(5000, '-') + "\n";
    SaverProcess saver(PackShow(context, ThreePictures(context, settings)), "/s",
                       context.timeoutMs);
    HWND window = saver.WaitForWindow(kSaverClass);
    ExpectUnchangedFor(GetTickCount(), 3000, "the oversized settings were read");
    PressKey(window);
    saver.ExpectExitCodeZero("a key");
}

// The first mouse message only records where the cursor is, a twitch is not a move, a real
// move ends the saver.
void EndsOnMouseMove(const Context& context) {
    const RECT screen = VirtualScreen();
    const int x = (screen.left + screen.right) / 2;
    const int y = (screen.top + screen.bottom) / 2;
    SetCursorPos(x, y);
    SaverProcess saver(PackShow(context, ThreePictures(context, "")), "/s", context.timeoutMs);
    HWND window = saver.WaitForWindow(kSaverClass);
    Pump(kWindowLeavingMs);
    saver.ExpectRunning("the cursor stood still over the new window", window);
    // Two twitches: whichever message came first, the other is a move within the slack.
    MoveCursor(x + 3, y - 2, kWindowLeavingMs);
    saver.ExpectRunning("a move of 3 pixels", window);
    MoveCursor(x, y, kWindowLeavingMs);
    saver.ExpectRunning("a move of 3 pixels back", window);
    MoveCursor(x + 40, y + 30, 0);
    saver.ExpectExitCodeZero("a mouse move of 40 pixels");
}

void EndsOnClick(const Context& context) {
    SaverProcess saver(PackShow(context, ThreePictures(context, "")), "/s", context.timeoutMs);
    HWND window = saver.WaitForWindow(kSaverClass);
    SetForegroundWindow(window);
    INPUT clicks[2] = {};
    clicks[0].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1] = clicks[0];
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
    saver.ExpectExitCodeZero("a click");
}

// The system may start the saver again while it runs: the second one ends at once.
void RunsOnce(const Context& context) {
    const std::string show = PackShow(context, ThreePictures(context, ""));
    SaverProcess first(show, "/s", context.timeoutMs);
    HWND window = first.WaitForWindow(kSaverClass);
    {
        SaverProcess second(show, "/S", context.timeoutMs);
        second.ExpectExitCodeZero("starting while another full-screen run is up");
    }
    Pump(kWindowLeavingMs);
    first.ExpectRunning("a second start", window);
    PressKey(window);
    first.ExpectExitCodeZero("a key");
}

// Damaged or missing pictures: the saver still covers the screen and draws, and a key ends it.
void RunsAnyway(const Context& context, const std::string& show, size_t leastColours) {
    SaverProcess saver(show, "/s", context.timeoutMs);
    HWND window = saver.WaitForWindow(kSaverClass);
    ExpectCoversScreen(window);
    Pump(300);
    const ScreenPixels shot = ExpectDrawn(leastColours, "damaged package");
    SaveShot(context, shot);
    saver.ExpectRunning("a damaged package", window);
    PressKey(window);
    saver.ExpectExitCodeZero("a key");
}

// The animation moves: two screens a moment apart differ.
void ExpectAnimation() {
    const ScreenPixels first = CaptureScreen(VirtualScreen());
    ScreenPixels later;
    WaitForChange(first, 2000, &later);
}

void CutOffPackage(const Context& context) {
    const std::string show = PackShow(context, ThreePictures(context, "seconds=1"));
    Bytes bytes = ReadWholeFile(show);
    bytes.resize(bytes.size() - 100);
    WriteWholeFile(show, bytes);
    RunsAnyway(context, show, 3);
}

void DamagedIndex(const Context& context) {
    const std::string show = PackShow(context, ThreePictures(context, ""));
    Bytes bytes = ReadWholeFile(show);
    // The index offset, just before the 8-byte magic, now points past the end of the file.
    const size_t at = bytes.size() - 12;
    bytes[at] = bytes[at + 1] = bytes[at + 2] = 0xFF;
    bytes[at + 3] = 0x7F;
    WriteWholeFile(show, bytes);
    SaverProcess saver(show, "/s", context.timeoutMs);
    HWND window = saver.WaitForWindow(kSaverClass);
    Pump(300);
    ExpectDrawn(3, "damaged index");
    ExpectAnimation();
    PressKey(window);
    saver.ExpectExitCodeZero("a key");
}

void NoPictures(const Context& context) {
    SaverProcess saver(context.saver, "/s", context.timeoutMs);
    HWND window = saver.WaitForWindow(kSaverClass);
    ExpectCoversScreen(window);
    Pump(300);
    ExpectDrawn(3, "no pictures");
    ExpectAnimation();
    PressKey(window);
    saver.ExpectExitCodeZero("a key");
}

// Pictures that do not decode are passed over for the next one.
void UndecodablePictures(const Context& context) {
    Bytes badJpeg = {0xFF, 0xD8, 0xFF, 0xE0};
    badJpeg.resize(5000, 0x41);
    Bytes badBmp = Picture(context, "3-plasma.bmp");
    badBmp.resize(badBmp.size() / 2);  // its header claims more pixels than are left
    const std::string show =
        PackShow(context, {{kSettingsName, Text("seconds=1")},
                           {"broken.jpg", badJpeg},
                           {"cut.bmp", badBmp},
                           {"notes.txt", Text("not a picture")},
                           {"3-plasma.bmp", Picture(context, "3-plasma.bmp")}});
    SaverProcess saver(show, "/s", context.timeoutMs);
    HWND window = saver.WaitForWindow(kSaverClass);
    Pump(300);
    const ScreenPixels shot = ExpectDrawn(1000, "the one good picture");
    const RECT screen = VirtualScreen();
    if (!LeftBandBlack(shot, (screen.right - screen.left) / 5)) {
        throw ScenarioFailure("the screen does not show the portrait picture between black bands");
    }
    Pump(2500);  // the broken ones come round again and are passed over again
    ExpectDrawn(1000, "after the others had their turn");
    saver.ExpectRunning("pictures that do not decode", window);
    PressKey(window);
    saver.ExpectExitCodeZero("a key");
}

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// A window of the test's own, standing in for the system's settings: the preview's parent, or
// the settings dialog's owner.
HWND MakeTestWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ParentProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = "SaverTestParent";
    RegisterClassA(&windowClass);
    HWND window =
        CreateWindowExA(0, "SaverTestParent", "Preview", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                        340, 280, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) {
        throw ScenarioFailure("cannot create the test's window");
    }
    Pump(100);
    return window;
}

std::string Decimal(HWND window) {
    return std::to_string(reinterpret_cast<uintptr_t>(window));
}

void PreviewInParent(const Context& context, const std::string& argumentForm) {
    HWND parent = MakeTestWindow();
    SaverProcess saver(PackShow(context, ThreePictures(context, "seconds=1")),
                       argumentForm + Decimal(parent), context.timeoutMs);
    HWND child = nullptr;
    const DWORD start = GetTickCount();
    while (!(child = FindWindowExA(parent, nullptr, kSaverClass, nullptr))) {
        if (!saver.Running() || GetTickCount() - start > context.timeoutMs) {
            DestroyWindow(parent);
            throw ScenarioFailure("no preview window appeared in the test's window");
        }
        Pump(kPollMs);
    }
    DWORD owner = 0;
    GetWindowThreadProcessId(child, &owner);
    RECT parentClient;
    RECT childRect;
    GetClientRect(parent, &parentClient);
    GetWindowRect(child, &childRect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&childRect), 2);
    if (owner != saver.id() || !EqualRect(&parentClient, &childRect) ||
        !(GetWindowLongA(child, GWL_STYLE) & WS_CHILD)) {
        DestroyWindow(parent);
        throw ScenarioFailure("the preview window " + Describe(childRect) +
                              " does not fill the parent's client area " + Describe(parentClient) +
                              " as a child of the screen saver");
    }
    // Input for the preview belongs to the settings around it: the saver ignores it.
    PostMessageA(child, WM_KEYDOWN, VK_SPACE, 1);
    PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    PostMessageA(child, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    PostMessageA(child, WM_MOUSEMOVE, 0, MAKELPARAM(200, 150));
    Pump(1500);
    saver.ExpectRunning("a key, a click and mouse moves in the preview", child);
    DestroyWindow(parent);
    saver.ExpectExitCodeZero("its parent window was destroyed");
}

std::string DialogText(HWND dialog, int id) {
    char text[256] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof text,
                        reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 10000, &length);
    return text;
}

void SettingsDialog(const Context& context, const std::string& argumentForm, bool withOwner) {
    HWND owner = withOwner ? MakeTestWindow() : nullptr;
    const std::string arguments = withOwner ? argumentForm + Decimal(owner) : argumentForm;
    SaverProcess saver(PackShow(context, ThreePictures(context, "seconds=7\norder=random")),
                       arguments, context.timeoutMs);
    HWND dialog = saver.WaitForWindow(kDialogClass);
    char caption[128] = {};
    GetWindowTextA(dialog, caption, sizeof caption);
    const std::string summary = DialogText(dialog, kSummaryId);
    printf("    dialog \"%s\": \"%s\"\n", caption, summary.c_str());
    if (std::string(caption) != kDialogCaption) {
        throw ScenarioFailure(std::string("the dialog's caption is \"") + caption + "\"");
    }
    if (summary != "3 pictures, 7 seconds each, in random order.") {
        throw ScenarioFailure("the dialog says \"" + summary + "\"");
    }
    if (GetWindow(dialog, GW_OWNER) != owner) {
        throw ScenarioFailure(withOwner ? "the dialog is not owned by the given window"
                                        : "the dialog has an owner, but none was given");
    }
    if (saver.TopWindow(kSaverClass)) {
        throw ScenarioFailure("the settings dialog came with a slideshow window");
    }
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    saver.ExpectExitCodeZero("OK in the settings dialog");
    if (owner) {
        DestroyWindow(owner);
    }
}

uint16_t U16At(const Bytes& bytes, size_t at) {
    if (at + 2 > bytes.size()) {
        throw ScenarioFailure("the executable ends before offset " + std::to_string(at));
    }
    return uint16_t(bytes[at] | bytes[at + 1] << 8);
}

// Older systems show a preview only for programs marked for subsystem 4.0; the icon, the
// version and the description (string 1) are what the system's settings show of a saver.
void ResourcesAndHeader(const Context& context) {
    const Bytes image = ReadWholeFile(context.saver);
    const size_t header = U16At(image, 0x3C) | size_t(U16At(image, 0x3E)) << 16;
    const size_t optional = header + 24;
    const uint16_t os = U16At(image, optional + 40);
    const uint16_t subsystemMajor = U16At(image, optional + 48);
    const uint16_t subsystemMinor = U16At(image, optional + 50);
    const uint16_t subsystem = U16At(image, optional + 68);
    printf("    system version %u, subsystem %u version %u.%u\n", os, subsystem, subsystemMajor,
           subsystemMinor);
    if (os != 4 || subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI || subsystemMajor != 4 ||
        subsystemMinor != 0) {
        throw ScenarioFailure("the executable is not marked for the Windows GUI subsystem 4.0");
    }
    HMODULE module = LoadLibraryExA(context.saver.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        throw ScenarioFailure("cannot load the screen saver's resources");
    }
    char description[64] = {};
    LoadStringA(module, 1, description, sizeof description);
    const bool icon = FindResourceA(module, MAKEINTRESOURCEA(100), RT_GROUP_ICON) != nullptr;
    const bool version = FindResourceA(module, MAKEINTRESOURCEA(1), RT_VERSION) != nullptr;
    FreeLibrary(module);
    printf("    description \"%s\", icon %s, version %s\n", description, icon ? "yes" : "no",
           version ? "yes" : "no");
    if (std::string(description) != "Demo Slideshow" || !icon || !version) {
        throw ScenarioFailure("the screen saver lacks its description, icon or version");
    }
}

void PasswordChangeIgnored(const Context& context) {
    SaverProcess saver(context.saver, "/a 12345", context.timeoutMs);
    saver.ExpectExitCodeZero("/a");
}

struct Scenario {
    std::string name;
    std::function<void(const Context&)> run;
};

std::vector<Scenario> AllScenarios() {
    using namespace std::placeholders;
    return {
        {"shows_pictures_in_turn", ShowsPicturesInTurn},
        {"keeps_picture_without_input", KeepsPictureWithoutInput},
        {"full_screen_until_key", FullScreenUntilKey},
        {"oversized_settings_ignored", OversizedSettingsIgnored},
        {"ends_on_mouse_move", EndsOnMouseMove},
        {"ends_on_click", EndsOnClick},
        {"runs_once", RunsOnce},
        {"cut_off_package", CutOffPackage},
        {"damaged_index", DamagedIndex},
        {"no_pictures", NoPictures},
        {"undecodable_pictures", UndecodablePictures},
        {"preview_space", std::bind(PreviewInParent, _1, "/p ")},
        {"preview_colon", std::bind(PreviewInParent, _1, "-P:")},
        {"settings_no_argument", std::bind(SettingsDialog, _1, "", false)},
        {"settings_c", std::bind(SettingsDialog, _1, "/c", false)},
        {"settings_c_colon_owner", std::bind(SettingsDialog, _1, "/c:", true)},
        {"settings_c_space_owner", std::bind(SettingsDialog, _1, "-C ", true)},
        {"password_change_ignored", PasswordChangeIgnored},
        {"resources_and_header", ResourcesAndHeader},
    };
}

int Usage() {
    fprintf(stderr,
            "usage: saver_driver SCENARIO --saver DEMO.SCR --pictures FOLDER --work FOLDER\n"
            "                    [--shot FILE.png] [--timeout SECONDS]\n"
            "       saver_driver --list\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<Scenario> scenarios = AllScenarios();
    if (argc == 2 && std::string(argv[1]) == "--list") {
        for (const Scenario& scenario : scenarios) {
            printf("%s\n", scenario.name.c_str());
        }
        return 0;
    }
    if (argc < 2 || argc % 2 != 0) {
        return Usage();
    }
    Context context{"", "", "", "", 30000};
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--saver") {
            context.saver = ToWindowsPath(value);
        } else if (option == "--pictures") {
            context.pictures = ToWindowsPath(value);
        } else if (option == "--work") {
            context.work = ToWindowsPath(value);
        } else if (option == "--shot") {
            context.shot = ToWindowsPath(value);
        } else if (option == "--timeout") {
            context.timeoutMs = DWORD(atoi(value.c_str())) * 1000;
        } else {
            return Usage();
        }
    }
    if (context.saver.empty() || context.pictures.empty() || context.work.empty()) {
        return Usage();
    }
    for (const Scenario& scenario : scenarios) {
        if (scenario.name != argv[1]) {
            continue;
        }
        printf("scenario %s\n", argv[1]);
        fflush(stdout);
        try {
            RemoveTree(context.work);
            MakeFolders(context.work);
            scenario.run(context);
        } catch (const std::exception& failure) {
            printf("FAILED %s: %s\n", argv[1], failure.what());
            return 1;
        }
        printf("passed %s\n", argv[1]);
        return 0;
    }
    fprintf(stderr, "unknown scenario '%s'; --list shows them\n", argv[1]);
    return 2;
}
