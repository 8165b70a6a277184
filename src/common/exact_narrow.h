#pragma once
// Names the platform hands out in UTF-16, turned into the system code page
// so that the narrow form names that very file or nothing. A best-fit
// substitute ("Omega.txt" for a name that begins with a Greek capital omega)
// could name another file, so a character the code page cannot hold becomes
// '?', which no file name contains: the narrow form then opens nothing.

#include <windows.h>

#include <cstddef>

/* Most bytes one UTF-16 unit takes in a system code page (UTF-8 takes three
   for a unit of the basic plane, four for a surrogate pair). A path of n
   characters fits in n * kMaxBytesPerUnit bytes and a zero. */
constexpr size_t kMaxBytesPerUnit = 3;

/* Converts the zero-terminated `wide` into `narrow` (`size` bytes, zero
   included) in the system code page, never with a best-fit substitute.
   Returns true when the narrow form is exact. Otherwise every character the
   code page cannot hold (an unpaired surrogate too) is '?' in `narrow`, or,
   when even that does not fit, `narrow` is "?"; false is returned. */
bool ToExactNarrow(const wchar_t* wide, char* narrow, size_t size) noexcept;
