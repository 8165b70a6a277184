#pragma once
// Test support: the two machine branches that the registry step exports,
// with the kinds of values the demo installation has (scripts/demo/
// make-demo.sh): every value type the product writes, a string with quotes
// and backslashes, and a binary value long enough to wrap over several
// lines. The branches are removed again when the object goes.

#include <windows.h>

namespace testing_support {

class MachineBranches {
public:
    MachineBranches() {
        RemoveBoth();
        HKEY key = Create(L"SOFTWARE\\Zentaveld");
        Set(key, L"", REG_SZ, L"Zentaveld instruments", sizeof L"Zentaveld instruments");
        Close(key);
        key = Create(L"SOFTWARE\\Zentaveld\\Velmaris");
        Set(key, L"Version", REG_SZ, L"5.2", sizeof L"5.2");
        const wchar_t quoted[] = L"say \"ready\" from C:\\Velmaris\\";
        Set(key, L"Banner", REG_SZ, quoted, sizeof quoted);
        const wchar_t expand[] = L"%ProgramFiles%\\Velmaris\\Methods";
        Set(key, L"MethodPath", REG_EXPAND_SZ, expand, sizeof expand);
        const wchar_t multi[] = L"Gradient30\0Wash\0Isocratic\0";
        Set(key, L"Methods", REG_MULTI_SZ, multi, sizeof multi);
        const DWORD lampHours = 1834;
        Set(key, L"LampHours", REG_DWORD, &lampHours, sizeof lampHours);
        const unsigned long long runs = 123456789012ULL;
        Set(key, L"Runs", REG_QWORD, &runs, sizeof runs);
        BYTE calibration[120];
        for (unsigned i = 0; i < sizeof calibration; ++i) {
            calibration[i] = static_cast<BYTE>(i * 37 + 5);
        }
        Set(key, L"Calibration", REG_BINARY, calibration, sizeof calibration);
        Close(key);
        key = Create(L"SOFTWARE\\Zentaveld\\Velmaris\\Detector");
        Set(key, L"Model", REG_SZ, L"UV-2", sizeof L"UV-2");
        Close(key);
        key = Create(L"SOFTWARE\\Ostrel\\Pumps");
        const DWORD count = 2;
        Set(key, L"Count", REG_DWORD, &count, sizeof count);
        Close(key);
    }

    ~MachineBranches() { RemoveBoth(); }

    MachineBranches(const MachineBranches&) = delete;
    MachineBranches& operator=(const MachineBranches&) = delete;

    /* Removes the Ostrel branch before its time, for a run without it. */
    static void RemoveOstrel() { Remove(L"SOFTWARE\\Ostrel"); }

private:
    static HKEY Create(const wchar_t* path) {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
        return key;
    }
    static void Set(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
        if (key != nullptr) {
            RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
        }
    }
    static void Close(HKEY key) {
        if (key != nullptr) {
            RegCloseKey(key);
        }
    }
    static void Remove(const wchar_t* path) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, path);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
    }
    static void RemoveBoth() {
        Remove(L"SOFTWARE\\Zentaveld");
        Remove(L"SOFTWARE\\Ostrel");
    }
};

} // namespace testing_support
