#include "app/app_run.h"

#include <memory>

#include "app/app_module.h"
#include "app/main_dialog.h"
#include "app/message_loop.h"

int RunApplication(int showCommand) {
    AppModule* module = AppModule::Current();
    if (module == nullptr) {
        return 0;
    }
    MessageLoop loop;
    module->AddMessageLoop(&loop);

    auto dialog = std::make_unique<MainDialog>();
    HWND window = dialog->Create(module->Instance());
    if (window == nullptr) {
        module->RemoveMessageLoop();
        return 0;
    }
    ShowWindow(window, showCommand);
    const int status = loop.Run();

    module->RemoveMessageLoop();
    dialog.reset();
    return status;
}
