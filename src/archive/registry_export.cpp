#include "archive/registry_export.h"

#include <vector>

#include "common/narrow_text.h"

bool ExportRegistryBranch(const char* filePath, const char* branch, DWORD timeout) {
    // A Windows path cannot contain a double quote, so quoting the path
    // keeps blanks and every other legal character inside the one argument.
    const NarrowText command = NarrowText("regedit /e \"") + filePath + "\" " + branch;
    std::vector<char> commandLine(command.CStr(), command.CStr() + command.Length() + 1);

    // The editor from the shared Windows directory, never one found in the
    // current directory; the command line still names it as "regedit".
    char windows[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryA(windows, sizeof windows);
    // The buffer is read only when the call filled it.
    const bool haveEditorPath = length > 0 && length < sizeof windows;
    const NarrowText editor = haveEditorPath ? NarrowText(windows) + "\\regedit.exe" : NarrowText();

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(haveEditorPath ? editor.CStr() : nullptr, commandLine.data(), nullptr,
                        nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    const bool ended = WaitForSingleObject(process.hProcess, timeout) == WAIT_OBJECT_0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}
