// Name rules of the container: slashes, folder marks and the stored list.
#include "zip_entry_name.h"

#include <cstring>

namespace {

// Extensions of files that are compressed already; deflating them gains nothing.
const char* const kStoredExtensions[] = {".Z",   ".zip", ".zoo", ".arc",
                                         ".lzh", ".arj", ".gz",  ".tgz"};

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameWithoutCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (Lower(*a) != Lower(*b)) {
            return false;
        }
    }
    return *a == *b;
}

} // namespace

std::uint32_t MakeEntryName(const char* name, bool folder, char* field) {
    field[0] = '\0';
    if (name == nullptr || name[0] == '\0') {
        return 0;
    }
    std::size_t length = std::strlen(name);
    bool add_slash = folder && name[length - 1] != '/' && name[length - 1] != '\\';
    if (length + (add_slash ? 1 : 0) + 1 > kZipNameCapacity) {
        return 0;
    }
    // Characters, not bytes: every byte but a UTF-8 continuation starts one.
    std::size_t characters = add_slash ? 1 : 0;
    for (std::size_t i = 0; i < length; ++i) {
        characters += (static_cast<unsigned char>(name[i]) & 0xC0) != 0x80 ? 1 : 0;
    }
    if (characters > kZipNameCharacters) {
        return 0;
    }
    for (std::size_t i = 0; i < length; ++i) {
        field[i] = name[i] == '\\' ? '/' : name[i];
    }
    if (add_slash) {
        field[length++] = '/';
    }
    field[length] = '\0';
    return static_cast<std::uint32_t>(length);
}

bool IsNonAsciiName(const char* name) {
    for (; *name != '\0'; ++name) {
        if (static_cast<unsigned char>(*name) >= 0x80) {
            return true;
        }
    }
    return false;
}

bool IsStoredName(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (dot == nullptr) {
        return false;
    }
    for (const char* extension : kStoredExtensions) {
        if (SameWithoutCase(dot, extension)) {
            return true;
        }
    }
    return false;
}
