// The event log backup's two ways and the backup privilege: the token is
// left as it was, and a missing export degrades to "no file".

#include "archive/event_log_backup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/backup_privilege.h"
#include "common/scratch_folder.h"

namespace {

using testing_support::ScratchFolder;

struct Privilege {
    LUID luid;
    DWORD attributes;
    bool operator==(const Privilege& other) const {
        return luid.LowPart == other.luid.LowPart && luid.HighPart == other.luid.HighPart &&
               attributes == other.attributes;
    }
};

// Every privilege of the process token with its attributes, in token order.
std::vector<Privilege> ReadTokenPrivileges() {
    std::vector<Privilege> privileges;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        ADD_FAILURE() << "OpenProcessToken: " << GetLastError();
        return privileges;
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size != 0 && GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
        const auto* list = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
        for (DWORD i = 0; i < list->PrivilegeCount; ++i) {
            privileges.push_back({list->Privileges[i].Luid, list->Privileges[i].Attributes});
        }
    } else {
        ADD_FAILURE() << "GetTokenInformation: " << GetLastError();
    }
    CloseHandle(token);
    return privileges;
}

LUID BackupLuid() {
    LUID luid = {};
    EXPECT_TRUE(LookupPrivilegeValueA(nullptr, "SeBackupPrivilege", &luid));
    return luid;
}

// The backup privilege's entry in the token, or null when the token lacks it.
const Privilege* FindBackup(const std::vector<Privilege>& privileges) {
    const LUID luid = BackupLuid();
    for (const Privilege& p : privileges) {
        if (p.luid.LowPart == luid.LowPart && p.luid.HighPart == luid.HighPart) {
            return &p;
        }
    }
    return nullptr;
}

// Sets the backup privilege's enabled bit by hand; false when not held.
bool SetBackupEnabled(bool enabled) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) {
        return false;
    }
    TOKEN_PRIVILEGES wanted = {};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Luid = BackupLuid();
    wanted.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
    SetLastError(ERROR_SUCCESS);
    const bool set = AdjustTokenPrivileges(token, FALSE, &wanted, 0, nullptr, nullptr) &&
                     GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return set;
}

bool FileStands(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

const ChannelExport kMissingModule = {"gleanwell-no-such-module.dll", "EvtExportLog"};
const ChannelExport kMissingFunction = {"kernel32.dll", "GleanwellNoSuchExport"};

} // namespace

TEST(BackupPrivilegeTest, GuardEnablesWhatTheTokenHoldsAndLeavesTheTokenAsItWas) {
    const std::vector<Privilege> before = ReadTokenPrivileges();
    const Privilege* backup = FindBackup(before);
    for (bool initiallyEnabled : {false, true}) {
        if (backup != nullptr) {
            ASSERT_TRUE(SetBackupEnabled(initiallyEnabled));
        } else if (initiallyEnabled) {
            continue;
        }
        const std::vector<Privilege> start = ReadTokenPrivileges();
        {
            const BackupPrivilegeGuard guard;
            EXPECT_EQ(backup != nullptr, guard.Held());
            const std::vector<Privilege> during = ReadTokenPrivileges();
            if (guard.Held()) {
                const Privilege* enabled = FindBackup(during);
                ASSERT_NE(nullptr, enabled);
                EXPECT_NE(0u, enabled->attributes & SE_PRIVILEGE_ENABLED);
                // A second guard inside the first changes nothing on its way out.
                { const BackupPrivilegeGuard inner; }
                EXPECT_EQ(during, ReadTokenPrivileges());
            } else {
                EXPECT_EQ(start, during);
            }
        }
        EXPECT_EQ(start, ReadTokenPrivileges()) << "enabled beforehand: " << initiallyEnabled;
    }
    if (backup != nullptr) {
        SetBackupEnabled((backup->attributes & SE_PRIVILEGE_ENABLED) != 0);
    }
    EXPECT_EQ(before, ReadTokenPrivileges());
}

TEST(EventLogBackupTest, MissingExportModuleOrFunctionFailsQuietly) {
    ScratchFolder scratch("evtexport");
    const std::string path = scratch / "ApplicationEventLog.evt";
    EXPECT_FALSE(ExportApplicationChannel(path.c_str(), kMissingModule));
    EXPECT_FALSE(ExportApplicationChannel(path.c_str(), kMissingFunction));
    EXPECT_FALSE(FileStands(path));
}

TEST(EventLogBackupTest, ResultSaysWhetherABackupFileStands) {
    const std::vector<Privilege> before = ReadTokenPrivileges();
    for (const ChannelExport* exporter : {&kMissingModule, &kMissingFunction, &kChannelExport}) {
        ScratchFolder scratch("evtbackup");
        const std::string path = scratch / "ApplicationEventLog.evt";
        const bool backedUp = BackUpApplicationLog(path.c_str(), *exporter);
        EXPECT_EQ(backedUp, FileStands(path)) << exporter->module;
        if (backedUp) {
            WIN32_FILE_ATTRIBUTE_DATA data = {};
            ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
            EXPECT_NE(0u, data.nFileSizeLow | data.nFileSizeHigh) << exporter->module;
        }
    }
    EXPECT_EQ(before, ReadTokenPrivileges());
}
