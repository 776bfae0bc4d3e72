// The option pages against a temporary plot-properties file and a temporary settings store:
// settings start at their defaults and are loaded back to defaults afterwards, message boxes
// and beeps are captured, and no display driver renders.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "platform/sys/Shell.h"
#include "platform/sys/TextEncoding.h"
#include "platform/window/RecordingPort.h"

namespace pagestest {

namespace fs = std::filesystem;

class CapturingShell : public ketra::sys::Shell {
public:
    Answer MessageBox(const std::string& text, const std::string&, Icon, Buttons) override {
        messages.push_back(text);
        return Answer::Ok;
    }
    void Beep() override { ++beeps; }
    std::vector<std::string> messages;
    int beeps = 0;
};

inline std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The colour channels of a colour text ("r=1 g=0 b=0", "R=1.0 G=...") as a colour value.
inline unsigned long ColorValue(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto channel = [&](const char* token) {
        return static_cast<unsigned long>(HOpConfig::NumberAfter(text, token) * 255.0 + 0.5);
    };
    return channel("r=") | (channel("g=") << 8) | (channel("b=") << 16);
}

// One colour channel of a segment as a colour value.
inline unsigned long SegmentColor(const char* segment, const char* channel) {
    char value[4096] = "";
    HC_Open_Segment(segment);
    HC_Show_One_Color(channel, value);
    HC_Close_Segment();
    return ColorValue(value);
}

// An attribute of an entry of the file ("" when missing).
inline std::string FileValue(const fs::path& file, const std::string& section,
                             const std::string& name, const std::string& attribute) {
    const std::string text = ReadAll(file);
    const std::string open = "<" + section + " name=\"" + name + "\"";
    const size_t at = text.find(open);
    if (at == std::string::npos)
        return "";
    const size_t end = text.find('>', at);
    const std::string element = text.substr(at, end - at);
    const std::string key = " " + attribute + "=\"";
    const size_t v = element.find(key);
    if (v == std::string::npos)
        return "";
    const size_t start = v + key.size();
    return element.substr(start, element.find('"', start) - start);
}

class PagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        HBaseView::SetAutoInstallDisplayDriver(false);
        char pattern[] = "/tmp/ketra-pages-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        file = dir / "plot.xml";
        if (const char* previous = std::getenv("KETRA_REGISTRY"))
            savedRegistry = previous;
        ::setenv("KETRA_REGISTRY", (dir / "registry.reg").c_str(), 1);
        ketra::sys::SetShell(&shell);
        savedPackage = CAppSettings::PackageName;
        savedVersion = CAppSettings::Version;
        CAppSettings::PackageName = L"Halden";
        CAppSettings::InitSettings();
    }
    void TearDown() override {
        m_current.reset();
        CAppSettings::PackageName = L"Halden";
        CAppSettings::InitSettings();
        CAppSettings::PackageName = savedPackage;
        CAppSettings::Version = savedVersion;
        ketra::sys::SetShell(nullptr);
        if (savedRegistry.empty())
            ::unsetenv("KETRA_REGISTRY");
        else
            ::setenv("KETRA_REGISTRY", savedRegistry.c_str(), 1);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // A configuration of `type` on the temporary file (created when missing).
    HOpConfig& Open(int type) {
        m_current = std::make_unique<HOpConfig>();
        m_current->SetConfigType(type);
        if (type == HOpConfig::ConfigMarlow)
            CAppSettings::InitSettings();
        const std::wstring wide = ketra::sys::FromUtf8(file.string());
        m_current->SetConfigFile(wide.c_str());
        return *m_current;
    }

    fs::path dir;
    fs::path file;
    CapturingShell shell;
    ketra::window::RecordingPort port;
    std::unique_ptr<HOpConfig> m_current;
    std::string savedRegistry;
    std::wstring savedPackage, savedVersion;
};

} // namespace pagestest
