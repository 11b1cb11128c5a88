// Resource ids of the program: dialog templates, icon and controls.
#ifndef VELTRANE_RES_RESOURCE_H_
#define VELTRANE_RES_RESOURCE_H_

constexpr int IDD_CHECKER_DIALOG = 102;
constexpr int IDR_MAINFRAME = 128;
constexpr int IDD_INFO = 129;

constexpr int IDC_LOAD = 1000;
constexpr int IDC_CHECK = 1001;
constexpr int IDC_INFO = 1002;
constexpr int IDC_INFO_EXIT = 1003;
constexpr int IDC_VERSION = 1004;
constexpr int IDC_CREDIT = 1005;
constexpr int IDC_WEB = 1006;

#endif  // VELTRANE_RES_RESOURCE_H_
