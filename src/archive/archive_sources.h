#pragma once
// Turning source paths into archive entries and outcome lines. A source is a
// file or a folder (walked depth-first); every file found becomes one entry,
// named by its full path without the first three characters, and one line
// of the run's ReportLines.

#include "common/path_list.h"
#include "zip/zip_archive.h"

/* The run's archive: empty until the first file that exists creates it. The
   archive run closes it with ZipArchive::Close. */
struct ArchiveHolder {
    ZipHandle* handle = nullptr;
};

/* The three outcome prefixes, 13 characters each so that paths line up. */
extern const char kSuccessPrefix[];  // "Success   :- "
extern const char kFailedPrefix[];   // "Failed    :- "
extern const char kNotFoundPrefix[]; // "Not Found :- "

/* Adds the file at `sourcePath` (narrow) to the holder's archive as the
   entry named `sourcePath` without its first three characters. Returns false
   at once, creating nothing, when either path is missing or empty or nothing
   stands at `sourcePath`. An empty holder is filled by creating the archive
   at `archivePath` (a file, replaced when present); when that fails the
   holder stays empty, false is returned, and the next call tries again.
   Returns true exactly when the writer added the entry. */
bool AddFileToArchive(ArchiveHolder& holder, const char* archivePath, const char* sourcePath,
                      ZipDataKind sourceKind);

/* Searches `sourcePath` (narrow; a file, a folder, or a pattern such as
   folder\*.*). Every file found is added with AddFileToArchive and gets the
   line "Success   :- " or "Failed    :- " followed by its full path; every
   folder except "." and ".." is walked the same way, depth-first in listing
   order, and gets no line of its own. A search that finds nothing (missing,
   ending in a separator, a bare drive root, longer than 259 characters, or
   a full form that does not fit) gets "Not Found :- " followed by the
   searched path unchanged. Lines enter `lines` with AppendUnique. */
void AddSourceToArchive(ArchiveHolder& holder, const char* sourcePath, ReportLines& lines);
