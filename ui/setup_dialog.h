// The setup dialog: asks for the destination folder and file name of the screen saver and hands
// OK to the create action.
#pragma once

#include <windows.h>

#include "install/target_rules.h"

// The module instance handle, stored by the process entry; resources are loaded from it.
extern HINSTANCE instance;

// What the dialog has read from its two edit fields, kept in step with them on every change so
// that OK works from the stored texts. One instance for the process.
struct SetupState {
    char targetFolder[MAX_PATH];
    char targetName[kTargetNameSize];  // normalised: always ends in ".scr"
    char displayTitle[MAX_PATH];       // the default name as the shell shows it
};

extern SetupState setupState;

// The dialog procedure of dialog IDD_SETUP. Handles dialog initialisation and commands; returns
// FALSE for every other message.
INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
