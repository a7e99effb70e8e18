/* Resource and dialog control ids, shared by the resource scripts, the
   dialog procedures and the install flow. Plain defines, so that the
   resource compiler reads this file too. */
#ifndef CONTROL_IDS_H
#define CONTROL_IDS_H

#define IDI_PROGRAM_ICON 104
#define IDD_MAIN_DIALOG 105
#define IDD_INSTALL_OPTIONS 109
/* RCDATA: the release manifest, in package builds only. */
#define IDR_RELEASE_MANIFEST 120

/* Main dialog (the update window and the setup window). */
#define IDC_CLOSE_BUTTON 2
#define IDC_INSTALL 1000
#define IDC_START_GAME 1001
#define IDC_CLOSE 1002
#define IDC_CHOOSE_FOLDER 1003
#define IDC_INSTALL_PATH 1004
#define IDC_PROGRESS 1005
#define IDC_README 1006
#define IDC_UPDATE 1008
#define IDC_QUESTION 1009
#define IDC_UNINSTALL 1014
#define IDC_WHITE_LABEL 1017
#define IDC_BLACK_LABEL 1018
#define IDC_STATUS_LINE_0 1019
#define IDC_MANUAL 1020
#define IDC_STATUS_LINE_1 1021

/* Install options dialog. */
#define IDC_REQUIRED_SIZE 1011
#define IDC_OPTIONS_OK 1012
#define IDC_OPTIONS_CANCEL 1013
#define IDC_INSTALL_TYPE 1015
#define IDC_BASE_PART 1020
#define IDC_PART_GRAPHICS 1021
#define IDC_PART_MUSIC 1022
#define IDC_PART_VOICE 1023

#endif
