// The demo screen saver as a process watched from outside: started with the system's
// arguments, its windows found, its exit awaited. Every wait is bounded; a saver still running
// when its owner goes is killed, so that nothing is left on the screen.
#pragma once

#include <windows.h>

#include <string>

const DWORD kPollMs = 25;

// Waits, keeping this thread's own windows answering: a preview's parent window belongs to it.
void Pump(DWORD ms);

// The whole desktop in screen coordinates.
RECT VirtualScreen();

// A key as a person presses it: through the system's input, to the window in front.
void PressKey(HWND window);

class SaverProcess {
  public:
    // Starts `path` with `arguments`; `timeoutMs` bounds every wait. Throws ScenarioFailure.
    SaverProcess(const std::string& path, const std::string& arguments, DWORD timeoutMs);
    ~SaverProcess();
    SaverProcess(const SaverProcess&) = delete;
    SaverProcess& operator=(const SaverProcess&) = delete;

    DWORD id() const { return process_.dwProcessId; }
    bool Running() const;

    // The visible top-level window of `className` (null: of any class); fails if the saver
    // ends first.
    HWND WaitForWindow(const char* className);
    // The same without waiting; null when there is none.
    HWND TopWindow(const char* className);

    // The saver must end by itself with exit code 0 within the time limit.
    void ExpectExitCodeZero(const std::string& after);
    // Still running, and `window` (if given) still up: a saver on its way out closes its window
    // well before its process is gone.
    void ExpectRunning(const std::string& after, HWND window = nullptr);

  private:
    DWORD ExitCode() const;

    PROCESS_INFORMATION process_ = {};
    DWORD timeoutMs_;
};
