#pragma once
// The product's per-user settings key (HKEY_CURRENT_USER, company key
// "SOFTWARE\ZentaVeld\", product key "Velmaris\"), held open for the life
// of one object. Opening creates the keys
// when they are missing, so even a read leaves them behind.

#include <windows.h>

#include "common/exact_narrow.h"
#include "common/wide_text.h"

class SettingsKey {
public:
    /* Longest text read, in characters, without its terminating zero. */
    static constexpr DWORD kMaxValueChars = 254;

    /* Bytes read at most: kMaxValueChars characters of the system code page
       (up to three bytes each in UTF-8) and a terminating zero. */
    static constexpr DWORD kMaxValueBytes = kMaxValueChars * kMaxBytesPerUnit + 1;

    /* Opens (or creates) the company key, then the product key below it
       (KEY_ALL_ACCESS), and keeps only the product key. When either step
       fails no key is held. */
    SettingsKey();

    /* Closes the key, if one is held. */
    virtual ~SettingsKey();

    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    /* Sets `valueName` to `text` as REG_SZ, terminating zero included. True
       on success; false when no key is held or the platform call fails. */
    virtual bool SetString(const char* valueName, const char* text);

    /* Reads `valueName` (whatever its type) into `text`, converted from the
       system code page. Data without a terminating zero ends where the bytes
       read end. True on success; false (and `text` unchanged) when no key is
       held, the value is missing, longer than kMaxValueBytes or than
       kMaxValueChars characters, or the query fails. */
    virtual bool GetString(const char* valueName, WideText& text);

    /* True when a key handle is held. */
    virtual bool IsOpen() const;

private:
    HKEY key_;
};
