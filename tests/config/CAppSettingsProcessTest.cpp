// CAppSettings across real processes: a fresh process's initial values, two programs
// saving at once, and a program killed in the middle of a save.
#include "config/CAppSettings.h"

#include "platform/sys/AnotherUser.h"
#include "platform/sys/AtomicFile.h"
#include "platform/sys/RecordingShell.h"
#include "platform/sys/Registry.h"
#include "platform/sys/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

using namespace ketra::sys;
using ketra::test::RecordingShell;
using ketra::test::TempDir;

namespace {

constexpr const char* kFreshChild = "KETRA_SETTINGS_FRESH_CHILD";

// Runs one test of this binary in a new process (so no other test has touched the static
// members) and returns its exit status.
int RunThisTestInNewProcess(const std::string& filter) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv(kFreshChild, "1", 1);
        const std::string arg = "--gtest_filter=" + filter;
        execl("/proc/self/exe", "settings-child", arg.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CAppSettingsProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KETRA_REGISTRY", m_path.c_str(), 1);
        CAppSettings::PackageName = L"Halden";
    }
    void TearDown() override { unsetenv("KETRA_REGISTRY"); }

    std::string FileText() const {
        std::string bytes;
        ReadFile(m_path, &bytes, nullptr);
        return bytes;
    }

    TempDir m_dir;
    std::string m_path = m_dir.File("registry.reg");
    RecordingShell m_shell;
};

} // namespace

TEST_F(CAppSettingsProcessTest, MembersBeforeTheFirstLoad) {
    if (!std::getenv(kFreshChild)) {
        EXPECT_EQ(RunThisTestInNewProcess("CAppSettingsProcessTest.MembersBeforeTheFirstLoad"), 0);
        return;
    }
    // Two members start with a value other than their default.
    EXPECT_EQ(CAppSettings::InitialOperator, L"HCameraOrbitEx");
    EXPECT_EQ(CAppSettings::DefaultInitialOperator, L"HOpCameraZoomBoxEx");
    EXPECT_EQ(CAppSettings::DF_ModelKeyOutputFileName, L"c:\\DWGModelKey.hmf");
    EXPECT_EQ(CAppSettings::PackageName, L"Halden");
    EXPECT_EQ(CAppSettings::SettingsKeyPath(), L"Software\\Velmora\\Halden\\5.30\\Options");
    EXPECT_EQ(CAppSettings::WalkAvatarHeight, 200);
    // A saved-only value changed before the first load is saved even though the store
    // already holds one.
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, CAppSettings::SettingsKeyPath().c_str(), 0,
                                 nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetDword(key, L"Avatar Height", 200);
        RegCloseKey(key);
    }
    CAppSettings::WalkAvatarHeight = 345;
    CAppSettings::InitSettings();
    EXPECT_EQ(CAppSettings::InitialOperator, L"HOpCameraZoomBoxEx");
    EXPECT_EQ(CAppSettings::DF_ModelKeyOutputFileName, L"c:\\DWGModelKey.HMF");
    EXPECT_EQ(CAppSettings::WalkAvatarHeight, 345) << "saved, never loaded";
    CAppSettings::SaveSettings();
    EXPECT_NE(FileText().find("\"Avatar Height\"=dword:00000159\n"), std::string::npos);
}

// Two programs, each changing its own value and saving fifty times while the other does the
// same: neither change may be lost, at any moment.
TEST_F(CAppSettingsProcessTest, TwoProgramsSavingAtOnceKeepBothChanges) {
    CAppSettings::InitSettings();
    CAppSettings::SaveSettings();
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    auto program = [&](std::uint32_t* member, const wchar_t* name) -> pid_t {
        const pid_t pid = fork();
        if (pid != 0)
            return pid;
        close(gate[1]);
        CAppSettings::InitSettings();
        char byte;
        [[maybe_unused]] const auto ignored = read(gate[0], &byte, 1); // both start together
        HKEY key = nullptr;
        RegOpenKeyEx(HKEY_CURRENT_USER, CAppSettings::SettingsKeyPath().c_str(), 0, KEY_READ,
                     &key);
        for (std::uint32_t i = 1; i <= 50; ++i) {
            *member = 0x1000 + i;
            CAppSettings::SaveSettings();
            DWORD stored = 0;
            if (RegQueryDword(key, name, &stored) != ERROR_SUCCESS || stored != 0x1000 + i)
                _exit(10);
        }
        _exit(0);
    };
    const pid_t a = program(&CAppSettings::PipeColor, L"Pipe Color");
    const pid_t b = program(&CAppSettings::SteelColor, L"Steel Color");
    close(gate[0]);
    close(gate[1]);
    for (pid_t pid : {a, b}) {
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "a program saw its own change undone";
    }
    CAppSettings::InitSettings();
    EXPECT_EQ(CAppSettings::PipeColor, 0x1000u + 50);
    EXPECT_EQ(CAppSettings::SteelColor, 0x1000u + 50);
}

// A program killed after writing its temporary but before renaming it leaves the previous
// settings intact and loadable.
TEST_F(CAppSettingsProcessTest, KilledDuringSaveLeavesTheOldFile) {
    CAppSettings::InitSettings();
    CAppSettings::PipeColor = 0x010203;
    CAppSettings::SaveSettings();
    const std::string before = FileText();
    const pid_t pid = fork();
    if (pid == 0) {
        CAppSettings::PipeColor = 0x0A0B0C;
        test_hooks::SetBeforeRenameHook([](const std::string&) { raise(SIGKILL); });
        CAppSettings::SaveSettings();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(FileText(), before);
    CAppSettings::PipeColor = 0;
    CAppSettings::InitSettings();
    EXPECT_EQ(CAppSettings::PipeColor, 0x010203u);
    CAppSettings::SteelColor = 0x111111;
    CAppSettings::SaveSettings(); // and the store carries on
    CAppSettings::InitSettings();
    EXPECT_EQ(CAppSettings::SteelColor, 0x111111u);
    EXPECT_TRUE(m_shell.messages.empty());
}

// A lock file another user left behind (say after running the program with sudo) is locked
// read-only and the settings are saved; when the lock cannot be had at all, the user is told
// that nothing was saved.
TEST_F(CAppSettingsProcessTest, SavingWithAnotherUsersLockFile) {
    CAppSettings::InitSettings();
    CAppSettings::PipeColor = 0x010203;
    CAppSettings::SaveSettings();
    const std::string lockPath = FileLock::LockPathFor(m_path);
    ASSERT_EQ(chmod(m_dir.Path().c_str(), 0777), 0);
    ASSERT_EQ(chmod(m_path.c_str(), 0666), 0);
    ASSERT_EQ(chmod(lockPath.c_str(), 0444), 0);
    EXPECT_EQ(ketra::test::RunAsAnotherUser([&] {
                  CAppSettings::PipeColor = 0x0A0B0C;
                  CAppSettings::SaveSettings();
                  return m_shell.messages.empty() ? 0 : 1;
              }),
              0);
    CAppSettings::InitSettings();
    EXPECT_EQ(CAppSettings::PipeColor, 0x0A0B0Cu);

    ASSERT_EQ(chmod(lockPath.c_str(), 0), 0);
    const std::string before = FileText();
    EXPECT_EQ(ketra::test::RunAsAnotherUser([&] {
                  CAppSettings::PipeColor = 0x0D0E0F;
                  CAppSettings::SaveSettings();
                  CAppSettings::SaveSettings(); // reported once
                  if (m_shell.messages.size() != 1)
                      return 1;
                  return m_shell.messages[0].find("cannot be saved") != std::string::npos ? 0 : 2;
              }),
              0);
    EXPECT_EQ(FileText(), before);
}
