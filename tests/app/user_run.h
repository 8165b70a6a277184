#pragma once
// One archive run of Gleanwell.exe as a user makes it, driven from this
// process: data folders added with Add Data, Archive pressed, the final box
// read and dismissed, the dialog closed; with the run's wall time and the
// program's peak working set.
#include <windows.h>

#include <string>
#include <vector>

struct UserRun {
    bool completed = false; // every step worked; else `error` says which failed
    std::string error;
    std::string boxText;       // the final message box's text
    DWORD exitStatus = 0;      // the program's status after its dialog was closed
    double archiveSeconds = 0; // from pressing Archive to the final box
    SIZE_T peakWorkingSet = 0; // bytes, read while the final box is up
};

/* Starts the program at `exePath`, adds each of `dataFolders` in order with
   Add Data, presses Archive, waits up to `archiveTimeoutMs` for the final box
   and reads it with the program's peak working set, dismisses it and closes
   the dialog. Stops at the first step that fails. */
UserRun RunAsUser(const std::string& exePath, const std::vector<std::string>& dataFolders,
                  int archiveTimeoutMs);
