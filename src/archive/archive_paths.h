#pragma once
// Where an archive run writes: the archive and the outcome report, both in
// the installation directory. Formed afresh from the settings at every call.

#include "common/wide_text.h"

/* Returns the installation directory followed by "VelmarisErrorArchive.zip". */
WideText ArchivePath();

/* Returns the installation directory followed by "ZipFailureFile.txt". */
WideText ReportPath();
