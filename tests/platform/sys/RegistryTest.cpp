#include "platform/sys/Registry.h"

#include "platform/sys/AtomicFile.h"
#include "platform/sys/RecordingShell.h"
#include "platform/sys/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ketra::sys;
using ketra::test::RecordingShell;
using ketra::test::TempDir;

namespace {

constexpr const wchar_t* kOptions = L"Software\\Velmora\\Halden\\5.30\\Options";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("KETRA_REGISTRY", m_path.c_str(), 1); }
    void TearDown() override { unsetenv("KETRA_REGISTRY"); }

    std::string FileText() const {
        std::string bytes;
        ReadFile(m_path, &bytes, nullptr);
        return bytes;
    }

    HKEY Create(const wchar_t* path, REGSAM access = KEY_ALL_ACCESS) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, path, 0, nullptr, 0, access, nullptr, &key,
                                 nullptr),
                  ERROR_SUCCESS);
        return key;
    }

    TempDir m_dir;
    std::string m_path = m_dir.File("config/ketra/registry.reg");
    RecordingShell m_shell;
};

} // namespace

TEST_F(RegistryTest, CreatesKeysAndStoresTypedValues) {
    DWORD disposition = 0;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kOptions, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_TRUE(FileExists(m_path)) << "the folder is created on first write";
    ASSERT_EQ(RegSetDword(key, L"Pipe Color", 0xF0CAA6), ERROR_SUCCESS);
    ASSERT_EQ(RegSetString(key, L"Node Font Name", L"Arial Ünicode"), ERROR_SUCCESS);
    const BYTE table[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(RegSetValueEx(key, L"MRU", 0, REG_BINARY, table, 5), ERROR_SUCCESS);
    RegCloseKey(key);

    // Names are case-insensitive: the same key and values under other spellings.
    HKEY again = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, L"SOFTWARE\\velmora\\HALDEN\\5.30\\options", 0,
                             nullptr, 0, KEY_READ, nullptr, &again, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    DWORD number = 0;
    EXPECT_EQ(RegQueryDword(again, L"PIPE COLOR", &number), ERROR_SUCCESS);
    EXPECT_EQ(number, 0xF0CAA6u);
    std::wstring text;
    EXPECT_EQ(RegQueryString(again, L"node font name", &text), ERROR_SUCCESS);
    EXPECT_EQ(text, L"Arial Ünicode");

    DWORD type = 0;
    DWORD size = 2;
    BYTE small[2];
    EXPECT_EQ(RegQueryValueEx(again, L"MRU", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 5u);
    BYTE out[8] = {};
    size = sizeof out;
    EXPECT_EQ(RegQueryValueEx(again, L"MRU", nullptr, &type, out, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(out[4], 5);
    EXPECT_EQ(RegQueryValueEx(again, L"Missing", nullptr, &type, out, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryDword(again, L"Node Font Name", &number), ERROR_UNSUPPORTED_TYPE)
        << "a value of the wrong type is not a dword";
    EXPECT_EQ(RegSetDword(again, L"x", 1), ERROR_ACCESS_DENIED) << "opened for reading";
    RegCloseKey(again);

    EXPECT_NE(FileText().find("\"Pipe Color\"=dword:00f0caa6"), std::string::npos) << FileText();
}

TEST_F(RegistryTest, StringDataIsUtf16WithoutTerminator) {
    HKEY key = Create(kOptions);
    const char16_t text[] = u"Hé";
    ASSERT_EQ(RegSetValueEx(key, L"T", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 6),
              ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(key, L"T", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u) << "the terminator is not stored";
    EXPECT_NE(FileText().find("\"T\"=\"Hé\""), std::string::npos) << "UTF-8 in the file";
    RegCloseKey(key);
}

TEST_F(RegistryTest, OpenEnumerateAndDelete) {
    HKEY options = Create(kOptions);
    HKEY missing = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, L"Software\\Nobody", 0, KEY_READ, &missing),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, L"\\Software", 0, KEY_READ, &missing),
              ERROR_BAD_PATHNAME);
    RegCloseKey(Create(L"Software\\Velmora\\Halden\\5.30\\Options\\b"));
    RegCloseKey(Create(L"Software\\Velmora\\Halden\\5.30\\Options\\A\\deep"));
    RegSetDword(options, L"one", 1);
    RegSetDword(options, L"two", 2);

    wchar_t name[64];
    DWORD nameSize = 64;
    ASSERT_EQ(RegEnumKeyEx(options, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(name), L"A") << "case-insensitive order";
    nameSize = 64;
    EXPECT_EQ(RegEnumKeyEx(options, 2, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    nameSize = 2;
    EXPECT_EQ(RegEnumValue(options, 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    nameSize = 64;
    DWORD type = 0;
    ASSERT_EQ(RegEnumValue(options, 1, name, &nameSize, nullptr, &type, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(name), L"two") << "values in the order they were set";
    DWORD subKeys = 0, values = 0;
    EXPECT_EQ(RegQueryInfoKey(options, &subKeys, &values), ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 2u);
    EXPECT_EQ(values, 2u);

    EXPECT_EQ(RegDeleteKey(options, L"a"), ERROR_ACCESS_DENIED) << "has a subkey";
    EXPECT_EQ(RegDeleteKey(options, L"B"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(options, L"ONE"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(options, L"one"), ERROR_FILE_NOT_FOUND);

    HKEY product = Create(L"Software\\Velmora\\Halden\\5.30");
    EXPECT_EQ(RegDeleteTree(product, L"Options"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTree(product, L"Options"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetDword(options, L"x", 1), ERROR_KEY_DELETED) << "its key was deleted";
    EXPECT_EQ(FileText().find("Options"), std::string::npos) << FileText();

    EXPECT_EQ(RegCloseKey(options), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(options), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetDword(options, L"x", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetDword(reinterpret_cast<HKEY>(std::uintptr_t{12345}), L"x", 1),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetDword(product, L"bad\nname", 1), ERROR_INVALID_PARAMETER);
    RegCloseKey(product);
}

TEST_F(RegistryTest, SeesAnotherWritersChangesAndKeepsThem) {
    HKEY key = Create(kOptions);
    ASSERT_EQ(RegSetDword(key, L"Mine", 1), ERROR_SUCCESS);
    // Another program edits the file (here: by hand, as a user would).
    std::string text = FileText();
    text += "[HKEY_CURRENT_USER\\Software\\Velmora\\Halden\\5.30\\Options]\n\"Theirs\"=dword:2\n";
    ASSERT_TRUE(WriteFileAtomically(m_path, text, nullptr));
    DWORD value = 0;
    EXPECT_EQ(RegQueryDword(key, L"Theirs", &value), ERROR_SUCCESS);
    EXPECT_EQ(value, 2u);
    ASSERT_EQ(RegSetDword(key, L"Mine", 3), ERROR_SUCCESS);
    EXPECT_NE(FileText().find("\"Theirs\"=dword:00000002"), std::string::npos)
        << "a write re-reads the file first";
    RegCloseKey(key);
}

TEST_F(RegistryTest, TransactionsWriteOnceAndDiscardUncommitted) {
    HKEY key = Create(kOptions);
    {
        RegistryTransaction transaction;
        RegSetDword(key, L"a", 1);
        RegSetDword(key, L"b", 2);
        EXPECT_EQ(FileText().find("\"a\""), std::string::npos) << "nothing written before Commit";
        EXPECT_EQ(transaction.Commit(), ERROR_SUCCESS);
    }
    EXPECT_NE(FileText().find("\"b\"=dword:00000002"), std::string::npos);
    {
        RegistryTransaction transaction;
        RegSetDword(key, L"c", 3);
    }
    DWORD value = 0;
    EXPECT_EQ(RegQueryDword(key, L"c", &value), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryTest, UnparsableFileIsNeverOverwrittenAndReportedOnce) {
    ASSERT_TRUE(MakeParentDirectories(m_path, nullptr));
    const std::string broken = "Windows Registry Editor Version 5.00\n\n"
                               "[HKEY_CURRENT_USER\\Software\\Velmora\\Halden\\5.30\\Options]\n"
                               "\"Pipe Color\"=dword:zz\n";
    ASSERT_TRUE(WriteFileAtomically(m_path, broken, nullptr));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kOptions, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
        << "reads see an empty store";
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kOptions, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &key, nullptr),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RegSetDword(HKEY_CURRENT_USER, L"x", 1), ERROR_REGISTRY_CORRUPT);
    std::string error;
    EXPECT_FALSE(RegExportFile(m_dir.File("out.reg"), &error));
    EXPECT_EQ(FileText(), broken);
    ASSERT_EQ(m_shell.messages.size(), 1u);
    EXPECT_NE(m_shell.messages[0].find(m_path + ":4:"), std::string::npos) << m_shell.messages[0];

    // Repairing the file makes the store usable again.
    ASSERT_TRUE(WriteFileAtomically(m_path, "Windows Registry Editor Version 5.00\n", nullptr));
    EXPECT_EQ(RegSetDword(HKEY_CURRENT_USER, L"x", 1), ERROR_SUCCESS);
    EXPECT_EQ(m_shell.messages.size(), 1u);
}

// The message may wait for the user; other programs must not wait for it.
TEST_F(RegistryTest, ReportIsShownAfterTheLockIsReleased) {
    struct LockProbeShell : RecordingShell {
        std::string lockPath;
        bool lockWasFree = false;
        Answer MessageBox(const std::string& text, const std::string& title, Icon icon,
                          Buttons buttons) override {
            const int fd = open(lockPath.c_str(), O_RDWR);
            lockWasFree = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
            if (fd >= 0)
                close(fd);
            return RecordingShell::MessageBox(text, title, icon, buttons);
        }
    } shell;
    shell.lockPath = FileLock::LockPathFor(m_path);
    ASSERT_TRUE(MakeParentDirectories(m_path, nullptr));
    ASSERT_TRUE(WriteFileAtomically(m_path, "garbage\n", nullptr));
    {
        RegistryTransaction transaction;
        EXPECT_EQ(RegSetDword(HKEY_CURRENT_USER, L"x", 1), ERROR_REGISTRY_CORRUPT);
        EXPECT_TRUE(shell.messages.empty());
    }
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_TRUE(shell.lockWasFree);
    EXPECT_NE(shell.messages[0].find(":1: expected the header"), std::string::npos)
        << shell.messages[0];
}

TEST_F(RegistryTest, ImportMergesAndExportCopies) {
    HKEY key = Create(kOptions);
    RegSetDword(key, L"Kept", 1);
    RegSetDword(key, L"Dropped", 1);
    const std::string import = m_dir.File("in.reg");
    ASSERT_TRUE(WriteFileAtomically(
        import,
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Velmora\\Halden\\5.30\\Options]\n"
        "\"Dropped\"=-\n\"New\"=\"text\"\n",
        nullptr));
    std::string error;
    ASSERT_TRUE(RegImportFile(import, &error)) << error;
    DWORD value = 0;
    EXPECT_EQ(RegQueryDword(key, L"Kept", &value), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryDword(key, L"Dropped", &value), ERROR_FILE_NOT_FOUND);
    std::wstring text;
    EXPECT_EQ(RegQueryString(key, L"New", &text), ERROR_SUCCESS);

    const std::string bad = m_dir.File("bad.reg");
    ASSERT_TRUE(WriteFileAtomically(bad, "Windows Registry Editor Version 5.00\n\n"
                                         "[HKEY_CURRENT_USER\\Software]\n\"Kept\"=-\nnonsense\n",
                                    nullptr));
    const std::string before = FileText();
    EXPECT_FALSE(RegImportFile(bad, &error));
    EXPECT_NE(error.find("bad.reg:5:"), std::string::npos) << error;
    EXPECT_EQ(FileText(), before) << "a failed import changes nothing";

    const std::string exported = m_dir.File("out.reg");
    ASSERT_TRUE(RegExportFile(exported, &error)) << error;
    std::string bytes;
    ASSERT_TRUE(ReadFile(exported, &bytes, nullptr));
    EXPECT_EQ(bytes, FileText());
    RegCloseKey(key);
}

// Two processes each write their own fifty values at the same time; none may be lost.
TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    HKEY key = Create(kOptions);
    RegCloseKey(key);
    auto writer = [&](const wchar_t* prefix) {
        HKEY k = Create(kOptions);
        for (int i = 0; i < 50; ++i) {
            const std::wstring name = prefix + std::to_wstring(i);
            if (RegSetDword(k, name.c_str(), static_cast<DWORD>(i)) != ERROR_SUCCESS)
                _exit(3);
        }
        RegCloseKey(k);
    };
    const pid_t child = fork();
    if (child == 0) {
        writer(L"child ");
        _exit(0);
    }
    writer(L"parent ");
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    key = Create(kOptions);
    DWORD values = 0;
    EXPECT_EQ(RegQueryInfoKey(key, nullptr, &values), ERROR_SUCCESS);
    EXPECT_EQ(values, 100u);
    RegCloseKey(key);
}

TEST(RegistryPath, FollowsTheEnvironment) {
    const char* saved = std::getenv("KETRA_REGISTRY");
    const std::string keep = saved ? saved : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("KETRA_REGISTRY", "/tmp/explicit.reg", 1);
    EXPECT_EQ(RegistryFilePath(), "/tmp/explicit.reg");
    unsetenv("KETRA_REGISTRY");
    setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
    EXPECT_EQ(RegistryFilePath(), "/tmp/xdg/ketra/registry.reg");
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(RegistryFilePath(), "/home/someone/.config/ketra/registry.reg")
        << "a relative XDG_CONFIG_HOME is ignored";
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", home.c_str(), 1);
    if (saved)
        setenv("KETRA_REGISTRY", keep.c_str(), 1);
}
