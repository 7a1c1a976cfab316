// Identifiers shared by the resource script and the code.
#pragma once

// Strings
#define IDS_WINDOW_TITLE 1
#define IDS_PRODUCT_NAME 5003
#define IDS_RIGHTS_HOLDER 5004
#define IDS_REPAIR_PROGRAM_MISSING 8001
#define IDS_INSTALL_FOLDER_MISSING 8002
#define IDS_APP_TITLE 57344

// Main window: menu, icon group and title share id 1.
#define IDR_MAINFRAME 1
#define ID_FILE_INSTALL 32785
#define ID_FILE_INFOS 32786
#define ID_FILE_BROWSE 32787
#define ID_FILE_QUIT 32788

// Wizard pages
#define IDD_MAINTENANCE 101
#define IDD_ACTION_REQUIRED 102
#define IDD_UNINSTALLING 103
#define IDD_SUCCESS 104
#define IDD_ERROR 105
#define IDD_EXIT_CONFIRM 106

// Controls with a fixed role
#define IDC_TRY_AGAIN 1001
#define IDC_SEPARATOR_TOP 1008
#define IDC_SEPARATOR_BOTTOM 1009
#define IDC_SUBHEADING 1010
#define IDC_HEADING 1013
#define IDC_PROGRESS 1016
#define IDC_INTRO 1026
#define IDC_DESCRIPTION 1027
#define IDC_REPAIR 1033
#define IDC_UNINSTALL 1034
#define IDC_VS_LINE 1039
#define IDC_CLOSE_HINT 1040
#define IDC_PRODUCT_LINE 1041
#define IDC_VS_BULLET 1086
#define IDC_PRODUCT_BULLET 1087
#define IDC_PICTURE 1088
#define IDC_PICTURE2 1089
