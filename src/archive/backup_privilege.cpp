#include "archive/backup_privilege.h"

BackupPrivilegeGuard::BackupPrivilegeGuard() {
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token_)) {
        token_ = nullptr;
        return;
    }
    TOKEN_PRIVILEGES wanted = {};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, "SeBackupPrivilege", &wanted.Privileges[0].Luid)) {
        return;
    }
    // The previous state lists only what the call changed: nothing when the
    // privilege was already enabled, so restoring it then changes nothing.
    DWORD previousSize = 0;
    SetLastError(ERROR_SUCCESS);
    if (!AdjustTokenPrivileges(token_, FALSE, &wanted, sizeof previous_, &previous_,
                               &previousSize)) {
        previous_.PrivilegeCount = 0;
        return;
    }
    // The call succeeds without assigning anything when the token lacks the
    // privilege.
    held_ = GetLastError() != ERROR_NOT_ALL_ASSIGNED;
    if (!held_) {
        previous_.PrivilegeCount = 0;
    }
}

BackupPrivilegeGuard::~BackupPrivilegeGuard() {
    if (token_ == nullptr) {
        return;
    }
    if (previous_.PrivilegeCount != 0) {
        AdjustTokenPrivileges(token_, FALSE, &previous_, 0, nullptr, nullptr);
    }
    CloseHandle(token_);
}
