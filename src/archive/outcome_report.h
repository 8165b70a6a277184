#pragma once
// The outcome report: ZipFailureFile.txt beside the archive, one line per
// outcome, then added to the archive as its last entry.

#include "archive/archive_sources.h"

/* Writes every line of `lines`, in order, to installation directory +
   "ZipFailureFile.txt" (replaced when present): each line's narrow form in
   the system code page followed by CR LF; no header, no byte-order mark, so
   no lines give an empty file. Then adds that file to the holder's archive
   (creating the archive if none exists yet) as the last entry. Failures of
   the file or of its addition are not reported. */
void WriteReport(ArchiveHolder& holder, const ReportLines& lines);
