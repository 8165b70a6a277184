#include "settings/settings_key.h"

#include <cstring>

namespace {

// Each key name ends in a backslash, as the product itself stores them.
const char kCompanyKey[] = "SOFTWARE\\ZentaVeld\\";
const char kProductKey[] = "Velmaris\\";

HKEY OpenOrCreate(HKEY parent, const char* name) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

} // namespace

SettingsKey::SettingsKey() : key_(nullptr) {
    HKEY company = OpenOrCreate(HKEY_CURRENT_USER, kCompanyKey);
    if (company != nullptr) {
        key_ = OpenOrCreate(company, kProductKey);
        RegCloseKey(company);
    }
}

SettingsKey::~SettingsKey() {
    if (key_ != nullptr) {
        RegCloseKey(key_);
    }
}

bool SettingsKey::SetString(const char* valueName, const char* text) {
    if (key_ == nullptr || text == nullptr) {
        return false;
    }
    const DWORD bytes = static_cast<DWORD>(std::strlen(text) + 1);
    return RegSetValueExA(key_, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
           ERROR_SUCCESS;
}

bool SettingsKey::GetString(const char* valueName, WideText& text) {
    if (key_ == nullptr) {
        return false;
    }
    // One byte more than the limit, so that data without a terminating zero
    // can be ended inside the buffer.
    BYTE buffer[kMaxValueBytes + 1] = {};
    DWORD size = kMaxValueBytes;
    if (RegQueryValueExA(key_, valueName, nullptr, nullptr, buffer, &size) != ERROR_SUCCESS ||
        size > kMaxValueBytes) {
        return false;
    }
    buffer[size] = 0;
    // The limit is in characters, whatever bytes the code page gives them.
    const WideText read(reinterpret_cast<const char*>(buffer));
    if (read.Length() > kMaxValueChars) {
        return false;
    }
    text = read;
    return true;
}

bool SettingsKey::IsOpen() const {
    return key_ != nullptr;
}
