// Resource ids of the program: dialog templates, icon and controls. Macros,
// because the resource compiler reads this file too (res/veltrane.rc).
#ifndef VELTRANE_RES_RESOURCE_H_
#define VELTRANE_RES_RESOURCE_H_

#define IDD_CHECKER_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_INFO 129

#define IDC_LOAD 1000
#define IDC_CHECK 1001
#define IDC_INFO 1002
#define IDC_INFO_EXIT 1003
#define IDC_VERSION 1004
#define IDC_CREDIT 1005
#define IDC_WEB 1006

#endif  // VELTRANE_RES_RESOURCE_H_
