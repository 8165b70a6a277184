#pragma once
// One platform folder search with the search root taken from the pattern's
// full form, so every entry has a full path. Patterns, roots, names and full
// paths are narrow text in the system code page; the search itself is made
// in UTF-16 and every name is turned into the code page exactly or with '?'
// (see exact_narrow.h), so a name is never handed out as another file's.
// Every failure reads as "not found". Use one FileFinder per level of a
// nested walk; the destructor ends a search still open.

#include <windows.h>

#include "common/exact_narrow.h"
#include "common/narrow_text.h"

class FileFinder {
public:
    /* Longest pattern that is searched at all, in characters (UTF-16 units),
       whatever the bytes its narrow form takes. */
    static constexpr size_t kMaxPattern = 259;

    FileFinder() noexcept;
    ~FileFinder();
    FileFinder(const FileFinder&) = delete;
    FileFinder& operator=(const FileFinder&) = delete;

    /* Ends any earlier search, then searches `pattern` (narrow, system code
       page). Returns true when an entry was found; it is then current. A
       pattern longer than kMaxPattern characters (or nullptr) fails without
       asking the platform. A full form that cannot be made in 260 characters
       ends the search, sets the last error to ERROR_INVALID_NAME and fails.
       A pattern without wildcards finds at most the entry it names; one
       ending in a separator finds nothing. */
    bool Find(const char* pattern);

    /* Moves to the next entry; false once the search is exhausted or ended
       (no entry is current then). */
    bool Next();

    /* Ends the search, if one is open; no entry is current afterwards. */
    void Close() noexcept;

    /* Returns the current entry's name ("" when none is current). A name the
       code page cannot hold comes with '?' for each such character, so it
       opens nothing. */
    const char* Name() const noexcept;

    /* Returns the search root, then '\' unless the root ends in '\' or '/',
       then the current entry's name. The root is the pattern's full form cut
       at its last separator ('\' or '/'). */
    NarrowText FullPath() const noexcept;

    /* True when an entry is current and carries FILE_ATTRIBUTE_DIRECTORY. */
    bool IsFolder() const noexcept;

    /* True when the current entry is a folder named "." or "..". */
    bool IsDots() const noexcept;

private:
    static constexpr size_t kMaxBytes = kMaxPattern * kMaxBytesPerUnit + 1;

    // Makes the entry in data_ current, with its narrow name.
    void TakeEntry() noexcept;

    WIN32_FIND_DATAW data_;
    char name_[kMaxBytes];
    char root_[kMaxBytes];
    bool rootEndsInSeparator_;
    char separator_;
    HANDLE search_;
    bool current_;
};
