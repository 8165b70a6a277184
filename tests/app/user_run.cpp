#include "user_run.h"

#include <psapi.h>

#include "remote_gleanwell.h"

namespace {

constexpr int kStepMs = 30000;

} // namespace

UserRun RunAsUser(const std::string& exePath, const std::vector<std::string>& dataFolders,
                  int archiveTimeoutMs) {
    UserRun run;
    RemoteGleanwell app;
    if (!app.Start(exePath, kStepMs)) {
        run.error = app.Error();
        return run;
    }
    for (const std::string& folder : dataFolders) {
        if (!app.AddDataFolder(folder, kStepMs)) {
            run.error = app.Error();
            return run;
        }
    }
    const ULONGLONG pressed = GetTickCount64();
    if (!app.PressArchive(archiveTimeoutMs, run.boxText)) {
        run.error = app.Error();
        return run;
    }
    run.archiveSeconds = static_cast<double>(GetTickCount64() - pressed) / 1000.0;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(app.Process(), &counters, sizeof counters)) {
        run.peakWorkingSet = counters.PeakWorkingSetSize;
    }
    if (!app.DismissBox(kStepMs) || !app.Close(kStepMs, run.exitStatus)) {
        run.error = app.Error();
        return run;
    }
    run.completed = true;
    return run;
}
