#include "settings/install_locations.h"

#include <cstring>

#include "common/file_finder.h"
#include "common/narrow_text.h"
#include "common/path_separator.h"
#include "settings/settings_key.h"

namespace {

struct Location {
    const char* valueName;
    const char* defaultPath;
};

const Location kInstallDirectory = {"Directory", "C:\\Velmaris\\"};
const Location kProjectFolder = {"Project", "C:\\Velmaris\\Default.pro\\"};

WideText ReadLocation(const Location& location) {
    SettingsKey key;
    WideText stored;
    if (!key.GetString(location.valueName, stored) || !IsExistingFolder(stored.Narrow())) {
        return WideText(location.defaultPath);
    }
    const unsigned length = stored.Length();
    if (length == 0 || stored.Wide()[length - 1] != L'\\') {
        stored += "\\";
    }
    return stored;
}

void StoreLocation(const Location& location, const char* path) {
    NarrowText value(path);
    if (EndsWithBackslash(value.CStr())) {
        value = value.Left(value.Length() - 1);
    }
    if (!IsExistingFolder(value.CStr())) {
        return;
    }
    SettingsKey key;
    if (key.IsOpen()) {
        key.SetString(location.valueName, value.CStr());
    }
}

// True when the last component of `path` is "." or "..". Some platforms
// resolve such a path before the lookup and report the folder it leads to,
// not a dots entry; the test rejects it either way.
bool NamesDots(const char* path) {
    if (path == nullptr) {
        return false;
    }
    const char* separator = FindLastSeparator(path);
    const char* last = separator == nullptr ? path : separator + 1;
    return std::strcmp(last, ".") == 0 || std::strcmp(last, "..") == 0;
}

} // namespace

WideText ReadInstallDirectory() {
    return ReadLocation(kInstallDirectory);
}

WideText ReadProjectFolder() {
    return ReadLocation(kProjectFolder);
}

void StoreInstallDirectory(const char* path) {
    StoreLocation(kInstallDirectory, path);
}

void StoreProjectFolder(const char* path) {
    StoreLocation(kProjectFolder, path);
}

bool IsExistingFolder(const char* path) {
    if (NamesDots(path)) {
        return false;
    }
    FileFinder finder;
    const bool found = finder.Find(path) && finder.IsFolder() && !finder.IsDots();
    finder.Close();
    return found;
}
