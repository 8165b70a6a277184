#include "archive/event_log_backup.h"

#include <windows.h>

#include "archive/backup_privilege.h"
#include "common/exact_narrow.h"
#include "common/narrow_text.h"
#include "common/wide_text.h"

namespace {

// The export's own declaration, so that no extra header or import library
// is needed: session, channel path, query, target file, flags.
using ExportLogFunction = BOOL(WINAPI*)(HANDLE, LPCWSTR, LPCWSTR, LPCWSTR, DWORD);
// The path names a channel, not a log file.
constexpr DWORD kExportChannelPath = 1;

bool FileStands(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool ClassicBackup(const char* path) {
    const BackupPrivilegeGuard privilege;
    HANDLE log = OpenEventLogA(nullptr, "Application");
    if (log == nullptr) {
        return false;
    }
    const bool backedUp = BackupEventLogA(log, path) != FALSE;
    CloseEventLog(log);
    return backedUp;
}

} // namespace

bool ExportApplicationChannel(const char* path, const ChannelExport& exporter) {
    // Only the system folder's copy, never one beside the program or in the
    // current folder.
    char system[MAX_PATH * kMaxBytesPerUnit];
    const UINT length = GetSystemDirectoryA(system, sizeof system);
    if (length == 0 || length >= sizeof system) {
        return false;
    }
    HMODULE module = LoadLibraryA((NarrowText(system) + "\\" + exporter.module).CStr());
    if (module == nullptr) {
        return false;
    }
    const auto exportLog = reinterpret_cast<ExportLogFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, exporter.function)));
    bool exported = false;
    if (exportLog != nullptr) {
        const WideText target(path);
        exported =
            exportLog(nullptr, L"Application", L"*", target.Wide(), kExportChannelPath) != FALSE;
    }
    FreeLibrary(module);
    return exported;
}

bool BackUpApplicationLog(const char* path, const ChannelExport& exporter) {
    // Some systems answer the backup with success and write no file: the
    // file decides.
    if (ClassicBackup(path) && FileStands(path)) {
        return true;
    }
    // Neither way writes over a file, and a half-written one is no backup.
    DeleteFileA(path);
    if (ExportApplicationChannel(path, exporter) && FileStands(path)) {
        return true;
    }
    DeleteFileA(path);
    return false;
}
