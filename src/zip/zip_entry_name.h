// Entry names: the stored form of a caller's name and the method it implies.
#pragma once

#include <cstdint>

// The name field holds at most this many bytes plus a terminating zero.
constexpr std::uint32_t kZipNameCapacity = 260;

/* Copies name into field (kZipNameCapacity bytes) with every backslash turned
   into a slash and, for a folder, a slash appended unless one ends it.
   Returns the stored length, or 0 when name is null or empty or the result
   (with its terminating zero) would not fit; field is then left empty. */
std::uint32_t MakeEntryName(const char* name, bool folder, char* field);

/* True when the name's extension (from its last '.') is one of the
   compressed-file extensions, compared without regard to case: such entries
   are stored, all others deflated. */
bool IsStoredName(const char* name);
