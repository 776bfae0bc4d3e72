// User files under SIGKILL: a child process saves the settings store, the plot-properties
// file, a scene file and a picture over and over, and is killed at random moments. After
// every kill each file must be its complete previous or complete next version: never torn,
// never missing, and no temporary the writer left behind may be read in its place.
#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "platform/hc/hc.h"
#include "platform/io/ImageWriters.h"
#include "platform/sys/TextEncoding.h"

#include "platform/sys/RecordingShell.h"
#include "platform/sys/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kKills = 30;

// Consecutive versions differ in every file: a value in each carries the
// number, the picture's width carries it modulo 97.
int PictureWidth(int version) { return 32 + version % 97; }

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class KillDuringSave : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KETRA_REGISTRY", m_registry.c_str(), 1);
        CAppSettings::PackageName = L"Halden";
        // A scene of some size, so that writing it takes a while.
        HC_Open_Segment(kScene);
        std::vector<float> points;
        std::vector<int> faces;
        for (int i = 0; i < 3000; ++i) {
            points.insert(points.end(), {static_cast<float>(i), static_cast<float>(i % 7), 0.5f * static_cast<float>(i % 13)});
            if (i >= 2)
                faces.insert(faces.end(), {3, i - 2, i - 1, i});
        }
        HC_Insert_Shell(3000, points.data(), static_cast<int>(faces.size()), faces.data());
        HC_Close_Segment();
    }
    void TearDown() override {
        HC_Delete_Segment(kScene);
        unsetenv("KETRA_REGISTRY");
    }

    // The child: saves versions first, first + 1, ... (or only `first` when `once`), telling
    // the parent through `report` after each version is complete in all four files.
    [[noreturn]] void Writer(int first, bool once, int report) {
        HOpConfig config;
        config.SetConfigFile(ketra::sys::FromUtf8(m_plot).c_str());
        std::mt19937 noise(static_cast<unsigned>(first));
        for (int version = first;; ++version) {
            CAppSettings::PipeColor = static_cast<std::uint32_t>(version);
            CAppSettings::SaveSettings();
            const float field = static_cast<float>(version);
            config.SetLastCameraFieldWidth(&field);
            HC_Open_Segment(kScene);
            HC_Set_User_Options(("version=" + std::to_string(version)).c_str());
            HC_Close_Segment();
            HC_Write_Metafile(kScene, m_scene.c_str(), "");
            ketra::render::Image image;
            image.width = PictureWidth(version);
            image.height = 200;
            image.rgba.resize(static_cast<std::size_t>(image.width * image.height * 4));
            for (auto& byte : image.rgba)
                byte = static_cast<std::uint8_t>(noise()); // incompressible, so the write takes time
            if (ketra::io::WriteImage(image, m_picture, ketra::io::ImageFormat::Png, {}) != ketra::io::WriteStatus::Ok)
                _exit(3);
            if (write(report, &version, sizeof version) != sizeof version)
                _exit(4);
            if (once)
                _exit(0);
        }
    }

    // The version each file holds now, or -1 with a failure when it is torn or unreadable.
    int SettingsVersion() {
        const std::size_t before = m_shell.messages.size();
        CAppSettings::PipeColor = 0xFFFFFFFF;
        CAppSettings::InitSettings();
        EXPECT_EQ(m_shell.messages.size(), before) << m_shell.messages.back();
        return static_cast<int>(CAppSettings::PipeColor);
    }
    int PlotVersion() {
        const std::size_t before = m_shell.messages.size();
        HOpConfig config;
        config.SetConfigFile(ketra::sys::FromUtf8(m_plot).c_str());
        const float field = config.GetLastCameraFieldWidth();
        EXPECT_EQ(m_shell.messages.size(), before) << m_shell.messages.back();
        return static_cast<int>(field);
    }
    int SceneVersion() {
        HC_Read_Metafile(m_scene.c_str(), "/kill check", "");
        char value[64] = "";
        HC_Open_Segment("/kill check");
        HC_Show_One_User_Option("version", value);
        HC_Close_Segment();
        HC_Delete_Segment("/kill check");
        int version = -1;
        if (std::sscanf(value, "%d", &version) != 1)
            ADD_FAILURE() << "scene file without its version: \"" << value << "\"";
        return version;
    }
    // The picture's width, when the file is a whole PNG (signature, header, end chunk).
    int PictureWidthNow() {
        const std::string bytes = Slurp(m_picture);
        const std::string signature = "\x89PNG\r\n\x1a\n";
        const std::string end("\0\0\0\0IEND\xae\x42\x60\x82", 12);
        if (bytes.size() < 33 || bytes.compare(0, 8, signature) != 0 ||
            bytes.compare(bytes.size() - 12, 12, end) != 0) {
            ADD_FAILURE() << "the picture is not a whole PNG (" << bytes.size() << " bytes)";
            return -1;
        }
        const auto u = [&](std::size_t i) { return static_cast<int>(static_cast<unsigned char>(bytes[i])); };
        return (u(16) << 24) | (u(17) << 16) | (u(18) << 8) | u(19);
    }

    // Every name in the folder is one of the files, its lock, or a writer's temporary, which
    // is hidden and named so that nothing reads it as the file.
    void ExpectOnlyFilesLocksAndTemporaries() {
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) {
            const std::string name = entry.path().filename().string();
            bool known = false;
            for (const std::string& file : {m_registry, m_plot, m_scene, m_picture}) {
                const std::string base = std::filesystem::path(file).filename().string();
                known = known || name == base || name == base + ".lock" || name.rfind("." + base + ".tmp-", 0) == 0;
            }
            EXPECT_TRUE(known) << name;
        }
    }

    static constexpr const char* kScene = "/kill scene";
    ketra::test::TempDir m_dir;
    ketra::test::RecordingShell m_shell;
    std::string m_registry = m_dir.File("registry.reg");
    std::string m_plot = m_dir.File("plot.xml");
    std::string m_scene = m_dir.File("scene.hmf");
    std::string m_picture = m_dir.File("picture.png");
};

TEST_F(KillDuringSave, EveryFileIsTheWholeOldOrTheWholeNewVersion) {
    std::mt19937 random(std::random_device{}());
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    auto start = [&](int first, bool once) {
        const pid_t pid = fork();
        if (pid == 0) {
            close(report[0]);
            Writer(first, once, report[1]);
        }
        return pid;
    };
    // Version 1 of everything, written whole.
    pid_t pid = start(1, true);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    int reported = 0;
    ASSERT_EQ(read(report[0], &reported, sizeof reported), static_cast<ssize_t>(sizeof reported));

    int held[4] = {1, 1, 1, 1}; // the version each file held before this round
    int killedMidway = 0;
    for (int round = 0; round < kKills; ++round) {
        const int first = *std::max_element(held, held + 4) + 1;
        pid = start(first, false);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 60000)(random)));
        kill(pid, SIGKILL);
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status));
        // What the child finished, read without blocking: the pipe holds whole reports.
        int last = first - 1;
        for (;;) {
            int available = 0;
            ASSERT_EQ(ioctl(report[0], FIONREAD, &available), 0);
            if (available < static_cast<int>(sizeof last))
                break;
            ASSERT_EQ(read(report[0], &last, sizeof last), static_cast<ssize_t>(sizeof last));
        }
        // Files are written in this order: each holds the last finished version or the one
        // after it (a file not yet rewritten in this round holds what it held before).
        const int now[4] = {SettingsVersion(), PlotVersion(), SceneVersion(), PictureWidthNow()};
        for (int f = 0; f < 4; ++f) {
            const int older = last >= first ? last : held[f];
            const bool isOlder = f == 3 ? now[f] == PictureWidth(older) : now[f] == older;
            const bool isNewer = f == 3 ? now[f] == PictureWidth(last + 1) : now[f] == last + 1;
            EXPECT_TRUE(isOlder || isNewer) << "round " << round << ", file " << f << ": holds " << now[f]
                                            << ", expected " << older << " or " << last + 1;
            held[f] = isNewer ? last + 1 : older;
        }
        killedMidway += held[0] != held[3] ? 1 : 0;
        ExpectOnlyFilesLocksAndTemporaries();
        if (HasFailure())
            break;
    }
    close(report[0]);
    close(report[1]);
    RecordProperty("kills", kKills);
    RecordProperty("killedBetweenFiles", killedMidway);
    // The files are still usable: a whole new version saves over whatever the kills left.
    ASSERT_EQ(pipe(report), 0);
    const int next = *std::max_element(held, held + 4) + 1;
    pid = start(next, true);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(SettingsVersion(), next);
    EXPECT_EQ(PlotVersion(), next);
    EXPECT_EQ(SceneVersion(), next);
    EXPECT_EQ(PictureWidthNow(), PictureWidth(next));
    close(report[0]);
    close(report[1]);
}

} // namespace
