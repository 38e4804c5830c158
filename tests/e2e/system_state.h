// What the scenarios read and change outside their own folder: system folders, the user's
// screen saver settings, other programs. Each change has an owner that puts it back, so a
// scenario leaves the Wine prefix as it found it whatever its outcome.
#pragma once

#include <windows.h>

#include <string>

#include "tests/e2e/e2e_files.h"

// The driver's own command line for ScreenSavingActive's fresh process.
extern const char kQueryScreenSaverActive[];
// Exit code 1 when screen saving is on, 0 when off, 2 when the switch cannot be read.
int QueryScreenSaverActive();

std::string WindowsFolder();
std::string DesktopFolder();

// Runs a program to its end and returns its exit code; throws if it cannot start or does not
// end within `timeoutMs`.
DWORD RunProgram(const std::string& program, const std::string& arguments, DWORD timeoutMs);

// Deletes a file now, in case an earlier run left it, and again when the scenario ends.
class RemoveAtExit {
  public:
    explicit RemoveAtExit(std::string path);
    ~RemoveAtExit();
    RemoveAtExit(const RemoveAtExit&) = delete;
    RemoveAtExit& operator=(const RemoveAtExit&) = delete;

  private:
    std::string path_;
};

// With no window manager on the virtual display, Wine leaves captions and frames to one that
// is not there. While this lives, Wine draws them itself for one program name, so that a
// picture of that program's windows looks as it would to a person.
class WineDrawsFrames {
  public:
    explicit WineDrawsFrames(const std::string& programName);
    ~WineDrawsFrames();
    WineDrawsFrames(const WineDrawsFrames&) = delete;
    WineDrawsFrames& operator=(const WineDrawsFrames&) = delete;

  private:
    std::string key_;
};

// HKCU\Control Panel\Desktop SCRNSAVE.EXE, exactly as stored.
struct RegistryString {
    bool present = false;
    DWORD type = 0;
    Bytes data;
};

RegistryString ReadScreenSaverSetting();
bool WriteScreenSaverSetting(const RegistryString& setting);
// A REG_SZ value holding `text` and its terminating NUL.
RegistryString StringSetting(const std::string& text);
std::string Describe(const RegistryString& setting);

// Whether screen saving is on, as a newly started process sees it: a process keeps the system
// parameters it has read, so only a fresh one shows what another program switched.
bool ScreenSavingActive(DWORD timeoutMs);
// Switches screen saving and stores the switch in the user's profile.
void SwitchScreenSaving(bool on);

// Puts the current-screen-saver value and the screen saving switch back as they were found.
class RestoreScreenSaverSettings {
  public:
    explicit RestoreScreenSaverSettings(DWORD timeoutMs);
    ~RestoreScreenSaverSettings();
    RestoreScreenSaverSettings(const RestoreScreenSaverSettings&) = delete;
    RestoreScreenSaverSettings& operator=(const RestoreScreenSaverSettings&) = delete;

  private:
    RegistryString setting_;
    bool active_;
};
