#pragma once
// Backing up the local "Application" event log to a file: the classic backup
// with the backup privilege enabled for it, or, where that is refused or
// writes nothing, the newer export of the "Application" channel.

/* Where the channel export lives. It is looked up at run time in the system
   folder, so the program starts where it is missing. */
struct ChannelExport {
    const char* module;   // file name of the module in the system folder
    const char* function; // BOOL (WINAPI*)(HANDLE, LPCWSTR, LPCWSTR, LPCWSTR, DWORD)
};
constexpr ChannelExport kChannelExport = {"wevtapi.dll", "EvtExportLog"};

/* Exports every event of the "Application" channel to `path` (narrow, in the
   system code page; the file must not exist yet) through `exporter`.
   Returns true when the export function reported success; false, quietly,
   when the module or the function is missing or the export fails. */
bool ExportApplicationChannel(const char* path, const ChannelExport& exporter = kChannelExport);

/* Backs the "Application" log up to `path` (narrow; no file may stand there
   yet): BackupEventLogA with SeBackupPrivilege enabled for the call where
   the token holds it, then, unless that wrote the file, the channel export
   through `exporter`. Returns true when a file stands at `path`; when both
   ways fail none is left there. */
bool BackUpApplicationLog(const char* path, const ChannelExport& exporter = kChannelExport);
