#pragma once
// The backup privilege, enabled in the process token for one scope. The
// event log service refuses a backup to a caller whose token has the
// privilege but not enabled, which is how a workstation's users get it.

#include <windows.h>

class BackupPrivilegeGuard {
public:
    /* Enables SeBackupPrivilege in the process token when the token holds
       it; a token without it is left untouched. Never fails loudly. */
    BackupPrivilegeGuard();

    /* Puts the privilege back the way the token had it before this guard
       (only what this guard changed is changed back). */
    ~BackupPrivilegeGuard();

    BackupPrivilegeGuard(const BackupPrivilegeGuard&) = delete;
    BackupPrivilegeGuard& operator=(const BackupPrivilegeGuard&) = delete;

    /* True when the token holds the privilege, so that it is enabled for
       the guard's lifetime. */
    bool Held() const { return held_; }

private:
    HANDLE token_ = nullptr;
    TOKEN_PRIVILEGES previous_ = {};
    bool held_ = false;
};
