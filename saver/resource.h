// Resource identifiers of the demo screen saver, shared by saver.rc and the code.
#pragma once

// The system lists a screen saver under the text of string 1.
#define IDS_DESCRIPTION 1
#define IDS_SUMMARY 2
#define IDS_ORDER_SEQUENTIAL 3
#define IDS_ORDER_RANDOM 4
#define IDS_NO_PICTURES 5

#define IDI_SAVER 100
#define IDD_SETTINGS 101
#define IDC_SUMMARY 1001
