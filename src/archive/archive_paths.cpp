#include "archive/archive_paths.h"

#include "settings/install_locations.h"

WideText ArchivePath() {
    return ReadInstallDirectory() + "VelmarisErrorArchive.zip";
}

WideText ReportPath() {
    return ReadInstallDirectory() + "ZipFailureFile.txt";
}
