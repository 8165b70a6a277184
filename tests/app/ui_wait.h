#pragma once
// Small helpers for tests that drive the program's windows from a second
// thread: waiting for a window, reading list rows, posting keys.
#include <windows.h>

#include <string>

/* Polls for a top-level window with `caption` (and class #32770 when
   `dialogOnly`) that belongs to process `processId` (any when 0), until
   `timeoutMs` passes. Returns it, or null. */
HWND WaitForWindow(const char* caption, DWORD processId, int timeoutMs, bool dialogOnly = true);

/* Polls until `window` is gone or `timeoutMs` passes; true when gone. */
bool WaitForWindowGone(HWND window, int timeoutMs);

/* Posts a key press (down and up) for `key` to `window`. */
void PostKey(HWND window, UINT key);

/* The window that has the keyboard focus on `window`'s thread, or null. */
HWND FocusOfThreadOf(HWND window);

/* The text of a static control of `dialog` whose text is exactly `text`,
   searched among all its children; true when one shows it. */
bool DialogShowsText(HWND dialog, const std::string& text);
