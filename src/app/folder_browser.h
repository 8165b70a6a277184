#pragma once
// The shell's folder browser, in the two forms the program uses: one rooted at
// a given folder with a status line that shows the selected folder's path, and
// one over the whole shell namespace. Chosen paths come as narrow text in the
// system code page, exact or with '?' for each character the code page cannot
// hold (never a best-fit substitute that could name another folder).
#include <windows.h>

#include "common/narrow_text.h"

/* Shows the browser owned by `owner`, rooted at `rootText` (a narrow path in
   the system code page) when the desktop folder can parse it, else over the
   whole namespace; only folders with a file-system path can be chosen, and
   the status line follows the selection. Does nothing and returns false when
   the shell allocator is unavailable. Returns true with the chosen folder's
   path in `path` when the user chose one; false on cancel. */
bool BrowseForFolderFrom(HWND owner, const char* rootText, NarrowText& path);

/* Shows the browser owned by `owner` over the whole shell namespace; only
   folders with a file-system path can be chosen. Returns true with the chosen
   folder's path in `path`; false on cancel or when the chosen item has no
   file-system path. */
bool BrowseForAnyFolder(HWND owner, NarrowText& path);
