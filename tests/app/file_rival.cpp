// File rival: stands in for another program working on files while an
// archive run reads them.
//
// Usage: file_rival.exe append PATH CHUNK PERIOD_MS READY STOP
//          Opens the existing file PATH for writing, shared with readers only
//          (as the product keeps its log), and appends CHUNK bytes of
//          numbered log lines every PERIOD_MS milliseconds until the named
//          event STOP is signalled. Exit code: 0.
//        file_rival.exe hold PATH READY STOP
//          Opens PATH for reading and writing, shared with no one, and keeps
//          it open until STOP is signalled. Exit code: 0.
//        file_rival.exe thin FOLDER SIGNAL_PATH READY
//          Waits (at most ten minutes) until SIGNAL_PATH exists, then deletes
//          every other file of FOLDER, in the order the folder lists them,
//          with a short pause after each. Exit code: the number deleted.
// In every mode the named manual-reset event READY is signalled once the
// rival is in place. Exit code 200 means a bad command line, 201 that PATH
// could not be opened.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kBadCommandLine = 200;
constexpr int kCannotOpen = 201;

void Signal(const char* name) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, name);
    SetEvent(event);
    CloseHandle(event);
}

HANDLE StopEvent(const char* name) {
    return CreateEventA(nullptr, TRUE, FALSE, name);
}

int Append(const char* path, unsigned long chunk, unsigned long period, const char* ready,
           const char* stopName) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return kCannotOpen;
    }
    SetFilePointer(file, 0, nullptr, FILE_END);
    HANDLE stop = StopEvent(stopName);
    Signal(ready);
    unsigned long line = 0;
    std::string block;
    do {
        block.clear();
        while (block.size() < chunk) {
            ++line;
            char text[96];
            const int length = std::snprintf(
                text, sizeof text, "appended %08lu: pump 2 pressure 41.%lu bar, valve %lu open\r\n",
                line, line % 10, line % 7);
            block.append(text, static_cast<size_t>(length));
        }
        block.resize(chunk);
        DWORD put = 0;
        WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &put, nullptr);
    } while (WaitForSingleObject(stop, period) == WAIT_TIMEOUT);
    CloseHandle(file);
    CloseHandle(stop);
    return 0;
}

int Hold(const char* path, const char* ready, const char* stopName) {
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return kCannotOpen;
    }
    HANDLE stop = StopEvent(stopName);
    Signal(ready);
    WaitForSingleObject(stop, INFINITE);
    CloseHandle(file);
    CloseHandle(stop);
    return 0;
}

int Thin(const std::string& folder, const char* signalPath, const char* ready) {
    Signal(ready);
    const ULONGLONG deadline = GetTickCount64() + 600000;
    while (GetFileAttributesA(signalPath) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount64() > deadline) {
            return 0;
        }
        Sleep(1);
    }
    std::vector<std::string> files;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                files.push_back(folder + "\\" + data.cFileName);
            }
        } while (FindNextFileA(search, &data));
        FindClose(search);
    }
    // Every second file, from the end of the folder backwards: the deleting
    // then meets the walk whichever of the two runs faster, so files past
    // the meeting point go before the walk reaches them.
    int deleted = 0;
    for (size_t i = files.size() & ~size_t{1}; i > 0; i -= 2) {
        if (DeleteFileA(files[i - 1].c_str())) {
            ++deleted;
        }
        Sleep(2);
    }
    return deleted;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "append" && argc == 7) {
        const unsigned long chunk = std::strtoul(argv[3], nullptr, 10);
        const unsigned long period = std::strtoul(argv[4], nullptr, 10);
        return chunk == 0 ? kBadCommandLine : Append(argv[2], chunk, period, argv[5], argv[6]);
    }
    if (mode == "hold" && argc == 5) {
        return Hold(argv[2], argv[3], argv[4]);
    }
    if (mode == "thin" && argc == 5) {
        return Thin(argv[2], argv[3], argv[4]);
    }
    return kBadCommandLine;
}
