#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "app/app_module.h"
#include "app/center_on_owner.h"
#include "app/folder_browser.h"
#include "app/resource_ids.h"
#include "archive/run_archive.h"
#include "settings/install_locations.h"
#include "settings/options_dialog.h"

namespace {

void SetIcon(HWND window, HINSTANCE instance, int xMetric, int yMetric, WPARAM which) {
    HANDLE icon = LoadImageA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                             GetSystemMetrics(xMetric), GetSystemMetrics(yMetric), LR_DEFAULTCOLOR);
    SendMessageA(window, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
}

} // namespace

MainDialog::~MainDialog() {
    // Normally closed already; a window left behind must not outlive its object.
    if (Window() != nullptr) {
        DestroyWindow(Window());
    }
}

HWND MainDialog::Create(HINSTANCE instance) {
    instance_ = instance;
    return CreateModeless(instance, IDD_MAIN, nullptr, 0);
}

bool MainDialog::PreTranslateMessage(MSG* msg) {
    return IsDialogMessageA(Window(), msg) != FALSE;
}

bool MainDialog::OnIdle() {
    return false;
}

bool MainDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/, LRESULT& result) {
    if (message == WM_INITDIALOG) {
        OnInitDialog();
        result = TRUE;
        return true;
    }
    if (message != WM_COMMAND) {
        return false;
    }
    const int id = LOWORD(wParam);
    const bool clicked = HIWORD(wParam) == BN_CLICKED;
    result = 0;
    switch (id) {
    case ID_APP_ABOUT:
        OnAbout();
        return true;
    case IDOK:
    case IDCANCEL:
        OnClose(id);
        return true;
    case IDC_ADD_DATA:
        if (clicked) {
            OnAddData();
        }
        return clicked;
    case IDC_ADD_OTHER:
        if (clicked) {
            OnAddOther();
        }
        return clicked;
    case IDC_ARCHIVE:
        if (clicked) {
            OnArchive();
        }
        return clicked;
    case IDC_OPTIONS:
        if (clicked) {
            OnOptions();
        }
        return clicked;
    default:
        return false;
    }
}

void MainDialog::OnInitDialog() {
    HWND window = Window();
    CenterOnOwner(window);
    SetIcon(window, instance_, SM_CXICON, SM_CYICON, ICON_BIG);
    SetIcon(window, instance_, SM_CXSMICON, SM_CYSMICON, ICON_SMALL);

    AppModule* module = AppModule::Current();
    MessageLoop* loop = module != nullptr ? module->GetMessageLoop() : nullptr;
    if (loop != nullptr) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
    }

    // Without the subclass the list stays an empty, plain control: the column
    // and row operations address no window then, and drops stay refused.
    HWND listControl = GetDlgItem(window, IDC_COLLECT_LIST);
    const bool attached = list_.Attach(listControl);
    list_.InsertColumns();
    list_.AddFixedRows();
    if (attached) {
        DragAcceptFiles(listControl, TRUE);
    }
}

void MainDialog::OnClose(int id) {
    DestroyWindow(Window());
    PostQuitMessage(id);
}

void MainDialog::OnAbout() {
    AboutDialog about;
    about.Run(instance_, GetActiveWindow());
}

void MainDialog::OnAddData() {
    const WideText root = ReadProjectFolder() + "Data";
    NarrowText path;
    if (BrowseForFolderFrom(Window(), root.Narrow(), path)) {
        list_.AddRow("Raw Data", path.CStr(), true);
    }
}

void MainDialog::OnAddOther() {
    NarrowText path;
    if (BrowseForAnyFolder(GetActiveWindow(), path)) {
        list_.AddRow("Other", path.CStr(), true);
    }
}

void MainDialog::OnArchive() {
    RunArchive(Window(), list_);
}

void MainDialog::OnOptions() {
    OptionsDialog options;
    options.Run(instance_);
}
