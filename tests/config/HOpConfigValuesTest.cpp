// Values of the plot-properties accessors: exact strings, defaults by host kind, the
// default colour table, and the mappings of stored texts.
#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "platform/sys/Shell.h"
#include "platform/sys/TextEncoding.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Restores a settings member when the test ends.
template <typename T> class Saved {
public:
    explicit Saved(T& member) : m_member(member), m_value(member) {}
    ~Saved() { m_member = m_value; }
    Saved(const Saved&) = delete;
    Saved& operator=(const Saved&) = delete;

private:
    T& m_member;
    T m_value;
};

const std::string kBlue = "r=0.000000 g=0.000000 b=1.000000";
const std::string kRed = "r=1.000000 g=0.000000 b=0.000000";
const std::string kGreen = "r=0.000000 g=1.000000 b=0.000000";
const std::string kWhite = "r=1.000000 g=1.000000 b=1.000000";
const std::string kBlack = "r=0.000000 g=0.000000 b=0.000000";
const std::string kOrange = "r=1.000000 g=0.498039 b=0.000000";
const std::string kPipeSetting = "r=0.650980 g=0.792157 b=0.941176";
const std::string kMagenta = "r=1.000000 g=0.000000 b=1.000000";

std::string Family(const std::string& c, const std::string& specular = "white",
                   const std::string& transmission = "black") {
    return "faces=(diffuse=" + c + ",specular=" + specular + ",transmission=" + transmission +
           "),lines=" + c + ",edges=" + c;
}

class HOpConfigValuesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ketra-values-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_file = m_dir / "plot.xml";
        ketra::sys::SetShell(&m_quiet);
    }
    void TearDown() override {
        ketra::sys::SetShell(nullptr);
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    void UseFile(HOpConfig& config) {
        config.SetConfigFile(ketra::sys::FromUtf8(m_file.string()).c_str());
    }
    // The attribute as stored in the file ("" when absent).
    std::string Stored(const char* section, const char* name, const char* attribute) {
        pugi::xml_document doc;
        doc.load_file(m_file.c_str());
        return doc.child("PlotProperties")
            .find_child_by_attribute(section, "name", name)
            .attribute(attribute)
            .value();
    }
    // Replaces one attribute in the file, as a user editing it by hand would.
    void Store(const char* section, const char* name, const char* attribute, const char* value) {
        pugi::xml_document doc;
        doc.load_file(m_file.c_str(),
                      pugi::parse_default | pugi::parse_declaration | pugi::parse_comments);
        pugi::xml_node root = doc.child("PlotProperties");
        pugi::xml_node entry = root.find_child_by_attribute(section, "name", name);
        if (!entry) {
            entry = root.append_child(section);
            entry.append_attribute("name") = name;
        }
        if (!entry.attribute(attribute))
            entry.append_attribute(attribute);
        entry.attribute(attribute) = value;
        doc.save_file(m_file.c_str());
    }

    struct Quiet : ketra::sys::Shell {
        Answer MessageBox(const std::string&, const std::string&, Icon, Buttons) override {
            ++messages;
            return Answer::Ok;
        }
        void Beep() override {}
        int messages = 0;
    } m_quiet;
    fs::path m_dir;
    fs::path m_file;
    Saved<decltype(CAppSettings::UseSystemColorInfo)> m_colors{CAppSettings::UseSystemColorInfo};
    Saved<decltype(CAppSettings::UseSystemFontInfo)> m_fonts{CAppSettings::UseSystemFontInfo};
};

TEST_F(HOpConfigValuesTest, PipeColourWithoutFileOrTableIsTheFixedDefault) {
    HOpConfig config;
    config.SetConfigType(HOpConfig::ConfigDefault);
    EXPECT_STREQ(config.GetPipeColor(),
                 "faces=(diffuse=r=0.000000 g=0.000000 b=1.000000,specular=white,transmission="
                 "black),lines=r=0.000000 g=0.000000 b=1.000000,edges=r=0.000000 g=0.000000 "
                 "b=1.000000");
}

TEST_F(HOpConfigValuesTest, PipingHostPipeColourComesFromSettingsAndOnlyOptionalPartsFromFile) {
    CAppSettings::UseSystemColorInfo = 1;
    HOpConfig config;
    UseFile(config);
    EXPECT_EQ(config.GetPipeColor(), Family(kPipeSetting));
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(m_file.c_str()));
    pugi::xml_node entry = doc.child("PlotProperties").child("Element");
    EXPECT_STREQ(entry.attribute("name").value(), "GenericPipe");
    std::vector<std::string> attributes;
    for (pugi::xml_attribute a : entry.attributes())
        attributes.push_back(std::string(a.name()) + "=" + a.value());
    EXPECT_EQ(attributes, (std::vector<std::string>{"name=GenericPipe", "SpecularColor=white",
                                                    "Transmission=black"}));

    // With system colours in charge a stored diffuse colour is ignored.
    Store("Element", "GenericPipe", "DiffuseColor", "red");
    EXPECT_EQ(config.GetPipeColor(), Family(kPipeSetting));
    CAppSettings::UseSystemColorInfo = 0;
    EXPECT_EQ(std::string(config.GetPipeColor()).substr(0, 19), "faces=(diffuse=red,");
}

TEST_F(HOpConfigValuesTest, TransparentSetterWritesRedTransmission) {
    CAppSettings::UseSystemColorInfo = 0;
    HOpConfig config;
    config.SetConfigType(HOpConfig::ConfigDefault);
    UseFile(config);
    config.SetPipeColor(0x00FF00, true);
    EXPECT_EQ(config.GetPipeColor(), Family(kGreen, "white", "red"));
    EXPECT_EQ(Stored("Element", "GenericPipe", "Transmission"), "red");
    config.SetPipeColor(0x00FF00, false);
    EXPECT_EQ(config.GetPipeColor(), Family(kGreen));
    // The setter never writes a specular colour: the getter added it.
    Store("Element", "GenericPipe", "SpecularColor", "grey");
    config.SetPipeColor(0x0000FF, false);
    EXPECT_EQ(Stored("Element", "GenericPipe", "SpecularColor"), "grey");
}

TEST_F(HOpConfigValuesTest, DefaultColourTableIndicesTruncateAndFallBackToOrange) {
    CAppSettings::UseSystemColorInfo = 1;
    float table[31] = {};
    table[15] = 15.9f; // hanger: white
    table[16] = 16.0f; // restraint: out of range
    table[20] = -1.0f; // flange: negative
    table[30] = NAN;   // steel: not a number
    table[0] = 12.0f;  // pipe: red
    HOpConfig config;
    config.SetConfigType(HOpConfig::ConfigDefault);
    config.SetDefaultColors(table);
    EXPECT_EQ(config.GetHangerColor(), Family(kWhite));
    EXPECT_EQ(config.GetRestraintColor(), Family(kOrange));
    EXPECT_EQ(config.GetFlangeColor(), Family(kOrange));
    EXPECT_EQ(config.GetStructuralSteelColor(), Family(kOrange));
    EXPECT_EQ(config.GetPipeColor(), Family(kRed));
    EXPECT_EQ(HOpConfig::GetColorByIndex(9), 0xFF0000ul);
    EXPECT_EQ(HOpConfig::GetColorByIndex(16), 0x007FFFul);
    EXPECT_EQ(HOpConfig::GetColorByIndex(-1), 0x007FFFul);

    // Piping host kinds take the settings colours, not the table.
    config.SetConfigType(HOpConfig::ConfigOutput);
    EXPECT_EQ(config.GetPipeColor(), Family(kPipeSetting));
    // Forces have no settings colour: the table serves every kind.
    EXPECT_EQ(config.GetForcesColor(), Family(kRed));
}

// Defaults of one getter across the host kinds, with no file and no table.
struct KindDefaults {
    HOpConfig::ConfigType type;
    std::string tee;
    std::string insulation;
    std::string nozzle;
    std::string nodeText;
    std::string outputText;
    unsigned long backgroundTop;
    int projection;
};

class HOpConfigKindTest : public HOpConfigValuesTest,
                          public ::testing::WithParamInterface<KindDefaults> {};

TEST_P(HOpConfigKindTest, DefaultsFollowTheHostKind) {
    CAppSettings::UseSystemColorInfo = 1;
    CAppSettings::UseSystemFontInfo = 1;
    const KindDefaults& expected = GetParam();
    for (bool withFile : {false, true}) {
        SCOPED_TRACE(withFile ? "with file" : "without file");
        HOpConfig config;
        config.SetConfigType(expected.type);
        if (withFile)
            UseFile(config);
        EXPECT_EQ(config.GetTeeColor(), expected.tee);
        EXPECT_EQ(config.GetInsulationColor(), expected.insulation);
        EXPECT_EQ(config.GetNozzleColor(), expected.nozzle);
        EXPECT_EQ(config.GetNodeTextColor(), expected.nodeText);
        EXPECT_EQ(config.GetOutputTextColor(), expected.outputText);
        EXPECT_EQ(config.GetBackgroundTopColor(), expected.backgroundTop);
        EXPECT_EQ(config.GetProjectionDisplay(), expected.projection);
        EXPECT_STREQ(config.GetLastOperator(), "orbit");
        EXPECT_STREQ(config.GetMarkerSize(), "0.2500");
    }
}

const std::string kMrlNozzle = "faces=(diffuse=" + kGreen +
                               ", specular=white, transmission=black),lines=" + kGreen +
                               ",edges=" + kGreen;
const std::string kMrlInsulation = "faces=(diffuse=" + kMagenta +
                                   ", specular=white, transmission=black),lines=" + kMagenta +
                                   ",edges=" + kMagenta;
const std::string kPipingTee = "faces=(diffuse=" + kMagenta + ",specular=" + kWhite +
                               ",transmission=" + kBlack + "),lines=" + kMagenta +
                               ",edges=" + kMagenta;
const std::string kPipingInsulation = "faces=(diffuse=" + kBlack + ",specular=" + kWhite +
                                      ",transmission=" + kBlack + "),lines=" + kBlack +
                                      ",edges=" + kBlack;

INSTANTIATE_TEST_SUITE_P(
    AllKinds, HOpConfigKindTest,
    ::testing::Values(
        KindDefaults{HOpConfig::ConfigDefault, Family("r=0.000000 g=1.000000 b=1.000000"),
                     Family("r=0.000000 g=0.000000 b=0.003922"), Family(kGreen), kRed, kBlue,
                     0x000000, 2},
        KindDefaults{HOpConfig::ConfigMarlow, Family("r=0.000000 g=1.000000 b=1.000000"),
                     kMrlInsulation, kMrlNozzle, kRed, kBlue, 0x969696, 2},
        KindDefaults{HOpConfig::ConfigInput, kPipingTee, kPipingInsulation, Family(kMagenta), kRed,
                     "r=0.501961 g=0.000000 b=0.000000", 0x969696, 2},
        KindDefaults{HOpConfig::ConfigHDS, kPipingTee, kPipingInsulation, Family(kMagenta), kRed,
                     "r=0.501961 g=0.000000 b=0.000000", 0x969696, 2},
        KindDefaults{HOpConfig::ConfigOutput, kPipingTee, kPipingInsulation, Family(kMagenta), kRed,
                     "r=0.501961 g=0.000000 b=0.000000", 0x969696, 2},
        KindDefaults{HOpConfig::ConfigDynplot, kPipingTee, kPipingInsulation, Family(kMagenta),
                     kRed, "r=0.501961 g=0.000000 b=0.000000", 0x969696, 2}));

TEST_F(HOpConfigValuesTest, TextStylesSizesFontsAndJustification) {
    CAppSettings::UseSystemFontInfo = 1;
    Saved<decltype(CAppSettings::NodeFontSize)> nodeSize(CAppSettings::NodeFontSize);
    Saved<decltype(CAppSettings::NodeFontName)> nodeFont(CAppSettings::NodeFontName);
    HOpConfig config;
    UseFile(config);
    EXPECT_STREQ(config.GetAnnotationTextSize(), "8.0 pts");
    EXPECT_STREQ(config.GetNodeTextSize(), "28.0 pts");
    EXPECT_STREQ(config.GetLegendTextFont(), "Arial");

    config.SetOutputTextSize(120, "pts");
    EXPECT_EQ(Stored("Element", "OutputText", "TextSize"), "12.0 pts");
    config.SetNodeTextSize(12, "pts");
    EXPECT_EQ(Stored("Element", "NodeText", "TextSize"), "12.0 pts");
    EXPECT_EQ(std::wstring(CAppSettings::NodeFontSize), L"12.0 pts");
    config.SetNodeTextFont("DejaVu Sans");
    EXPECT_EQ(std::wstring(CAppSettings::NodeFontName), L"DejaVu Sans");

    CAppSettings::UseSystemFontInfo = 0;
    config.SetNodeTextSize(9, "oru");
    EXPECT_EQ(std::wstring(CAppSettings::NodeFontSize), L"12.0 pts");
    EXPECT_STREQ(config.GetNodeTextSize(), "9.0 oru");

    EXPECT_STREQ(config.GetNodeTextJustification(), "<");
    config.SetNodeTextJustification("CENTER");
    EXPECT_EQ(Stored("Element", "NodeText", "TextJustification"), "CENTER");
    EXPECT_STREQ(config.GetNodeTextJustification(), "*");
    config.SetNodeTextJustification("right");
    EXPECT_STREQ(config.GetNodeTextJustification(), ">");
    config.SetLegendTextTransformation("ON");
    EXPECT_STREQ(config.GetLegendTextTransformation(), "on");
    config.SetLegendTextTransformation("yes");
    EXPECT_STREQ(config.GetLegendTextTransformation(), "off");
}

TEST_F(HOpConfigValuesTest, BackgroundColoursParseTheStoredChannels) {
    CAppSettings::UseSystemColorInfo = 0;
    HOpConfig config;
    UseFile(config);
    EXPECT_EQ(config.GetBackgroundTopColor(), 0x969696ul); // survives its six decimals
    Store("Element", "Background", "TopColor", "r=1.000000 g=0.500000 b=0.000000");
    EXPECT_EQ(config.GetBackgroundTopColor(), 0x007FFFul);
    Store("Element", "Background", "BottomColor", "black");
    EXPECT_EQ(config.GetBackgroundBottomColor(), 0ul);
    config.SetBackgroundColor(0x0000FF);
    EXPECT_EQ(std::string(config.GetBackgroundColor()), "windows=" + kRed);
    CAppSettings::UseSystemColorInfo = 1;
    EXPECT_EQ(std::string(config.GetBackgroundColor()), "windows=" + kBlack);
    EXPECT_EQ(config.GetBackgroundTopColor(), 0x969696ul);
}

TEST_F(HOpConfigValuesTest, ViewModesProjectionAndFlagsMapStoredTexts) {
    HOpConfig config;
    UseFile(config);
    EXPECT_EQ(config.GetLastViewMode(), 7);
    config.SetLastViewMode(26);
    EXPECT_EQ(Stored("UserSettings", "View", "Mode"), "Unknown");
    EXPECT_EQ(config.GetLastViewMode(), 26);
    config.SetLastViewMode(5);
    EXPECT_EQ(Stored("UserSettings", "View", "Mode"), "YZ");
    EXPECT_EQ(config.GetLastViewMode(), 5);
    Store("UserSettings", "View", "Mode", "sideways");
    EXPECT_EQ(config.GetLastViewMode(), 7);
    config.SetLastViewMode(0);
    EXPECT_EQ(Stored("UserSettings", "View", "Mode"), "Unknown");

    config.SetProjectionDisplay(3);
    EXPECT_EQ(config.GetProjectionDisplay(), 3);
    config.SetProjectionDisplay(7);
    EXPECT_EQ(Stored("UserSettings", "SymbolDisplay", "Projection"), "Orthographic");

    EXPECT_TRUE(config.GetRestraintDisplay());
    EXPECT_FALSE(config.GetTeeDisplay());
    config.SetTempDisplay(5);
    EXPECT_TRUE(config.GetTempDisplay(0));
    Store("UserSettings", "SymbolDisplay", "Restraints", "ON");
    EXPECT_FALSE(config.GetRestraintDisplay()); // only "on" is on

    EXPECT_TRUE(config.GetRestorePreviousOperator());
    Store("UserSettings", "InputOperator", "RestorePrevious", "maybe");
    EXPECT_TRUE(config.GetRestorePreviousOperator()); // only "no" is off
    config.SetRestorePreviousOperator(false);
    EXPECT_FALSE(config.GetRestorePreviousOperator());
    config.SetConfigType(HOpConfig::ConfigHDS);
    EXPECT_TRUE(config.GetRestorePreviousOperator()); // another kind, another entry
    EXPECT_EQ(Stored("UserSettings", "HDSOperator", "RestorePrevious"), "yes");

    EXPECT_EQ(config.GetRenderMode(), 10);
    EXPECT_EQ(Stored("UserSettings", "RenderMode", "Mode"), "10");
    config.SetRenderMode(3);
    EXPECT_EQ(config.GetRenderMode(), 3);
}

TEST_F(HOpConfigValuesTest, CameraPointsAndSizes) {
    HOpConfig config;
    UseFile(config);
    struct Point {
        float x, y, z;
    } p{5, 5, 5};
    config.GetLastCameraPosition(p);
    EXPECT_EQ(Stored("UserSettings", "Camera", "Position"), "x=0.0 y=0.0 z=0.0");
    EXPECT_EQ(p.x + p.y + p.z, 0.0f);
    config.SetLastCameraPosition(Point{1.5f, -2.0f, 10.0f});
    EXPECT_EQ(Stored("UserSettings", "Camera", "Position"), "x=1.500000 y=-2.000000 z=10.000000");
    Store("UserSettings", "Camera", "UpVector", "y=5");
    config.GetLastCameraUpVector(p);
    EXPECT_EQ(p.x, 0.0f);
    EXPECT_EQ(p.y, 5.0f);
    EXPECT_EQ(p.z, 0.0f);
    EXPECT_FLOAT_EQ(config.GetLastCameraFieldWidth(), 1.0f);
    const float width = 2.25f;
    config.SetLastCameraFieldWidth(&width);
    EXPECT_EQ(Stored("UserSettings", "Camera", "FieldWidth"), "2.250000");
    config.SetLastCameraFieldHeight(nullptr);
    EXPECT_EQ(Stored("UserSettings", "Camera", "FieldHeight"), "");

    EXPECT_EQ(config.GetHangerSize(), 2);
    config.SetHangerSize(7);
    EXPECT_EQ(Stored("Element", "Hanger", "HangerSize"), "7.0");
    Store("Element", "Hanger", "HangerSize", "3.9");
    EXPECT_EQ(config.GetHangerSize(), 3);
    Store("Element", "Hanger", "HangerSize", "1e300");
    EXPECT_EQ(config.GetHangerSize(), 0);

    config.SetDisplacedLineScale(4.0f);
    EXPECT_EQ(Stored("Element", "DisplacedLine", "Scale"), "4.00");
    EXPECT_FLOAT_EQ(config.GetDisplacedLineWeight(), 1.0f);
}

TEST_F(HOpConfigValuesTest, TransparencyFactorIsRecordedButSettingsRuleWhenTheyOverride) {
    Saved<decltype(CAppSettings::VisibilityPercent)> visibility(CAppSettings::VisibilityPercent);
    CAppSettings::UseSystemColorInfo = 1;
    HOpConfig config;
    UseFile(config);
    EXPECT_FLOAT_EQ(config.GetInvisiblePercent(), 0.5f);
    EXPECT_EQ(Stored("Element", "Transparency", "Factor"), "0.50");
    config.SetInvisiblePercent(0.37f);
    EXPECT_EQ(Stored("Element", "Transparency", "Factor"), "0.370000");
    EXPECT_FLOAT_EQ(config.GetInvisiblePercent(), 0.5f);
    CAppSettings::UseSystemColorInfo = 0;
    EXPECT_FLOAT_EQ(config.GetInvisiblePercent(), 0.37f);
}

TEST_F(HOpConfigValuesTest, PressureVesselColoursLiveInTheSettingsStore) {
    Saved<decltype(CAppSettings::MRL_SaddleColor)> saddle(CAppSettings::MRL_SaddleColor);
    Saved<decltype(CAppSettings::MRL_TextDescriptionColor)> description(
        CAppSettings::MRL_TextDescriptionColor);
    Saved<decltype(CAppSettings::MRL_NozzleColor)> nozzle(CAppSettings::MRL_NozzleColor);
    HOpConfig config;
    UseFile(config);
    const std::string grey = "r=0.752941 g=0.752941 b=0.752941";
    EXPECT_EQ(std::string(config.GetCylinderColor()),
              "faces=(diffuse=" + grey + ", specular=white, transmission=black),lines=" + grey +
                  ",edges=" + grey);
    config.SetSaddleColor(0x0000FF, true);
    EXPECT_EQ(CAppSettings::MRL_SaddleColor, 0x0000FFul);
    EXPECT_EQ(std::string(config.GetSaddleColor()).substr(0, 15 + kRed.size()),
              "faces=(diffuse=" + kRed);
    EXPECT_EQ(Stored("Element", "Saddle", "DiffuseColor"), "");

    config.SetConfigType(HOpConfig::ConfigMarlow);
    config.SetNozzleColor(0xFF0000);
    EXPECT_EQ(CAppSettings::MRL_NozzleColor, 0xFF0000ul);
    EXPECT_EQ(Stored("Element", "Nozzle", "DiffuseColor"), "");
    config.SetDescriptionColor(0x00FF00);
    EXPECT_EQ(CAppSettings::MRL_TextDescriptionColor, 0x00FF00ul);
    EXPECT_EQ(Stored("Element", "Description", "Color"), kGreen);
}

TEST_F(HOpConfigValuesTest, OtherElementValues) {
    CAppSettings::UseSystemColorInfo = 0;
    HOpConfig config;
    UseFile(config);
    EXPECT_STREQ(config.GetMaterialIDColor(), "r=0 g=1.0 b=1.0");
    EXPECT_STREQ(config.GetSectionIDColor(), "r=1.0 g=1.0 b=0");
    EXPECT_EQ(config.GetDimensionsColor(), kWhite);
    EXPECT_STREQ(config.GetStressLevelColor3(), "r=0.000000 g=0.000000 b=0.003922");
    config.SetStressLevel4(0x00FF00, 1234.5f);
    EXPECT_EQ(Stored("Element", "StressLevel 4", "Level"), "1234.500000");
    EXPECT_EQ(config.GetStressLevelColor4(), kGreen);

    config.SetNozzleLimitColor(0x0000FF, 0x00FF00, false);
    EXPECT_EQ(Stored("Element", "GenericNozzleLimit1", "DiffuseColor"), kRed);
    EXPECT_EQ(Stored("Element", "GenericNozzleLimit2", "EdgeColor"), kGreen);
    EXPECT_EQ(config.GetNozzleLimitColor2(), Family(kGreen));

    EXPECT_STREQ(config.GetSavedDraftonFileName(), "No Model Specified");
    EXPECT_STREQ(config.GetMarkerSymbol(), "(.)");
    EXPECT_TRUE(config.GetSmoothUpdates());
    EXPECT_TRUE(config.GetHideOverlappedText());
    EXPECT_TRUE(config.GetOrbitBoundingBoxVisibility());
}

TEST_F(HOpConfigValuesTest, FormattingIgnoresTheProcessLocale) {
    EXPECT_EQ(HOpConfig::FormatColor(0xF0CAA6), kPipeSetting);
    EXPECT_EQ(HOpConfig::FormatFixed(0.125, 2), "0.12"); // printf rounding: half to even
    EXPECT_EQ(HOpConfig::FormatFixed(-2.0, 6), "-2.000000");
    EXPECT_DOUBLE_EQ(HOpConfig::Atof("  +2.5xyz"), 2.5);
    EXPECT_DOUBLE_EQ(HOpConfig::Atof("junk"), 0.0);
    EXPECT_EQ(HOpConfig::Atoi("12abc"), 12);
    EXPECT_EQ(HOpConfig::Atoi("99999999999"), 2147483647);
    EXPECT_DOUBLE_EQ(HOpConfig::NumberAfter("x=1 y=2 z=3", "z="), 3.0);
    EXPECT_DOUBLE_EQ(HOpConfig::NumberAfter("x=1", "q="), 0.0);
}

} // namespace
