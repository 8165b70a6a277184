#pragma once
// Conversions between UTF-16 and a narrow code page, sized by what the
// conversion itself says it needs (a UTF-8 code page can need 3 bytes per
// UTF-16 unit). WideText uses them with CP_ACP.

#include <windows.h>

/* Converts `length` UTF-16 units at `wide` (embedded zeros included) into a
   new zero-terminated narrow text in `codePage`, allocated with new[]; the
   caller delete[]s it. An empty text gives "". Raises WideTextError on a
   failed allocation or conversion; never returns null. */
char* ConvertToNarrow(const wchar_t* wide, unsigned length, UINT codePage);

/* Converts the zero-terminated narrow text `narrow` from `codePage` into a new
   counted wide string (SysAllocStringLen; the caller frees it with
   SysFreeString). An empty text gives an empty, non-null string. Raises
   WideTextError on a failed allocation or conversion; never returns null. */
BSTR ConvertToWide(const char* narrow, UINT codePage);
