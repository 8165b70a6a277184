#include "archive/registry_export.h"

#include <vector>

#include "common/exact_narrow.h"

NarrowText RegistryExportCommand(const char* filePath, const char* branch) {
    // A Windows path cannot contain a double quote, and the file name ends in
    // ".reg", never in a backslash that would escape the closing quote.
    return NarrowText("reg export ") + branch + " \"" + filePath + "\" /y /reg:32";
}

bool ExportRegistryBranch(const char* filePath, const char* branch, DWORD timeout) {
    // A file that stays here would be archived as this run's export when the
    // branch is gone or the tool fails.
    SetFileAttributesA(filePath, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(filePath);

    const NarrowText command = RegistryExportCommand(filePath, branch);
    // Only the system folder's tool, never one found beside the program or in
    // the current folder. For a 32-bit process on 64-bit Windows this folder
    // is redirected to the 32-bit one, whose tool reads the 32-bit view too.
    char system[MAX_PATH * kMaxBytesPerUnit];
    const UINT length = GetSystemDirectoryA(system, sizeof system);
    if (command.Length() == 0 || length == 0 || length >= sizeof system) {
        return false;
    }
    const NarrowText tool = NarrowText(system) + "\\reg.exe";
    std::vector<char> commandLine(command.CStr(), command.CStr() + command.Length() + 1);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // A console program: without a console window of its own, and with none
    // to inherit, since the program has none.
    if (!CreateProcessA(tool.CStr(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        return false;
    }
    DWORD status = 1;
    const bool ended = WaitForSingleObject(process.hProcess, timeout) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended && status == 0;
}
