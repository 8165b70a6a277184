// Entry times: a file time turned into the DOS date and time of the headers
// and into the 32-bit Unix time of the extended-timestamp fields.
#pragma once

#include <cstdint>

#include "file_layer.h"

// Calendar fields of a file time, as FileTimeToSystemTime gives them.
struct CalendarTime {
    int year = 1601;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

/* Splits a file time into calendar fields (no time-zone conversion). */
CalendarTime SplitFileTime(FileTime time);

/* The DOS date (upper 16 bits) and time (lower 16 bits) of a file time; a
   time before 1980 becomes 1 January 1980 00:00:00 and one after 2107 becomes
   31 December 2107 23:59:58, the nearest dates DOS can express. */
std::uint32_t DosDateTime(FileTime time);

/* The Unix time of a file time whose fields are taken as local standard time
   (mktime with no daylight saving). Years before 1970 become 1 January 1970
   and years after 2037 become 31 December 2037, keeping the time of day. */
std::uint32_t UnixTime(FileTime time);
