// Entry names: the stored form of a caller's name and the method it implies.
#pragma once

#include <cstdint>

// An entry name holds at most this many characters, as a Windows path does.
constexpr std::uint32_t kZipNameCharacters = 259;

// The name field: the longest name in UTF-8 (four bytes a character at most)
// and a terminating zero.
constexpr std::uint32_t kZipNameCapacity = kZipNameCharacters * 4 + 1;

/* Copies name (UTF-8) into field (kZipNameCapacity bytes) with every
   backslash turned into a slash and, for a folder, a slash appended unless
   one ends it. Returns the stored length in bytes, or 0 when name is null or
   empty, or the result has more than kZipNameCharacters characters or would
   not fit with its terminating zero; field is then left empty. */
std::uint32_t MakeEntryName(const char* name, bool folder, char* field);

/* True when the name has a byte outside ASCII: its entry is then marked as
   having a UTF-8 name. */
bool IsNonAsciiName(const char* name);

/* True when the name's extension (from its last '.') is one of the
   compressed-file extensions, compared without regard to case: such entries
   are stored, all others deflated. */
bool IsStoredName(const char* name);
