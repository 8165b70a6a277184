#include "archive/collection_steps.h"

#include <cstring>

#include <windows.h>

#include "archive/event_log_backup.h"
#include "archive/registry_export.h"
#include "common/file_finder.h"
#include "common/narrow_text.h"
#include "settings/install_locations.h"

namespace {

// The status block's size as the product defines it; the dump is this many
// bytes or nothing.
constexpr DWORD kStatusDumpBytes = 10000;

struct RegistryExport {
    const char* fileName;
    const char* branch;
};

const RegistryExport kRegistryExports[] = {
    {"ZentaveldRegistrySettings.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Zentaveld"},
    {"OstrelRegistrySettings.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Ostrel"},
};

void CollectBelowInstallDirectory(const char* subFolder, PathList& paths, const char* ending) {
    CollectFiles((ReadInstallDirectory() + subFolder).Narrow(), paths, ending);
}

void CollectBelowProjectFolder(PathList& paths, const char* ending) {
    CollectFiles(ReadProjectFolder().Narrow(), paths, ending);
}

} // namespace

void CollectErrorLog(PathList& paths) {
    const WideText path = ReadProjectFolder() + "ApplicationEventLog.evt";
    // The backup does not overwrite an earlier one.
    DeleteFileA(path.Narrow());
    // Without a backup the path still goes in, and the report says so.
    BackUpApplicationLog(path.Narrow());
    AppendUnique(paths, path);
}

void CollectRegistrySettings(PathList& paths) {
    WideText exported[2];
    for (size_t i = 0; i < 2; ++i) {
        exported[i] = ReadInstallDirectory() + kRegistryExports[i].fileName;
        ExportRegistryBranch(exported[i].Narrow(), kRegistryExports[i].branch);
    }
    for (const WideText& path : exported) {
        AppendUnique(paths, path);
    }
}

void CollectSharedMemory(PathList& paths) {
    HANDLE block = OpenFileMappingA(FILE_MAP_READ, FALSE, "VL_STATUS");
    const WideText path = ReadProjectFolder() + "VL_STATUS.txt";
    if (block != nullptr) {
        HANDLE file = CreateFileA(path.Narrow(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        const void* view = MapViewOfFile(block, FILE_MAP_READ, 0, 0, kStatusDumpBytes);
        if (view != nullptr) {
            if (file != INVALID_HANDLE_VALUE) {
                DWORD written = 0;
                WriteFile(file, view, kStatusDumpBytes, &written, nullptr);
            }
            FlushViewOfFile(view, 0);
            UnmapViewOfFile(view);
        }
        CloseHandle(block);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }
    AppendUnique(paths, path);
}

void CollectProductFiles(PathList& paths) {
    CollectBelowInstallDirectory("", paths, "acq");
    CollectBelowInstallDirectory("", paths, "ini");
    CollectBelowProjectFolder(paths, "acq");
    CollectBelowProjectFolder(paths, "ini");
    AppendUnique(paths, ReadInstallDirectory() + "SampleListInterface.txt");
}

void CollectFractionFiles(PathList& paths) {
    CollectBelowInstallDirectory("Halvorstrand\\", paths, "");
    CollectBelowInstallDirectory("Barcodes\\", paths, "");
    CollectBelowInstallDirectory("", paths, "hv4");
    CollectBelowProjectFolder(paths, "frc");
    CollectBelowInstallDirectory("Plates\\", paths, "");
    CollectBelowInstallDirectory("Racks\\", paths, "");
}

void CollectInletLogs(PathList& paths) {
    CollectBelowInstallDirectory("InletLogs\\", paths, "");
}

void CollectFiles(const char* folder, PathList& paths, const char* ending) {
    // Without a folder the pattern would search the current directory.
    if (folder == nullptr || *folder == '\0') {
        return;
    }
    const size_t endingLength = ending == nullptr ? 0 : std::strlen(ending);
    FileFinder finder;
    if (!finder.Find((NarrowText(folder) + "*.*").CStr())) {
        return;
    }
    do {
        if (finder.IsDots()) {
            continue;
        }
        const NarrowText fullPath = finder.FullPath();
        if (finder.IsFolder()) {
            CollectFiles((fullPath + '\\').CStr(), paths, ending);
            continue;
        }
        if (endingLength > 0) {
            const NarrowText name(finder.Name());
            if (name.Length() < endingLength ||
                lstrcmpA(name.Right(endingLength).CStr(), ending) != 0) {
                continue;
            }
        }
        AppendUnique(paths, WideText(fullPath.CStr()));
    } while (finder.Next());
    finder.Close();
}
