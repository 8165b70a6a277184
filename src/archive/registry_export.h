#pragma once
// Exporting a machine registry branch to a file in the registry editor's
// export format, with the system folder's registry tool ("reg export"). The
// tool runs as its caller and never asks for elevation, and it is told to
// read the 32-bit registry view, where this 32-bit product's settings live
// on 64-bit Windows. It is started directly, with the file path quoted and
// no console window, rather than through the command interpreter.

#include <windows.h>

#include "common/narrow_text.h"

/* How long an export may take before the caller goes on without it (ms). */
constexpr DWORD kRegistryExportTimeout = 60000;

/* The command line that exports `branch` (a full key name such as
   HKEY_LOCAL_MACHINE\SOFTWARE\Zentaveld) to `filePath`:
   reg export <branch> "<filePath>" /y /reg:32. The path is quoted, so blanks
   and every other character a Windows path may hold stay in one argument;
   /y overwrites without asking, /reg:32 names the 32-bit view. Empty when
   memory runs out. */
NarrowText RegistryExportCommand(const char* filePath, const char* branch);

/* Removes any file at `filePath` (read-only or not), so that an export left
   by an earlier run is never taken for this one, then runs the system
   folder's reg.exe with RegistryExportCommand, without a window, and waits
   for it at most `timeout` milliseconds. Returns true when the tool ended in
   time and reported success; false when the branch does not exist (no file
   is then written), the tool could not be started or failed, or it was still
   running at the bound (it is then left to finish on its own). */
bool ExportRegistryBranch(const char* filePath, const char* branch,
                          DWORD timeout = kRegistryExportTimeout);
