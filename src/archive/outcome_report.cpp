#include "archive/outcome_report.h"

#include <cstring>

#include <windows.h>

#include "archive/archive_paths.h"

void WriteReport(ArchiveHolder& holder, const ReportLines& lines) {
    const WideText reportPath = ReportPath();
    HANDLE file = CreateFileA(reportPath.Narrow(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        for (const WideText& line : lines) {
            const char* text = line.Narrow();
            DWORD written = 0;
            if (text != nullptr) {
                WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
            }
            WriteFile(file, "\r\n", 2, &written, nullptr);
        }
        FlushFileBuffers(file);
        CloseHandle(file);
    }
    AddFileToArchive(holder, ArchivePath().Narrow(), reportPath.Narrow(), ZipDataKind::FileName);
}
