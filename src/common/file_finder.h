#pragma once
// One platform folder search (FindFirstFileA / FindNextFileA) with the search
// root taken from the pattern's full form, so every entry has a full path.
// Every failure reads as "not found". Use one FileFinder per level of a
// nested walk; the destructor ends a search still open.

#include <windows.h>

#include "common/narrow_text.h"

class FileFinder {
public:
    /* Longest pattern that is searched at all, in bytes. */
    static constexpr size_t kMaxPattern = 259;

    FileFinder() noexcept;
    ~FileFinder();
    FileFinder(const FileFinder&) = delete;
    FileFinder& operator=(const FileFinder&) = delete;

    /* Ends any earlier search, then searches `pattern` (narrow, system code
       page). Returns true when an entry was found; it is then current. A
       pattern longer than kMaxPattern (or nullptr) fails without asking the
       platform. A full form that cannot be made in 260 bytes ends the search,
       sets the last error to ERROR_INVALID_NAME and fails. A pattern without
       wildcards finds at most the entry it names; one ending in a separator
       finds nothing. */
    bool Find(const char* pattern);

    /* Moves to the next entry; false once the search is exhausted or ended
       (no entry is current then). */
    bool Next();

    /* Ends the search, if one is open; no entry is current afterwards. */
    void Close() noexcept;

    /* Returns the current entry's name ("" when none is current). */
    const char* Name() const noexcept;

    /* Returns the search root, then '\' unless the root ends in '\' or '/',
       then the current entry's name. The root is the pattern's full form cut
       at its last separator ('\' or '/', found with the code page in mind so
       a double-byte character's trail byte is never taken for one). */
    NarrowText FullPath() const noexcept;

    /* True when an entry is current and carries FILE_ATTRIBUTE_DIRECTORY. */
    bool IsFolder() const noexcept;

    /* True when the current entry is a folder named "." or "..". */
    bool IsDots() const noexcept;

private:
    WIN32_FIND_DATAA data_;
    char root_[kMaxPattern + 1];
    char separator_;
    HANDLE search_;
    bool current_;
};
