#pragma once
// Chooses a folder in an open shell folder browser, in this process or in
// another one.
#include <windows.h>

#include <string>

/* Selects `folder` in `browser`, a folder browser shown by `process` (pass
   GetCurrentProcess() for this one): first as text with BFFM_SETSELECTIONA,
   and when the tree's selection then does not name the folder (Wine's browser
   can miss a path given as text), by walking the tree from its root item
   through the folder's components. Returns true when the selected item is the
   folder's last component. */
bool SelectFolderInBrowser(HANDLE process, HWND browser, const std::string& folder);
