#include "archive/run_archive.h"

#include <string>

#include "archive/archive_paths.h"
#include "archive/archive_sources.h"
#include "archive/collection_steps.h"
#include "archive/outcome_report.h"
#include "collect_list/collection_list.h"
#include "common/path_list.h"
#include "common/wide_text.h"
#include "zip/zip_archive.h"

namespace {
const char kCaption[] = "Archive";
const char kFinished[] = "Finished archive";
const char kNotWritten[] = "The archive could not be written:\n";

// The checked user rows' locations, in row order. The row count is read
// again for every row.
void AppendCheckedRows(const CollectionList& list, PathList& paths) {
    for (int row = list.FixedRowCount(); row < list.RowCount(); ++row) {
        if (list.IsRowChecked(row) == 0) {
            continue;
        }
        const WideText location = list.GetRowText(row, 1);
        if (!location.IsNull()) {
            AppendUnique(paths, location);
        }
    }
}

// A run that left no valid archive must not claim success.
void ShowOutcome(HWND owner, const WideText& archivePath, bool written) {
    if (written) {
        MessageBoxA(owner, kFinished, kCaption, MB_OK);
        return;
    }
    const std::string text = std::string(kNotWritten) + archivePath.Narrow();
    MessageBoxA(owner, text.c_str(), kCaption, MB_OK | MB_ICONWARNING);
}
} // namespace

int RunArchive(HWND owner, const CollectionList& list) {
    HCURSOR waitCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)); // IDC_WAIT
    const bool waitSet = waitCursor != nullptr;
    HCURSOR savedCursor = waitSet ? SetCursor(waitCursor) : nullptr;

    const WideText archivePath = ArchivePath();
    DeleteFileA(archivePath.Narrow());
    {
        PathList paths;
        ReportLines lines;
        ArchiveHolder holder;

        AppendCheckedRows(list, paths);
        CollectErrorLog(paths);
        CollectRegistrySettings(paths);
        CollectSharedMemory(paths);
        CollectProductFiles(paths);
        CollectFractionFiles(paths);
        CollectInletLogs(paths);

        for (const WideText& path : paths) {
            AddSourceToArchive(holder, path.Narrow(), lines);
        }
        WriteReport(holder, lines);

        const bool created = holder.handle != nullptr;
        const ZipResult closed = ZipArchive::Close(holder.handle);
        holder.handle = nullptr;
        ShowOutcome(owner, archivePath, created && closed == ZipResult::Success);
    }
    if (waitSet) {
        SetCursor(savedCursor);
    }
    return 0;
}
