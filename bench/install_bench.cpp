// Times installations as a person makes them: the installer is started and its dialog filled
// in, then the time runs from pressing OK until the process has exited. The reference is the
// command interpreter's copy of the same payload under the same Wine, less the interpreter's
// own start-up (an empty command timed the same way). The installer's peak memory is sampled
// while it runs: once it has exited the system no longer reports it.
//
//   install_bench INSTALLER PAYLOAD WORK RUNS COPY_RUNS STEP_TIMEOUT_SECONDS
//
// Prints one line: install_ms, copy_ms (per copy), startup_ms (medians), copies_per_process
// (how many copies one interpreter made), peak_working_set and
// peak_pagefile (the largest seen, in bytes), and exact (1 when every installed file held
// exactly the payload). Linux paths are taken as paths of the Z: drive.

#include <stdio.h>
#include <stdlib.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <psapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/e2e_files.h"
#include "tests/e2e/installer_run.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) {
        QueryPerformanceFrequency(&frequency);
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Compares two files a block at a time: payloads of up to 2 GiB are not read whole.
bool SameContent(const std::string& a, const std::string& b) {
    HANDLE first = CreateFileA(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    HANDLE second = CreateFileA(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    bool same = first != INVALID_HANDLE_VALUE && second != INVALID_HANDLE_VALUE;
    std::vector<char> left(1 << 20), right(1 << 20);
    while (same) {
        DWORD gotLeft = 0, gotRight = 0;
        if (!ReadFile(first, left.data(), DWORD(left.size()), &gotLeft, nullptr) ||
            !ReadFile(second, right.data(), DWORD(right.size()), &gotRight, nullptr) ||
            gotLeft != gotRight || memcmp(left.data(), right.data(), gotLeft) != 0) {
            same = false;
        } else if (gotLeft == 0) {
            break;
        }
    }
    if (first != INVALID_HANDLE_VALUE) {
        CloseHandle(first);
    }
    if (second != INVALID_HANDLE_VALUE) {
        CloseHandle(second);
    }
    return same;
}

struct Peak {
    SIZE_T workingSet = 0;
    SIZE_T pagefile = 0;
};

void Sample(HANDLE process, Peak* peak) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process, &counters, sizeof counters)) {
        peak->workingSet = std::max(peak->workingSet, counters.PeakWorkingSetSize);
        peak->pagefile = std::max(peak->pagefile, counters.PeakPagefileUsage);
    }
}

// One installation into `folder`: milliseconds from OK to the exit.
double TimeInstallation(const std::string& installer, const std::string& folder, DWORD timeoutMs,
                        Peak* peak) {
    InstallerRun run(installer, timeoutMs);
    run.SetField(kPathField, folder);
    run.SetField(kNameField, "bench.scr");
    HANDLE process = run.process();
    const double start = Now();
    run.Press(IDOK);
    run.ExpectExitCodeZero([process, peak] { Sample(process, peak); });
    return Now() - start;
}

// Milliseconds from starting `commandLine` until its process has exited with code 0.
double TimeCommand(const std::string& commandLine, DWORD timeoutMs) {
    std::string line = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const double start = Now();
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        throw ScenarioFailure("cannot start " + commandLine);
    }
    const DWORD waited = WaitForSingleObject(process.hProcess, timeoutMs);
    const double elapsed = Now() - start;
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (waited != WAIT_OBJECT_0 || code != 0) {
        throw ScenarioFailure(commandLine + " failed or did not finish");
    }
    return elapsed;
}

uint64_t SizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        throw ScenarioFailure("cannot read the size of " + path);
    }
    return uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

std::string CopyName(const std::string& work, int k) {
    return JoinPath(work, "copy" + std::to_string(k) + ".scr");
}

int Bench(const std::string& installer, const std::string& payload, const std::string& work,
          int runs, int copyRuns, DWORD timeoutMs) {
    MakeFolders(work);
    const std::string target = JoinPath(work, "bench.scr");
    // A copy of a small payload takes a few milliseconds beside a start-up of the interpreter
    // of a hundred or more that varies by tens: one interpreter makes many copies then.
    const int copiesPerProcess = SizeOf(payload) < (16u << 20) ? 20 : 1;
    std::string copyCommand = "cmd.exe /c";
    for (int k = 0; k < copiesPerProcess; ++k) {
        copyCommand += std::string(k ? " &" : "") + " copy /b \"" + payload + "\" \"" +
                       CopyName(work, k) + "\" >nul";
    }
    std::vector<double> installs, copies, startups;
    Peak peak;
    bool exact = true;
    for (int i = 0; i < runs; ++i) {
        DeleteFileIfPresent(target);
        installs.push_back(TimeInstallation(installer, work, timeoutMs, &peak));
        exact = SameContent(payload, target) && exact;
        DeleteFileIfPresent(target);
    }
    for (int i = 0; i < copyRuns; ++i) {
        startups.push_back(TimeCommand("cmd.exe /c rem", timeoutMs));
        copies.push_back(TimeCommand(copyCommand, timeoutMs));
        for (int k = 0; k < copiesPerProcess; ++k) {
            exact = SameContent(payload, CopyName(work, k)) && exact;
            DeleteFileIfPresent(CopyName(work, k));
        }
    }
    const double startup = Median(startups);
    const double copy = copyRuns > 0 ? (Median(copies) - startup) / copiesPerProcess : 0.0;
    printf(
        "install_ms=%.1f copy_ms=%.1f startup_ms=%.1f copies_per_process=%d "
        "peak_working_set=%llu peak_pagefile=%llu exact=%d\n",
        Median(installs), copy, startup, copiesPerProcess, (unsigned long long)peak.workingSet,
        (unsigned long long)peak.pagefile, exact ? 1 : 0);
    return exact ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        fprintf(stderr,
                "usage: install_bench INSTALLER PAYLOAD WORK RUNS COPY_RUNS "
                "STEP_TIMEOUT_SECONDS\n");
        return 2;
    }
    try {
        return Bench(ToWindowsPath(argv[1]), ToWindowsPath(argv[2]), ToWindowsPath(argv[3]),
                     atoi(argv[4]), atoi(argv[5]), DWORD(atoi(argv[6])) * 1000);
    } catch (const ScenarioFailure& failure) {
        fprintf(stderr, "install_bench: %s\n", failure.what());
        printf("exact=0\n");
        return 1;
    }
}
