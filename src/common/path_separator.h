#pragma once
// Finding path separators in narrow text with the code page in mind: the
// second byte of a double-byte character may have the value of '\'.

#include <windows.h>

/* Returns the last '\' or '/' of the zero-terminated `text`, stepping over
   the double-byte characters of `codePage` (the system code page unless
   given); nullptr when there is none or `text` is nullptr. */
const char* FindLastSeparator(const char* text, UINT codePage = CP_ACP) noexcept;

/* True when the last character of `text` is '\' (a double-byte character's
   trail byte never counts). */
bool EndsWithBackslash(const char* text, UINT codePage = CP_ACP) noexcept;
