#pragma once
// The error a WideText operation raises when it cannot allocate or convert.
// Nothing in the program catches it: it ends the process with its code.

#include <exception>

#include <windows.h>

class WideTextError : public std::exception {
public:
    /* Takes the result code the error carries: E_OUTOFMEMORY (0x8007000E) for
       a failed allocation, or the conversion's last error as an HRESULT
       (0x8007xxxx), or 0 when the platform reported none. */
    explicit WideTextError(HRESULT code) noexcept : code_(code) {}

    /* Returns the result code given at construction. */
    HRESULT Code() const noexcept { return code_; }

    /* Returns a fixed description; the code is the useful part. */
    const char* what() const noexcept override;

    /* Raises the error for a conversion that failed with the given last
       error: its low 16 bits with 0x80070000 above them, or 0 for no error. */
    [[noreturn]] static void RaiseConversionFailure(DWORD lastError);

    /* Raises the error for a failed allocation (E_OUTOFMEMORY). */
    [[noreturn]] static void RaiseOutOfMemory();

private:
    HRESULT code_;
};
