// Resource and control ids of Gleanwell's templates. Plain #defines so that
// both the resource compiler and C++ read this one table.
#ifndef GLEANWELL_APP_RESOURCE_IDS_H
#define GLEANWELL_APP_RESOURCE_IDS_H

#define IDR_MAINFRAME 128
#define IDD_MAIN 129
#define IDD_ABOUTBOX 100
#define IDD_OPTIONS 201

// Main dialog (129).
#define ID_APP_ABOUT 57664
#define IDC_COLLECT_LIST 1002
#define IDC_ADD_DATA 1003
#define IDC_ADD_OTHER 1004
#define IDC_ARCHIVE 1005
#define IDC_OPTIONS 1008

// Options dialog (201).
#define IDC_INSTALL_DIR 1009
#define IDC_PROJECT_DIR 1010
#define IDC_BROWSE_PROJECT 1012

#endif
