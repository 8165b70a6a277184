#pragma once
// Drives a running Gleanwell.exe from another process, as a user would: find
// its dialog, read its rows, press its buttons, answer its message box, close
// it. Used by the out-of-process test and by the demo run.
#include <windows.h>

#include <string>
#include <vector>

struct RemoteRow {
    std::string item;
    std::string location;
    bool checked;
};

class RemoteGleanwell {
public:
    RemoteGleanwell() = default;
    RemoteGleanwell(const RemoteGleanwell&) = delete;
    RemoteGleanwell& operator=(const RemoteGleanwell&) = delete;
    /* Ends the process if it is still running. */
    ~RemoteGleanwell();

    /* Starts `exePath` without a console, as the shell does, and waits up to
       `timeoutMs` for its visible "Gleanwell" dialog. Returns false (with the
       reason in Error()) when either fails. */
    bool Start(const std::string& exePath, int timeoutMs);

    /* The program's process (valid from a successful Start). */
    HANDLE Process() const { return process_.hProcess; }

    /* The dialog found by Start. */
    HWND Dialog() const { return dialog_; }

    /* The message box found by PressArchive, until it is dismissed. */
    HWND Box() const { return box_; }

    /* The program's visible top-level windows. */
    std::vector<HWND> VisibleWindows() const;

    /* The list's rows, read through memory in the program's process. */
    std::vector<RemoteRow> ReadRows();

    /* Presses "Add Data", chooses `folder` in the folder browser and presses
       its OK. Returns false when the browser did not come or go. */
    bool AddDataFolder(const std::string& folder, int timeoutMs);

    /* Presses "Add Other" and chooses `folder` (anywhere) the same way. */
    bool AddOtherFolder(const std::string& folder, int timeoutMs);

    /* Presses "Archive" and waits up to `timeoutMs` for the program's
       "Archive" message box; returns true with its text in `text`, leaving
       the box open. */
    bool PressArchive(int timeoutMs, std::string& text);

    /* Dismisses the open message box with OK; true once it is gone. */
    bool DismissBox(int timeoutMs);

    /* Closes the dialog with its close box and waits for the process to end;
       true with its exit status in `status`. */
    bool Close(int timeoutMs, DWORD& status);

    /* What went wrong last. */
    const std::string& Error() const { return error_; }

private:
    std::string RemoteText(HWND list, int row, int column);
    bool ChooseFolder(int button, const std::string& folder, int timeoutMs);

    PROCESS_INFORMATION process_{};
    HWND dialog_ = nullptr;
    HWND box_ = nullptr;
    std::string error_;
};
