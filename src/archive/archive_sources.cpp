#include "archive/archive_sources.h"

#include <windows.h>

#include "archive/archive_paths.h"
#include "common/file_finder.h"
#include "common/narrow_text.h"

const char kSuccessPrefix[] = "Success   :- ";
const char kFailedPrefix[] = "Failed    :- ";
const char kNotFoundPrefix[] = "Not Found :- ";

namespace {

// Entry names drop the drive prefix ("C:\"), whatever those characters are.
constexpr size_t kDrivePrefixLength = 3;

// The text after its first `count` characters. Characters, not bytes: a
// share's server name that begins with a multibyte character must not leave
// half of it at the front of the entry name.
const char* AfterCharacters(const char* text, size_t count) {
    const UINT codePage = GetACP();
    for (; count > 0 && *text != '\0'; --count) {
        const auto lead = static_cast<BYTE>(*text++);
        if (codePage == CP_UTF8) {
            while ((static_cast<BYTE>(*text) & 0xC0) == 0x80) {
                ++text;
            }
        } else if (IsDBCSLeadByteEx(codePage, lead) && *text != '\0') {
            ++text;
        }
    }
    return text;
}

} // namespace

bool AddFileToArchive(ArchiveHolder& holder, const char* archivePath, const char* sourcePath,
                      ZipDataKind sourceKind) {
    if (archivePath == nullptr || *archivePath == '\0' || sourcePath == nullptr ||
        *sourcePath == '\0' || GetFileAttributesA(sourcePath) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if (holder.handle == nullptr) {
        holder.handle = ZipArchive::Create(archivePath, 0, ZipDataKind::FileName);
        if (holder.handle == nullptr) {
            return false;
        }
    }
    const char* entryName = AfterCharacters(sourcePath, kDrivePrefixLength);
    return ZipArchive::AddFile(holder.handle, entryName, sourcePath, 0, sourceKind) ==
           ZipResult::Success;
}

void AddSourceToArchive(ArchiveHolder& holder, const char* sourcePath, ReportLines& lines) {
    FileFinder finder;
    if (!finder.Find(sourcePath)) {
        AppendUnique(lines, kNotFoundPrefix + WideText(sourcePath));
        return;
    }
    do {
        if (finder.IsDots()) {
            continue;
        }
        const NarrowText fullPath = finder.FullPath();
        if (finder.IsFolder()) {
            AddSourceToArchive(holder, (fullPath + "\\*.*").CStr(), lines);
            continue;
        }
        const bool added = AddFileToArchive(holder, ArchivePath().Narrow(), fullPath.CStr(),
                                            ZipDataKind::FileName);
        AppendUnique(lines, (added ? kSuccessPrefix : kFailedPrefix) + WideText(fullPath.CStr()));
    } while (finder.Next());
    finder.Close();
}
