#pragma once
// A shared text value. Copies share one reference-counted record holding the
// text as a counted UTF-16 string and, once asked for, its narrow copy in the
// system code page. A value is null (no record), or has a record whose wide
// form may be absent. Operations that cannot allocate or convert raise
// WideTextError.

#include <windows.h>

class WideText {
public:
    /* A null value: no record, no wide form. */
    WideText() noexcept = default;

    /* Converts a zero-terminated narrow text from the system code page. An
       empty text gives an empty wide form; nullptr gives a value without one. */
    explicit WideText(const char* narrow);

    /* Copies a zero-terminated wide text; nullptr gives a value without a
       wide form. */
    explicit WideText(const wchar_t* wide);

    /* Takes over a counted wide string the platform has just handed out,
       without copying; it is freed with the record. nullptr gives a value
       without a wide form. */
    static WideText TakeOver(BSTR handedOut);

    /* Copies share the record (one more reference); moves take it over. */
    WideText(const WideText& other) noexcept;
    WideText(WideText&& other) noexcept;
    WideText& operator=(const WideText& other) noexcept;
    WideText& operator=(WideText&& other) noexcept;
    ~WideText();

    /* Appends a text in place: this value gets a new record holding both
       texts; other copies of the old record keep the old text. */
    WideText& operator+=(const WideText& tail);
    WideText& operator+=(const char* narrowTail);

    /* Joins two texts into a new value whose wide form is the first followed
       by the second. An absent wide form counts as empty, unless both are
       absent, which gives a value without a wide form. */
    friend WideText operator+(const WideText& head, const WideText& tail);
    friend WideText operator+(const char* narrowHead, const WideText& tail);
    friend WideText operator+(const WideText& head, const char* narrowTail);

    /* Returns the narrow copy in the system code page, made on first use and
       kept with the record; nullptr for a value without a wide form. The
       pointer lives as long as the record does. */
    const char* Narrow() const;

    /* Returns the wide form (counted; zero-terminated), or nullptr. */
    const wchar_t* Wide() const noexcept;

    /* Returns the wide form's length in UTF-16 units (0 when absent). */
    unsigned Length() const noexcept;

    /* True when the value has no record. */
    bool IsNull() const noexcept { return record_ == nullptr; }

    /* True when both values refer to the same record (two nulls included). */
    bool SharesRecordWith(const WideText& other) const noexcept { return record_ == other.record_; }

    /* Compares exactly, by UTF-16 code unit, with no locale: a value without
       a wide form equals another without one and is smaller than any with
       one; else the first differing unit decides (their difference is
       returned), else the shorter text is smaller. */
    static int Compare(const WideText& a, const WideText& b) noexcept;

private:
    struct Record;
    explicit WideText(Record* record) noexcept : record_(record) {}
    static Record* NewRecord(BSTR wide);
    void Release() noexcept;

    Record* record_ = nullptr;
};

/* Equal when Compare gives 0. */
inline bool operator==(const WideText& a, const WideText& b) noexcept {
    return WideText::Compare(a, b) == 0;
}
inline bool operator!=(const WideText& a, const WideText& b) noexcept {
    return !(a == b);
}
