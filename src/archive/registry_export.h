#pragma once
// Exporting a machine registry branch to a file with the registry editor
// ("regedit /e"), started directly rather than through the command
// interpreter, so the file path reaches it quoted and nothing else runs.

#include <windows.h>

/* How long an export may take before the caller goes on without it (ms). */
constexpr DWORD kRegistryExportTimeout = 60000;

/* Runs `regedit /e "<filePath>" <branch>` in the Windows directory's
   registry editor, without a window, and waits for it to end, at most
   `timeout` milliseconds. Returns true when the editor ended in time (its
   own result is not looked at); false when it could not be started or was
   still running at the bound, which is then left to finish on its own. */
bool ExportRegistryBranch(const char* filePath, const char* branch,
                          DWORD timeout = kRegistryExportTimeout);
