#pragma once
// The six collection steps of an archive run. Three produce a file from a
// system source (the application event log, two machine registry branches,
// the product's "VL_STATUS" status block); three choose existing product
// files by folder and name ending. Each appends its paths to the run's
// PathList with AppendUnique and ignores every platform result: failures
// show in the run's report as missing or failed files. The locations are
// read afresh from the settings each time they are needed.

#include "common/path_list.h"

/* Step 1: deletes project folder + "ApplicationEventLog.evt", backs the
   local "Application" event log up to it (BackUpApplicationLog: the classic
   backup with the backup privilege, else the channel export), and appends
   that path (whether or not a backup was written). */
void CollectErrorLog(PathList& paths);

/* Step 2: exports HKEY_LOCAL_MACHINE\SOFTWARE\Zentaveld to installation
   directory + "ZentaveldRegistrySettings.reg", then HKEY_LOCAL_MACHINE\
   SOFTWARE\Ostrel to installation directory + "OstrelRegistrySettings.reg"
   (ExportRegistryBranch: the 32-bit view, no elevation, no window), waiting
   for each export (within a bound), and appends both paths in that order.
   An earlier export is deleted first, so a branch that is missing now leaves
   no file behind. */
void CollectRegistrySettings(PathList& paths);

/* Step 3: when the shared-memory block "VL_STATUS" exists, writes its first
   10,000 bytes, raw, to project folder + "VL_STATUS.txt" (an empty file
   when no view of that size can be mapped); appends the path in any case. */
void CollectSharedMemory(PathList& paths);

/* Step 4: files ending "acq", then "ini", below the installation directory,
   then the same below the project folder, then installation directory +
   "SampleListInterface.txt" whether or not it exists. */
void CollectProductFiles(PathList& paths);

/* Step 5: every file below installation directory + "Halvorstrand\", then
   + "Barcodes\", files ending "hv4" below the installation directory, files
   ending "frc" below the project folder, every file below + "Plates\", then
   below + "Racks\". */
void CollectFractionFiles(PathList& paths);

/* Step 6: every file below installation directory + "InletLogs\". */
void CollectInletLogs(PathList& paths);

/* Walks `folder` (narrow, ending in a backslash) and every folder below it,
   depth-first in listing order, and appends the full path of each file whose
   name ends in `ending` (compared with lstrcmpA: exact and case-sensitive;
   an empty ending takes every file). A folder that does not exist, is
   empty text, or whose pattern is too long to search, adds nothing. */
void CollectFiles(const char* folder, PathList& paths, const char* ending);
