// Status-block simulator: stands in for the running product's shared-memory
// block "VL_STATUS" in tests and demo runs.
//
// Usage: status_block_sim.exe SIZE
//   SIZE  size of the block in bytes (decimal, at least 1).
// It creates the named mapping "VL_STATUS" of SIZE bytes, fills it with the
// known pattern byte[i] = i % 251, signals the named manual-reset event
// "VL_STATUS_SIM_READY", then waits until the named event
// "VL_STATUS_SIM_STOP" is signalled (or the process is ended) and exits 0.
// A caller may create both events before starting it. Exit code 2 means a
// bad command line, 3 that the block could not be made.

#include <cstdlib>

#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    char* end = nullptr;
    const unsigned long size = std::strtoul(argv[1], &end, 10);
    if (size == 0 || end == argv[1] || *end != '\0') {
        return 2;
    }
    HANDLE block =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, "VL_STATUS");
    if (block == nullptr) {
        return 3;
    }
    auto* bytes = static_cast<unsigned char*>(MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, size));
    if (bytes == nullptr) {
        CloseHandle(block);
        return 3;
    }
    for (unsigned long i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(i % 251);
    }
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "VL_STATUS_SIM_READY");
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, "VL_STATUS_SIM_STOP");
    SetEvent(ready);
    WaitForSingleObject(stop, INFINITE);
    UnmapViewOfFile(bytes);
    CloseHandle(block);
    CloseHandle(stop);
    CloseHandle(ready);
    return 0;
}
