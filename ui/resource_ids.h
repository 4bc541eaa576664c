// Identifiers shared by the resource script and the code of the stub. The resource script
// includes this file too, so it holds nothing but #define lines.
#pragma once

#define IDI_APP 102
#define IDD_DESTINATION 103
#define IDD_PROGRESS 104
// The same two windows in English.
#define IDD_DESTINATION_ENGLISH 105
#define IDD_PROGRESS_ENGLISH 106

// Destination dialog controls.
#define IDC_DEST_EDIT 1000
#define IDC_BROWSE 1001
#define IDC_STARTMENU 1002
#define IDC_DESKTOP 1003
#define IDC_SENDTO 1004

// Progress window.
#define IDC_ABORT 1017
#define IDC_PATH_LINE 1018
#define IDC_PROGRESS_BAR 1019
