// Gleanwell's entry: platform services, the module, the main dialog's run,
// and teardown in reverse. The exit status is the id of the command that
// closed the dialog, or 0 when it could not be created.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/app_module.h"
#include "app/app_run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int showCommand) {
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);

    AppModule module;
    module.Init(instance);
    const int status = RunApplication(showCommand);
    module.Term();

    CoUninitialize();
    return status;
}
