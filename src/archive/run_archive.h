#pragma once
// The Archive command: everything the user and the collection steps chose,
// gathered into VelmarisErrorArchive.zip in the installation directory, with
// the outcome report beside it and inside it.
#include <windows.h>

class CollectionList;

/* Runs one archive on the calling (user-interface) thread, under the wait
   cursor: deletes the previous archive, collects the checked user rows of
   `list` and then the six collection steps' paths, adds every path to the
   archive, writes the report and closes the archive. Then shows a message box
   owned by `owner` (caption "Archive"): "Finished archive" when the archive
   was written, or a warning naming the archive's path when no valid archive
   was left. Failures of single sources are the report's business. The
   previous cursor comes back only after the box is dismissed. Returns 0, the
   command's result. */
int RunArchive(HWND owner, const CollectionList& list);
