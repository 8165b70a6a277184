// Template and control ids of the window-object tests' dialogs.
#ifndef GLEANWELL_TESTS_WINDOW_TEST_IDS_H
#define GLEANWELL_TESTS_WINDOW_TEST_IDS_H

#define IDD_TEST_POPUP 300
#define IDD_TEST_LIST 301
#define IDC_TEST_LIST 1002

#endif
