#pragma once
// Test support: empties HKEY_CURRENT_USER\SOFTWARE\ZentaVeld\Velmaris for
// the life of the object and puts back what was there before, so tests that
// touch the settings do not depend on each other's order.

#include <string>
#include <vector>

#include <windows.h>

namespace testing_support {

class RegistrySandbox {
public:
    static constexpr const char* kCompanyPath = "SOFTWARE\\ZentaVeld";
    static constexpr const char* kProductPath = "SOFTWARE\\ZentaVeld\\Velmaris";

    RegistrySandbox() {
        HKEY product = nullptr;
        hadProduct_ =
            RegOpenKeyExA(HKEY_CURRENT_USER, kProductPath, 0, KEY_READ, &product) == ERROR_SUCCESS;
        if (hadProduct_) {
            SaveValue(product, "Directory", directory_);
            SaveValue(product, "Project", project_);
            RegCloseKey(product);
        }
        HKEY company = nullptr;
        hadCompany_ =
            RegOpenKeyExA(HKEY_CURRENT_USER, kCompanyPath, 0, KEY_READ, &company) == ERROR_SUCCESS;
        if (hadCompany_) {
            RegCloseKey(company);
        }
        DeleteKeys();
    }

    ~RegistrySandbox() {
        DeleteKeys();
        if (hadCompany_) {
            HKEY key = nullptr;
            RegCreateKeyExA(HKEY_CURRENT_USER, hadProduct_ ? kProductPath : kCompanyPath, 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
            if (key != nullptr) {
                RestoreValue(key, "Directory", directory_);
                RestoreValue(key, "Project", project_);
                RegCloseKey(key);
            }
        }
    }

    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    /* True when `path` exists under HKEY_CURRENT_USER. */
    static bool KeyExists(const char* path) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }

    /* Writes raw bytes of the given type to a product value, making keys. */
    static void WriteRaw(const char* name, DWORD type, const std::string& bytes) {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, kProductPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
        RegCloseKey(key);
    }

    /* Writes a zero-terminated REG_SZ product value. */
    static void WriteText(const char* name, const std::string& text) {
        WriteRaw(name, REG_SZ, std::string(text.c_str(), text.size() + 1));
    }

    /* Reads a product value's raw bytes; `found` says whether it exists. */
    static std::string ReadRaw(const char* name, bool* found = nullptr) {
        std::vector<BYTE> buffer(4096);
        DWORD size = static_cast<DWORD>(buffer.size());
        HKEY key = nullptr;
        bool ok =
            RegOpenKeyExA(HKEY_CURRENT_USER, kProductPath, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (ok) {
            ok = RegQueryValueExA(key, name, nullptr, nullptr, buffer.data(), &size) ==
                 ERROR_SUCCESS;
            RegCloseKey(key);
        }
        if (found != nullptr) {
            *found = ok;
        }
        return ok ? std::string(reinterpret_cast<const char*>(buffer.data()), size) : "";
    }

private:
    struct Saved {
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> bytes;
    };

    static void SaveValue(HKEY key, const char* name, Saved& saved) {
        DWORD size = 0;
        if (RegQueryValueExA(key, name, nullptr, &saved.type, nullptr, &size) != ERROR_SUCCESS) {
            return;
        }
        saved.bytes.resize(size);
        saved.present = RegQueryValueExA(key, name, nullptr, &saved.type, saved.bytes.data(),
                                         &size) == ERROR_SUCCESS;
    }

    static void RestoreValue(HKEY key, const char* name, const Saved& saved) {
        if (saved.present) {
            RegSetValueExA(key, name, 0, saved.type, saved.bytes.data(),
                           static_cast<DWORD>(saved.bytes.size()));
        }
    }

    static void DeleteKeys() {
        RegDeleteKeyA(HKEY_CURRENT_USER, kProductPath);
        RegDeleteKeyA(HKEY_CURRENT_USER, kCompanyPath);
    }

    bool hadCompany_ = false;
    bool hadProduct_ = false;
    Saved directory_;
    Saved project_;
};

} // namespace testing_support
