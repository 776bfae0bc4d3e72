// The plot-properties file on disk: creation, rewrites, caching, external edits, broken
// files, concurrent writers and the reset.
#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "platform/sys/AnotherUser.h"
#include "platform/sys/AtomicFile.h"
#include "platform/sys/Shell.h"
#include "platform/sys/TextEncoding.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class RecordingShell : public ketra::sys::Shell {
public:
    Answer MessageBox(const std::string& text, const std::string&, Icon, Buttons) override {
        messages.push_back(text);
        return Answer::Ok;
    }
    void Beep() override { ++beeps; }
    std::vector<std::string> messages;
    int beeps = 0;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Moves the file's time into the past so the cache may trust it.
void Age(const fs::path& path) {
    struct timespec times[2] = {};
    times[0].tv_sec = times[1].tv_sec = ::time(nullptr) - 60;
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

const std::string kStars(68, '*');
const std::string kNewFile =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!--" +
    kStars + "-->\n<!--" + kStars +
    "-->\n"
    "<!--******                                                         *****-->\n"
    "<!--******           Created by the VELM Graphics Engine           *****-->\n"
    "<!--******                                                         *****-->\n"
    "<!--" +
    kStars + "-->\n<!--" + kStars +
    "-->\n"
    "<PlotProperties />\n";

class HOpConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ketra-config-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_file = m_dir / "plot.xml";
        ::setenv("KETRA_REGISTRY", (m_dir / "registry.reg").c_str(), 1);
        ketra::sys::SetShell(&m_shell);
        m_savedColors = CAppSettings::UseSystemColorInfo;
        m_savedFonts = CAppSettings::UseSystemFontInfo;
        CAppSettings::UseSystemColorInfo = 1;
        CAppSettings::UseSystemFontInfo = 1;
    }
    void TearDown() override {
        CAppSettings::UseSystemColorInfo = m_savedColors;
        CAppSettings::UseSystemFontInfo = m_savedFonts;
        ketra::sys::SetShell(nullptr);
        std::error_code ec;
        fs::permissions(m_dir, fs::perms::owner_all, ec);
        fs::remove_all(m_dir, ec);
    }
    std::wstring File() const { return ketra::sys::FromUtf8(m_file.string()); }

    fs::path m_dir;
    fs::path m_file;
    RecordingShell m_shell;
    decltype(CAppSettings::UseSystemColorInfo) m_savedColors{};
    decltype(CAppSettings::UseSystemFontInfo) m_savedFonts{};
};

TEST_F(HOpConfigFileTest, NewFileHasDeclarationBannerAndRootAndKeepsThemOnRewrite) {
    HOpConfig config;
    config.SetConfigFile(File().c_str());
    EXPECT_EQ(ReadAll(m_file), kNewFile);

    config.SetPipeColor(0x0000FF, false);
    config.SetLastOperator("pan");
    const std::string text = ReadAll(m_file);
    EXPECT_EQ(text.substr(0, kNewFile.size() - 19), kNewFile.substr(0, kNewFile.size() - 19));
    EXPECT_NE(text.find("<PlotProperties>"), std::string::npos);
    EXPECT_TRUE(m_shell.messages.empty());
}

TEST_F(HOpConfigFileTest, ZeroLengthFileIsReplacedButExistingFileIsKept) {
    WriteAll(m_file, "");
    HOpConfig config;
    config.SetConfigFile(File().c_str());
    EXPECT_EQ(ReadAll(m_file), kNewFile);

    const std::string mine = "<?xml version=\"1.0\"?>\n<PlotProperties>\n"
                             "\t<UserSettings name=\"View\" Mode=\"XZ\" />\n</PlotProperties>\n";
    WriteAll(m_file, mine);
    HOpConfig other;
    other.SetConfigFile(File().c_str());
    EXPECT_EQ(ReadAll(m_file), mine);
    EXPECT_EQ(other.GetLastViewMode(), 3);
}

TEST_F(HOpConfigFileTest, NothingIsReadOrWrittenBeforeAFileIsSet) {
    HOpConfig config(File().c_str());
    config.SetPipeColor(0x123456, true);
    config.SetLastViewMode(3);
    EXPECT_EQ(config.GetLastViewMode(), 7);
    EXPECT_FALSE(fs::exists(m_file));
    EXPECT_EQ(config.GetParseCount(), 0u);
    EXPECT_EQ(std::wstring(config.GetConfigFile()), File());
}

TEST_F(HOpConfigFileTest, ReadingAMissingValueRecordsTheDefaultInFirstUseOrder) {
    CAppSettings::UseSystemColorInfo = 0;
    HOpConfig config;
    config.SetConfigType(HOpConfig::ConfigDefault);
    config.SetConfigFile(File().c_str());
    config.GetPipeColor();
    config.GetBendColor();
    config.GetLastOperator();

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(m_file.c_str()));
    std::vector<std::string> seen;
    for (pugi::xml_node entry : doc.child("PlotProperties").children()) {
        std::string line = std::string(entry.name()) + ":";
        for (pugi::xml_attribute a : entry.attributes())
            line += std::string(" ") + a.name() + "=" + a.value();
        seen.push_back(line);
    }
    const std::string blue = "r=0.000000 g=0.000000 b=1.000000";
    const std::vector<std::string> expected = {
        "Element: name=GenericPipe DiffuseColor=" + blue + " LineColor=" + blue +
            " EdgeColor=" + blue + " SpecularColor=white Transmission=black",
        "Element: name=GenericBend DiffuseColor=" + blue + " LineColor=" + blue +
            " EdgeColor=" + blue + " SpecularColor=white Transmission=black",
        "UserSettings: name=Operator OperatorName=orbit"};
    EXPECT_EQ(seen, expected);
}

TEST_F(HOpConfigFileTest, ExternalEditsAreSeenOnTheNextAccessEvenWithTheSameSize) {
    CAppSettings::UseSystemColorInfo = 0;
    HOpConfig config;
    config.SetConfigFile(File().c_str());
    config.SetDimensionsColor(0x0000FF);
    EXPECT_STREQ(config.GetDimensionsColor(), "r=1.000000 g=0.000000 b=0.000000");

    // Another program rewrites the value in place, same length, immediately.
    std::string text = ReadAll(m_file);
    const size_t at = text.find("r=1.000000 g=0.000000");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 21, "r=0.000000 g=1.000000");
    {
        std::fstream inPlace(m_file, std::ios::in | std::ios::out | std::ios::binary);
        inPlace << text;
    }
    EXPECT_STREQ(config.GetDimensionsColor(), "r=0.000000 g=1.000000 b=0.000000");

    // A second instance's write is seen too.
    HOpConfig other;
    other.SetConfigFile(File().c_str());
    other.SetDimensionsColor(0xFF0000);
    EXPECT_STREQ(config.GetDimensionsColor(), "r=0.000000 g=0.000000 b=1.000000");
}

// Past the re-read window only the file's identity tells the cache that another program
// replaced the file with one of the same size and time.
TEST_F(HOpConfigFileTest, FileReplacedAfterTheRereadWindowIsReadAgain) {
    CAppSettings::UseSystemColorInfo = 0;
    HOpConfig config;
    config.SetConfigFile(File().c_str());
    config.SetDimensionsColor(0x0000FF);
    Age(m_file);
    EXPECT_STREQ(config.GetDimensionsColor(), "r=1.000000 g=0.000000 b=0.000000");
    struct stat before {};
    ASSERT_EQ(::stat(m_file.c_str(), &before), 0);

    HOpConfig other;
    other.SetConfigFile(File().c_str());
    other.SetDimensionsColor(0xFF0000);
    Age(m_file);
    struct stat after {};
    ASSERT_EQ(::stat(m_file.c_str(), &after), 0);
    ASSERT_NE(after.st_ino, before.st_ino);
    ASSERT_EQ(after.st_size, before.st_size);
    ASSERT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_STREQ(config.GetDimensionsColor(), "r=0.000000 g=0.000000 b=1.000000");
}

TEST_F(HOpConfigFileTest, UnchangedFileIsParsedOnce) {
    CAppSettings::UseSystemColorInfo = 0;
    HOpConfig config;
    config.SetConfigType(HOpConfig::ConfigDefault);
    config.SetConfigFile(File().c_str());
    const std::string first = config.GetPipeColor(); // creates the entry
    Age(m_file);
    const auto before = config.GetParseCount();
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(config.GetPipeColor(), first);
    EXPECT_LE(config.GetParseCount(), before + 1);
}

TEST_F(HOpConfigFileTest, MalformedFileIsNeverRewrittenAndReportedOnce) {
    const std::string broken =
        "<?xml version=\"1.0\"?>\n<PlotProperties>\n<Element name=\"GenericPipe\" Diffuse";
    WriteAll(m_file, broken);
    CAppSettings::UseSystemColorInfo = 0;
    HOpConfig config;
    config.SetConfigType(HOpConfig::ConfigDefault);
    config.SetConfigFile(File().c_str());
    const std::string blue = "r=0.000000 g=0.000000 b=1.000000";
    EXPECT_EQ(std::string(config.GetPipeColor()),
              "faces=(diffuse=" + blue + ",specular=white,transmission=black),lines=" + blue +
                  ",edges=" + blue);
    config.SetPipeColor(0x00FF00, true);
    config.SetLastViewMode(2);
    config.GetLastViewMode();
    config.ResetAll();
    EXPECT_EQ(ReadAll(m_file), broken);
    ASSERT_FALSE(m_shell.messages.empty());
    EXPECT_NE(m_shell.messages.front().find(m_file.string()), std::string::npos);
    EXPECT_NE(m_shell.messages.front().find("line 3"), std::string::npos);
    // One report for reading, one for refused writes, one for the reset: not one per call.
    EXPECT_EQ(m_shell.messages.size(), 3u);
}

TEST_F(HOpConfigFileTest, FileWithoutRootGivesDefaultsAndRefusesWrites) {
    const std::string other = "<?xml version=\"1.0\"?>\n<Settings><a/></Settings>\n";
    WriteAll(m_file, other);
    HOpConfig config;
    config.SetConfigFile(File().c_str());
    EXPECT_STREQ(config.GetLastOperator(), "orbit");
    config.SetLastOperator("pan");
    EXPECT_STREQ(config.GetLastOperator(), "orbit");
    EXPECT_EQ(ReadAll(m_file), other);
    EXPECT_EQ(m_shell.messages.size(), 1u);
}

TEST_F(HOpConfigFileTest, PathThatIsNotAFileIsLeftAlone) {
    const fs::path folder = m_dir / "folder.xml";
    fs::create_directory(folder);
    HOpConfig config;
    config.SetConfigFile(ketra::sys::FromUtf8(folder.string()).c_str());
    EXPECT_STREQ(config.GetMarkerSymbol(), "(.)");
    config.SetDisplacedLinePattern("----");
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_FALSE(m_shell.messages.empty());
}

TEST_F(HOpConfigFileTest, QuotesAndAngleBracketsRoundTrip) {
    HOpConfig config;
    config.SetConfigFile(File().c_str());
    const std::string name = "C:\\plant's \"main\" <unit & 2>.dwg";
    config.SetSavedDraftonFileName(name.c_str(), -42);
    config.SetLastOperator("it's \"x\" ]<>");
    EXPECT_EQ(config.GetSavedDraftonFileName(), name);
    EXPECT_STREQ(config.GetLastOperator(), "it's \"x\" ]<>");
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(m_file.c_str()));
    EXPECT_STREQ(doc.child("PlotProperties")
                     .find_child_by_attribute("DraftonModel", "name", "ModelInfo")
                     .attribute("CRCValue")
                     .value(),
                 "-42");

    // A hand-written entry whose name holds quotes does not disturb the lookups.
    WriteAll(m_file, "<PlotProperties>\n<UserSettings name=\"it's &quot;odd&quot;\" Mode=\"XY\"/>\n"
                     "<UserSettings name=\"View\" Mode=\"ZY\"/>\n</PlotProperties>\n");
    EXPECT_EQ(config.GetLastViewMode(), 6);
}

TEST_F(HOpConfigFileTest, ResetAllRemovesElementStylesInOneWriteAndBeeps) {
    CAppSettings::UseSystemColorInfo = 0;
    HOpConfig config;
    config.SetConfigFile(File().c_str());
    config.SetPipeColor(0x00FF00, false);
    config.SetBackgroundColor(0x111111);
    config.SetStressLevel2(0x0000FF, 120.0f);
    config.SetRestraintSize(4);
    config.SetHeightScaleColor(0x00FF00);
    config.SetLastViewMode(4);
    config.SetDisplacedLinePattern("-.-.");
    config.GetCylinderColor(); // settings only: no entry
    config.SetDescriptionColor(0x0000FF);

    config.ResetAll();
    EXPECT_EQ(m_shell.beeps, 1);

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(m_file.c_str()));
    std::vector<std::string> names;
    for (pugi::xml_node entry : doc.child("PlotProperties").children())
        names.push_back(std::string(entry.name()) + "/" + entry.attribute("name").value());
    const std::vector<std::string> expected = {"Element/StressLevel 2", "Element/Restraint",
                                               "Element/HeightScale", "UserSettings/View"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(config.GetRestraintSize(), 4);
    EXPECT_STREQ(config.GetDisplacedLinePattern(), "....");
}

TEST_F(HOpConfigFileTest, ResetAllForThePressureVesselHostLeavesTheFileAlone) {
    HOpConfig config;
    config.SetConfigFile(File().c_str());
    config.SetPipeColor(0x00FF00, true);
    const std::string before = ReadAll(m_file);
    const auto packageName = CAppSettings::PackageName;
    const auto version = CAppSettings::Version;
    const auto cylinder = CAppSettings::MRL_CylinderColor;
    config.SetConfigType(HOpConfig::ConfigMarlow);
    EXPECT_EQ(CAppSettings::PackageName, std::wstring(L"Marlow"));
    EXPECT_EQ(CAppSettings::Version, std::wstring(L"2009"));
    CAppSettings::SaveSettings(); // the product key must exist for a reset
    config.SetCylinderColor(0x123456);
    config.ResetAll();
    EXPECT_EQ(ReadAll(m_file), before);
    EXPECT_EQ(CAppSettings::MRL_CylinderColor, CAppSettings::MRL_DefaultCylinderColor);
    EXPECT_EQ(m_shell.beeps, 0);
    CAppSettings::PackageName = packageName;
    CAppSettings::Version = version;
    CAppSettings::MRL_CylinderColor = cylinder;
}

// A file an administrator made read-only is read, never rewritten: not by the defaults that
// reads record, and a change is refused with a report.
TEST_F(HOpConfigFileTest, ReadOnlyFileIsNeverRewritten) {
    HOpConfig config;
    config.SetConfigFile(File().c_str());
    config.SetPipeColor(0x0000FF, false);
    ASSERT_EQ(::chmod(m_file.c_str(), 0444), 0);
    const std::string text = ReadAll(m_file);
    struct stat before {};
    ASSERT_EQ(::stat(m_file.c_str(), &before), 0);

    HOpConfig reader;
    reader.SetConfigFile(File().c_str());
    reader.GetRestorePreviousView(); // missing: its default would be recorded
    EXPECT_NE(reader.GetPipeColor(), nullptr);
    struct stat after {};
    ASSERT_EQ(::stat(m_file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadAll(m_file), text);
    EXPECT_TRUE(m_shell.messages.empty());

    reader.SetPipeColor(0x00FF00, false);
    EXPECT_EQ(ReadAll(m_file), text);
    ASSERT_EQ(m_shell.messages.size(), 1u);
    EXPECT_NE(m_shell.messages[0].find("Permission denied"), std::string::npos) << m_shell.messages[0];
}

// Without the file's lock another program's change could be undone: such writes are refused
// and reported. A lock file that is only readable still serves.
TEST_F(HOpConfigFileTest, WritesNeedTheLock) {
    HOpConfig config;
    config.SetConfigFile(File().c_str());
    config.SetPipeColor(0x0000FF, false);
    const std::string lockPath = ketra::sys::FileLock::LockPathFor(m_file.string());
    ASSERT_EQ(::chmod(m_dir.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(m_file.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(lockPath.c_str(), 0444), 0);
    const std::string before = ReadAll(m_file);
    EXPECT_EQ(ketra::test::RunAsAnotherUser([&] {
                  HOpConfig other;
                  other.SetConfigFile(File().c_str());
                  other.SetPipeColor(0x00FF00, false);
                  return m_shell.messages.empty() ? 0 : 1;
              }),
              0);
    const std::string written = ReadAll(m_file);
    EXPECT_NE(written, before);

    ASSERT_EQ(::chmod(lockPath.c_str(), 0), 0);
    EXPECT_EQ(ketra::test::RunAsAnotherUser([&] {
                  HOpConfig other;
                  other.SetConfigFile(File().c_str());
                  other.SetPipeColor(0xFF0000, false);
                  if (m_shell.messages.size() != 1)
                      return 1;
                  return m_shell.messages[0].find("cannot be locked") != std::string::npos ? 0 : 2;
              }),
              0);
    EXPECT_EQ(ReadAll(m_file), written);
}

TEST_F(HOpConfigFileTest, TwoProcessesWritingAtOnceLoseNothing) {
    HOpConfig config;
    config.SetConfigFile(File().c_str());
    auto writer = [&](int which) {
        HOpConfig mine;
        mine.SetConfigFile(File().c_str());
        for (int i = 1; i <= 50; ++i) {
            const float value = static_cast<float>(i);
            if (which == 0)
                mine.SetLastCameraFieldWidth(&value);
            else
                mine.SetLastCameraFieldHeight(&value);
            // Readers that add missing entries write too.
            (which == 0 ? mine.GetRestorePreviousView() : mine.GetOrbitBoundingBoxVisibility());
            if (which == 0)
                mine.SetStressLevel1(static_cast<unsigned long>(i), value);
            else
                mine.SetStressLevel3(static_cast<unsigned long>(i), value);
        }
        std::_Exit(0);
    };
    const pid_t first = ::fork();
    if (first == 0)
        writer(0);
    const pid_t second = ::fork();
    if (second == 0)
        writer(1);
    int status = 0;
    ASSERT_EQ(::waitpid(first, &status, 0), first);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(::waitpid(second, &status, 0), second);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_FLOAT_EQ(config.GetLastCameraFieldWidth(), 50.0f);
    EXPECT_FLOAT_EQ(config.GetLastCameraFieldHeight(), 50.0f);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(m_file.c_str()));
    pugi::xml_node root = doc.child("PlotProperties");
    EXPECT_TRUE(root.find_child_by_attribute("UserSettings", "name", "InputView"));
    EXPECT_TRUE(root.find_child_by_attribute("UserSettings", "name", "OrbitCamera"));
    EXPECT_STREQ(
        root.find_child_by_attribute("Element", "name", "StressLevel 1").attribute("Level").value(),
        "50.000000");
    EXPECT_STREQ(
        root.find_child_by_attribute("Element", "name", "StressLevel 3").attribute("Level").value(),
        "50.000000");
    EXPECT_TRUE(m_shell.messages.empty());
}

TEST_F(HOpConfigFileTest, DetermineConfigFileNamePrefersTheSystemFileAndCopiesTheBundledOne) {
    const fs::path system = m_dir / "system-dir";
    fs::create_directory(system);
    ::setenv("KETRA_SYSTEM_DIR", system.c_str(), 1);
    HOpConfig config;

    const fs::path bundledDir = fs::path(ketra::sys::ToUtf8(HOpConfig::GetDirectory())) / "system";
    const bool hadBundled = fs::exists(bundledDir / "Mrl3DColors.xml");
    if (!hadBundled) {
        config.DetermineConfigFileName();
        EXPECT_STREQ(config.GetConfigFile(), L"");
        fs::create_directories(bundledDir);
        WriteAll(bundledDir / "Mrl3DColors.xml", kNewFile);
        config.DetermineConfigFileName();
        fs::remove(bundledDir / "Mrl3DColors.xml");
        std::error_code ec;
        fs::remove(bundledDir, ec); // only when empty
        const std::wstring copied = ketra::sys::FromUtf8((system / "Mrl3DColors.xml").string());
        EXPECT_EQ(std::wstring(config.GetConfigFile()), copied);
        EXPECT_EQ(ReadAll(system / "Mrl3DColors.xml"), kNewFile);
    }

    WriteAll(system / "Mrl3DColors.xml", "<PlotProperties/>");
    HOpConfig other;
    other.DetermineConfigFileName();
    EXPECT_EQ(ketra::sys::ToUtf8(other.GetConfigFile()), (system / "Mrl3DColors.xml").string());
    ::unsetenv("KETRA_SYSTEM_DIR");
}

TEST_F(HOpConfigFileTest, CopiesReadTheSameFile) {
    HOpConfig config;
    config.SetConfigFile(File().c_str());
    config.SetLastOperator("zoom");
    HOpConfig copy(config);
    EXPECT_STREQ(copy.GetLastOperator(), "zoom");
    HOpConfig assigned;
    assigned = config;
    assigned.SetLastOperator("walk");
    EXPECT_STREQ(config.GetLastOperator(), "walk");
}

} // namespace

TEST_F(HOpConfigFileTest, ReadOnlyScopeGivesDefaultsWithoutRecordingThem) {
    HOpConfig config;
    config.SetConfigFile(File().c_str());
    {
        HOpConfig::ReadOnly outer(config);
        {
            HOpConfig::ReadOnly inner(config);
            EXPECT_EQ(std::string(config.GetLastOperator()), "orbit");
        }
        EXPECT_EQ(config.GetLastViewMode(), 7);
        EXPECT_EQ(ReadAll(m_file), kNewFile);
        // Setters still write inside the scope.
        config.SetRestorePreviousView(false);
        EXPECT_NE(ReadAll(m_file), kNewFile);
        EXPECT_FALSE(config.GetRestorePreviousView());
    }
    const std::string before = ReadAll(m_file);
    EXPECT_EQ(std::string(config.GetLastOperator()), "orbit");
    EXPECT_NE(ReadAll(m_file), before) << "outside the scope a read records its default";
}
