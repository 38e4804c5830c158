// Resource identifiers of the installer. Shared by setup.rc, the C++ code and the tests.
#pragma once

#define IDI_APP 100

#define IDD_SETUP 101
#define IDC_MAKE_DEFAULT 1001
#define IDC_PATH 1074
#define IDC_FILENAME 1075
#define IDC_BROWSE 1089

#define IDS_BROWSE_TITLE 1
#define IDS_FILE_EXISTS 516
#define IDS_ALREADY_EXISTS 517
#define IDS_INVALID_PATH 518
#define IDS_CREATE_ERROR 519
#define IDS_NO_FILENAME 520
#define IDS_BAD_CHARACTERS 521
#define IDS_SAVER_MISSING 522
#define IDS_ENABLE_FAILED 523
// Shown when the screen saver file cannot be written; the system's reason follows it.
#define IDS_WRITE_FAILED 524
