#include "config/CAppSettings.h"

#include "platform/sys/AtomicFile.h"
#include "platform/sys/RecordingShell.h"
#include "platform/sys/Registry.h"
#include "platform/sys/TempDir.h"
#include "platform/sys/TextEncoding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdio>
#include <set>
#include <vector>

using namespace ketra::sys;
using ketra::test::RecordingShell;
using ketra::test::TempDir;

namespace {

constexpr const wchar_t* kOptions = L"Software\\Velmora\\Halden\\5.30\\Options";

// Every member back to its default, the host back to the piping program.
void RestoreDefaults() {
#define KETRA_RESTORE(p, n) CAppSettings::p##n = CAppSettings::p##Default##n;
#define KETRA_RESTORE5(p, n, e, d, f) KETRA_RESTORE(p, n)
#define KETRA_RESTORE6(p, n, e, d, x, f) KETRA_RESTORE(p, n)
    KETRA_APP_SETTINGS(KETRA_RESTORE5, KETRA_RESTORE5, KETRA_RESTORE5, KETRA_RESTORE6,
                       KETRA_RESTORE6)
    CAppSettings::PackageName = L"Halden";
    CAppSettings::Version = L"5.30";
}

class CAppSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KETRA_REGISTRY", m_path.c_str(), 1);
        RestoreDefaults();
    }
    void TearDown() override {
        RestoreDefaults();
        unsetenv("KETRA_REGISTRY");
    }

    std::string FileText() const {
        std::string bytes;
        ReadFile(m_path, &bytes, nullptr);
        return bytes;
    }
    bool FileHas(const std::string& line) const {
        return FileText().find(line + "\n") != std::string::npos;
    }

    HKEY Open(const wchar_t* path = kOptions) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                 &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    void SetDword(const wchar_t* name, DWORD value) {
        HKEY key = Open();
        ASSERT_EQ(RegSetDword(key, name, value), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void SetString(const wchar_t* name, const wchar_t* text) {
        HKEY key = Open();
        ASSERT_EQ(RegSetString(key, name, text), ERROR_SUCCESS);
        RegCloseKey(key);
    }

    TempDir m_dir;
    std::string m_path = m_dir.File("registry.reg");
    RecordingShell m_shell;
};

// The distinct value names of the list.
std::set<std::wstring> AllValueNames() {
    std::set<std::wstring> names;
#define KETRA_NAME5(p, n, e, d, f) names.insert(FoldCase(e));
#define KETRA_NAME6(p, n, e, d, x, f) names.insert(FoldCase(e));
    KETRA_APP_SETTINGS(KETRA_NAME5, KETRA_NAME5, KETRA_NAME5, KETRA_NAME6, KETRA_NAME6)
    return names;
}

} // namespace

TEST_F(CAppSettingsTest, EmptyRegistryLoadsDefaultsAndSaveCreatesEveryValue) {
    // Scramble the members so a value that is not loaded would show.
    CAppSettings::PipeColor = 1;
    CAppSettings::InitialOperator = L"x";
    CAppSettings::bWalkAutomaticHeight = false;
    CAppSettings::FrameRate = 3;
    CAppSettings::InitSettings();

    // The documented defaults (a sample from every kind and table).
    EXPECT_EQ(CAppSettings::PipeColor, 0xF0CAA6u);
    EXPECT_EQ(CAppSettings::WindowBackgroundTopColor, 0x969696u);
    EXPECT_EQ(CAppSettings::HangerCNodeColor, 0x800080u);
    EXPECT_EQ(CAppSettings::ProjectionMode, 2);
    EXPECT_EQ(CAppSettings::RenderMode, 10);
    EXPECT_FLOAT_EQ(CAppSettings::PipeMarkerSymbolSize, 0.25f);
    EXPECT_TRUE(CAppSettings::bSmoothTransition);
    EXPECT_TRUE(CAppSettings::bWalkAutomaticHeight);
    EXPECT_FALSE(CAppSettings::bBackplaneCulling);
    EXPECT_EQ(CAppSettings::AnnotationBackgroundType, 2);
    EXPECT_FLOAT_EQ(CAppSettings::FrameRate, 10.0f);
    EXPECT_FLOAT_EQ(CAppSettings::StressActualValue3, 15000.0f);
    EXPECT_FLOAT_EQ(CAppSettings::StressPctLevel6, 100.0f);
    EXPECT_EQ(CAppSettings::InitialOperator, L"HOpCameraZoomBoxEx");
    EXPECT_EQ(CAppSettings::DF_ModelKeyOutputFileName, L"c:\\DWGModelKey.HMF");
    EXPECT_EQ(CAppSettings::NodeFontSize, L"28.0 pts");
    EXPECT_EQ(CAppSettings::DWGTextureDirectory, L"");
    EXPECT_EQ(CAppSettings::bUseSelectionInverseTransparency, 3);
    EXPECT_EQ(CAppSettings::DF_UnitsDisplayPrecision, 32);
    EXPECT_EQ(CAppSettings::OnIdleProcessCount, 50);
    EXPECT_EQ(CAppSettings::DFTPlantTooltip_ShowLongDescription_Steel, 1);
    EXPECT_EQ(CAppSettings::AnnotationAuthor, L"tester") << "the user name";
    EXPECT_EQ(CAppSettings::DefaultAnnotationAuthor, L"tester");
    EXPECT_EQ(CAppSettings::WalkAvatarHeight, 200);

    CAppSettings::SaveSettings();
    HKEY key = Open();
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKey(key, nullptr, &values), ERROR_SUCCESS);
    EXPECT_EQ(values, AllValueNames().size());
    for (DWORD i = 0; i < values; ++i) {
        wchar_t name[256];
        DWORD size = 256;
        ASSERT_EQ(RegEnumValue(key, i, name, &size, nullptr, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        EXPECT_TRUE(AllValueNames().count(FoldCase(name))) << ToUtf8(name);
    }
    RegCloseKey(key);
    EXPECT_TRUE(FileHas("\"Pipe Color\"=dword:00f0caa6"));
    EXPECT_TRUE(FileHas("\"Smooth Transition\"=dword:00000001"));
    EXPECT_TRUE(FileHas("\"Pipe Marker Symbol Size\"=\"0.2500\""));
    EXPECT_TRUE(FileHas("\"Constant Frame Rate\"=\"10\""));
    EXPECT_TRUE(FileHas("\"Stress Actual Level 6\"=\"30000\""));
    EXPECT_TRUE(FileHas("\"Stress Pct Level 1\"=\"20.0000\""));
    EXPECT_TRUE(FileHas("\"Fixed Size Restraint\"=\"6\""));
    EXPECT_TRUE(FileHas("\"Resize Operator Marker Symbol Size\"=\"1.25\""));
    EXPECT_TRUE(FileHas("\"Avatar Height\"=dword:000000c8"));
    EXPECT_TRUE(FileHas("\"DFT2HD Model Key File Name\"=\"c:\\\\DWGModelKey.HMF\""));
    // The piping host owns the shared names: its defaults are stored, not the vessel's.
    EXPECT_TRUE(FileHas("\"Nozzle Color\"=dword:00ff00ff"));
    EXPECT_TRUE(FileHas("\"Insulation Color\"=dword:00000000"));

    // Loading what was saved gives the defaults again, member by member.
    CAppSettings::InitSettings();
#define KETRA_SAME(p, n) EXPECT_EQ(CAppSettings::p##n, CAppSettings::p##Default##n) << #p #n;
#define KETRA_SAME5(p, n, e, d, f) KETRA_SAME(p, n)
#define KETRA_SAME6(p, n, e, d, x, f) KETRA_SAME(p, n)
    KETRA_APP_SETTINGS(KETRA_SAME5, KETRA_SAME5, KETRA_SAME5, KETRA_SAME6, KETRA_SAME6)
}

bool SharedName(const wchar_t* entry) {
    return std::wstring(entry) == L"Insulation Color" || std::wstring(entry) == L"Nozzle Color";
}

TEST_F(CAppSettingsTest, EveryMemberRoundTripsForEachHost) {
    for (const wchar_t* host : {L"Halden", L"Marlow"}) {
        SCOPED_TRACE(ToUtf8(host));
        const bool marlow = std::wstring(host) == L"Marlow";
        RestoreDefaults();
        CAppSettings::PackageName = host;
        CAppSettings::InitSettings();
        // A distinct non-default value for every member (whole numbers survive "%.0f").
        int k = 1;
#define KETRA_SET_COLOR(p, n, e, d, f) CAppSettings::p##n = (d) ^ (0x10101u * k++);
#define KETRA_SET_INT(p, n, e, d, f) CAppSettings::p##n = (d) + 1000 + k++;
#define KETRA_SET_BOOL(p, n, e, d, f) CAppSettings::p##n = !(d);
#define KETRA_SET_NUMBER(p, n, e, d, x, f) CAppSettings::p##n = (d) + 1.0f * k++;
#define KETRA_SET_TEXT(p, n, e, d, i, f)                                                           \
    CAppSettings::p##n = L"änd \"quoted\" \\ " + std::to_wstring(k++);
        KETRA_APP_SETTINGS(KETRA_SET_COLOR, KETRA_SET_INT, KETRA_SET_BOOL, KETRA_SET_NUMBER,
                           KETRA_SET_TEXT)
        std::vector<std::wstring> expected;
#define KETRA_KEEP5(p, n, e, d, f) expected.push_back(std::to_wstring(CAppSettings::p##n));
#define KETRA_KEEP_NUMBER(p, n, e, d, x, f) expected.push_back(std::to_wstring(CAppSettings::p##n));
#define KETRA_KEEP_TEXT(p, n, e, d, i, f) expected.push_back(CAppSettings::p##n);
        KETRA_APP_SETTINGS(KETRA_KEEP5, KETRA_KEEP5, KETRA_KEEP5, KETRA_KEEP_NUMBER,
                           KETRA_KEEP_TEXT)
        // The active host's member owns a shared value name.
        const std::uint32_t insulation =
            marlow ? CAppSettings::MRL_InsulationColor : CAppSettings::InsulationColor;
        const std::uint32_t nozzle =
            marlow ? CAppSettings::MRL_NozzleColor : CAppSettings::NozzleColor;

        CAppSettings::SaveSettings();
        RestoreDefaults();
        CAppSettings::PackageName = host;
        CAppSettings::InitSettings();

        std::size_t row = 0;
#define KETRA_CHECK(p, n, e, f, actual, initial)                                                   \
    {                                                                                              \
        const std::wstring want = expected[row++];                                                 \
        if (SharedName(e)) {                                                                       \
        } else if (std::string_view(#p) == "MRL_" && !marlow) {                                    \
            EXPECT_EQ(actual, initial) << #p #n " is loaded only for Marlow";                     \
        } else if (std::string_view(#f) != "SaveOnly") {                                           \
            EXPECT_EQ(actual, want) << #p #n;                                                      \
        }                                                                                          \
    }
#define KETRA_CHECK5(p, n, e, d, f)                                                                \
    KETRA_CHECK(p, n, e, f, std::to_wstring(CAppSettings::p##n),                                   \
                std::to_wstring(CAppSettings::p##Default##n))
#define KETRA_CHECK_NUMBER(p, n, e, d, x, f)                                                       \
    KETRA_CHECK(p, n, e, f, std::to_wstring(CAppSettings::p##n),                                   \
                std::to_wstring(CAppSettings::p##Default##n))
#define KETRA_CHECK_TEXT(p, n, e, d, i, f)                                                         \
    KETRA_CHECK(p, n, e, f, CAppSettings::p##n, CAppSettings::p##Default##n)
        KETRA_APP_SETTINGS(KETRA_CHECK5, KETRA_CHECK5, KETRA_CHECK5, KETRA_CHECK_NUMBER,
                           KETRA_CHECK_TEXT)
        EXPECT_EQ(row, expected.size());
        EXPECT_EQ(CAppSettings::InsulationColor, insulation);
        EXPECT_EQ(CAppSettings::NozzleColor, nozzle);
        if (marlow) {
            EXPECT_EQ(CAppSettings::MRL_InsulationColor, insulation);
            EXPECT_EQ(CAppSettings::MRL_NozzleColor, nozzle);
        }
        // The values saved but never loaded are in the store all the same.
        EXPECT_NE(FileText().find("\"Avatar Height\"=dword:"), std::string::npos);
        std::remove(m_path.c_str());
    }
}

TEST_F(CAppSettingsTest, LoadRulesPerType) {
    CAppSettings::InitSettings();
    SetDword(L"Smooth Transition", 0x100);
    SetDword(L"Backplane Culling", 2);
    SetDword(L"Use Collision Walk", 1);
    SetDword(L"Use Culling Frustum", 0x101);
    SetDword(L"OnIdle Process Count", 0);
    SetDword(L"Cylinder Color", 0x123456);
    SetString(L"Pipe Marker Symbol Size", L"  0.5xyz");
    SetString(L"Bend Marker Symbol Size", L"abc");
    SetString(L"Stress Pct Level 2", L"+1e2");
    CAppSettings::MRL_CylinderColor = 0xABCDEF;
    CAppSettings::InitSettings();
    EXPECT_FALSE(CAppSettings::bSmoothTransition) << "lowest byte 0";
    EXPECT_FALSE(CAppSettings::bBackplaneCulling) << "2 is not 1";
    EXPECT_TRUE(CAppSettings::bWalkCollision);
    EXPECT_FALSE(CAppSettings::CullingFrustum) << "only exactly 1 is true";
    EXPECT_EQ(CAppSettings::OnIdleProcessCount, 1);
    EXPECT_EQ(CAppSettings::MRL_CylinderColor, 0xABCDEFu) << "not loaded for the piping host";
    EXPECT_FLOAT_EQ(CAppSettings::PipeMarkerSymbolSize, 0.5f);
    EXPECT_FLOAT_EQ(CAppSettings::BendMarkerSymbolSize, 0.0f) << "atof of no number";
    EXPECT_FLOAT_EQ(CAppSettings::StressPctLevel2, 100.0f);

    SetDword(L"Smooth Transition", 0xFFFFFF02);
    SetDword(L"OnIdle Process Count", 0xFFFFFFFB); // -5
    CAppSettings::PackageName = L"Marlow";
    CAppSettings::InitSettings(); // the Marlow key is empty
    EXPECT_EQ(CAppSettings::MRL_CylinderColor, 0xC0C0C0u);
    CAppSettings::PackageName = L"Halden";
    CAppSettings::InitSettings();
    EXPECT_TRUE(CAppSettings::bSmoothTransition) << "any non-zero lowest byte";
    EXPECT_EQ(CAppSettings::OnIdleProcessCount, 1);
}

TEST_F(CAppSettingsTest, WrongTypeOrSizeReadsAsMissingAndSaveRepairsIt) {
    CAppSettings::InitSettings();
    HKEY key = Open();
    const BYTE three[3] = {1, 2, 3};
    RegSetValueEx(key, L"Show Markers", 0, REG_DWORD, three, 3);
    RegSetString(key, L"Pipe Color", L"red");
    RegSetDword(key, L"Node Font Name", 7);
    RegSetDword(key, L"Pipe Marker Symbol Size", 7);
    RegSetString(key, L"Annotation Font Name", std::wstring(5000, L'x')); // over 8192 bytes
    RegCloseKey(key);
    CAppSettings::ShowMarkers = 0;
    CAppSettings::InitSettings();
    EXPECT_EQ(CAppSettings::ShowMarkers, 1);
    EXPECT_EQ(CAppSettings::PipeColor, 0xF0CAA6u);
    EXPECT_EQ(CAppSettings::NodeFontName, L"Arial");
    EXPECT_FLOAT_EQ(CAppSettings::PipeMarkerSymbolSize, 0.25f);
    EXPECT_EQ(CAppSettings::AnnotationFontName, L"Arial");
    CAppSettings::SaveSettings();
    EXPECT_TRUE(FileHas("\"Show Markers\"=dword:00000001"));
    EXPECT_TRUE(FileHas("\"Pipe Color\"=dword:00f0caa6"));
    EXPECT_TRUE(FileHas("\"Node Font Name\"=\"Arial\""));
    EXPECT_TRUE(FileHas("\"Pipe Marker Symbol Size\"=\"0.2500\""));
}

TEST_F(CAppSettingsTest, SaveFormatsNumbers) {
    CAppSettings::InitSettings();
    CAppSettings::FrameRate = 12.6f;
    CAppSettings::StressActualValue2 = 12345.4f;
    CAppSettings::StressPctLevel3 = 33.333333f;
    CAppSettings::PipeMarkerSymbolSize = 0.123456f;
    CAppSettings::FixedSizeRestraintSize = 0.1f;
    CAppSettings::DF_GlossValue = 1.0f / 3.0f;
    CAppSettings::SaveSettings();
    EXPECT_TRUE(FileHas("\"Constant Frame Rate\"=\"13\""));
    EXPECT_TRUE(FileHas("\"Stress Actual Level 2\"=\"12345\""));
    EXPECT_TRUE(FileHas("\"Stress Pct Level 3\"=\"33.3333\""));
    EXPECT_TRUE(FileHas("\"Pipe Marker Symbol Size\"=\"0.1235\""));
    CAppSettings::InitSettings();
    EXPECT_EQ(CAppSettings::FixedSizeRestraintSize, 0.1f) << "reads back exactly";
    EXPECT_EQ(CAppSettings::DF_GlossValue, 1.0f / 3.0f);
}

TEST_F(CAppSettingsTest, SaveKeepsValuesThisProcessDidNotChange) {
    CAppSettings::InitSettings();
    CAppSettings::SaveSettings();
    // Another program changes two values after this one loaded them.
    SetDword(L"Pipe Color", 0x112233);
    SetString(L"Node Font Name", L"Courier");
    CAppSettings::SteelColor = 0x445566;
    CAppSettings::SaveSettings();
    EXPECT_TRUE(FileHas("\"Pipe Color\"=dword:00112233")) << "the other program's change stays";
    EXPECT_TRUE(FileHas("\"Node Font Name\"=\"Courier\""));
    EXPECT_TRUE(FileHas("\"Steel Color\"=dword:00445566"));
    // A value changed here is written even when it goes back to what was loaded earlier.
    CAppSettings::PipeColor = 0xF0CAA6 ^ 1;
    CAppSettings::SaveSettings();
    EXPECT_TRUE(FileHas("\"Pipe Color\"=dword:00f0caa7"));
    // A value deleted from the store is written again even though it did not change.
    HKEY key = Open();
    RegDeleteValue(key, L"Steel Color");
    RegCloseKey(key);
    CAppSettings::SaveSettings();
    EXPECT_TRUE(FileHas("\"Steel Color\"=dword:00445566"));
}

TEST_F(CAppSettingsTest, ResetDeletesTheSettingsKeyAndStoresDefaults) {
    // No product key: nothing at all happens, not even the "HOOPS" value.
    HKEY hoops = Open(L"HOOPS");
    RegCloseKey(hoops);
    const std::string before = FileText();
    CAppSettings::PipeColor = 1;
    CAppSettings::ResetSettings();
    EXPECT_EQ(FileText(), before);
    EXPECT_EQ(CAppSettings::PipeColor, 1u);

    CAppSettings::InitSettings();
    CAppSettings::PipeColor = 0x010203;
    CAppSettings::SaveSettings();
    RegCloseKey(Open(L"Software\\Velmora\\Halden\\5.30\\Options\\Sub\\Deeper"));
    const std::uint32_t colors[20] = {7};
    const std::uint8_t order[20] = {9};
    ASSERT_TRUE(CAppSettings::StoreColorData(colors, order));
    CAppSettings::ResetSettings();
    EXPECT_EQ(CAppSettings::PipeColor, 0xF0CAA6u);
    EXPECT_TRUE(FileHas("\"Pipe Color\"=dword:00f0caa6"));
    EXPECT_EQ(FileText().find("Deeper"), std::string::npos) << "subkeys are deleted too";
    EXPECT_TRUE(FileHas("\"HOOPS_PICTURE\"=\"OpenGL/Window0\""));
    std::uint32_t colorsBack[20] = {};
    std::uint8_t orderBack[20] = {};
    EXPECT_TRUE(CAppSettings::LoadColorData(colorsBack, orderBack)) << "outside the settings key";
}

TEST_F(CAppSettingsTest, ColorDataProfileValues) {
    std::uint32_t colors[20];
    std::uint8_t order[20];
    for (int i = 0; i < 20; ++i) {
        colors[i] = 0x010101u * static_cast<std::uint32_t>(i);
        order[i] = static_cast<std::uint8_t>(20 - i);
    }
    std::uint32_t out[20] = {};
    std::uint8_t outOrder[20] = {};
    EXPECT_FALSE(CAppSettings::LoadColorData(out, outOrder));
    EXPECT_EQ(out[3], 0u) << "untouched when missing";
    ASSERT_TRUE(CAppSettings::StoreColorData(colors, order));
    ASSERT_TRUE(CAppSettings::LoadColorData(out, outOrder));
    EXPECT_EQ(std::vector<std::uint32_t>(out, out + 20), std::vector<std::uint32_t>(colors, colors + 20));
    EXPECT_EQ(outOrder[0], 20);
    std::vector<std::uint8_t> raw;
    ASSERT_TRUE(CAppSettings::GetProfileBinary(L"ColorData", L"ColorTable", &raw));
    EXPECT_EQ(raw.size(), 80u);
    EXPECT_EQ(raw[4 * 19], 19) << "little-endian colours";
    // A shorter stored table fills the front only.
    const BYTE shortTable[4] = {0xAA, 0xBB, 0xCC, 0};
    ASSERT_TRUE(CAppSettings::WriteProfileBinary(L"ColorData", L"ColorTable", shortTable, 4));
    ASSERT_TRUE(CAppSettings::LoadColorData(out, outOrder));
    EXPECT_EQ(out[0], 0xCCBBAAu);
    EXPECT_EQ(out[1], colors[1]);
    EXPECT_NE(FileText().find("[HKEY_CURRENT_USER\\Software\\Velmora\\Halden\\5.30\\ColorData]"),
              std::string::npos);
}

TEST_F(CAppSettingsTest, UnparsableStoreGivesDefaultsAndStaysByteIdentical) {
    const std::string broken = "Windows Registry Editor Version 5.00\n\n"
                               "[HKEY_CURRENT_USER\\Software\\Velmora\\Halden\\5.30\\Options]\n"
                               "\"Pipe Color\"=dword:00112233\n"
                               "\"Steel Color\"=dword:0011223344\n";
    ASSERT_TRUE(WriteFileAtomically(m_path, broken, nullptr));
    CAppSettings::PipeColor = 5;
    CAppSettings::InitSettings();
    EXPECT_EQ(CAppSettings::PipeColor, 0xF0CAA6u) << "reads give defaults";
    CAppSettings::PipeColor = 6;
    CAppSettings::SaveSettings();
    CAppSettings::ResetSettings();
    const std::uint32_t colors[20] = {};
    const std::uint8_t order[20] = {};
    EXPECT_FALSE(CAppSettings::StoreColorData(colors, order));
    EXPECT_EQ(FileText(), broken);
    ASSERT_EQ(m_shell.messages.size(), 1u) << "reported once";
    EXPECT_NE(m_shell.messages[0].find("registry.reg:5:"), std::string::npos)
        << m_shell.messages[0];
}

TEST_F(CAppSettingsTest, ConstructorTakesTheUserName) {
    m_shell.userName = std::string(300, 'u');
    CAppSettings settings;
    EXPECT_EQ(CAppSettings::AnnotationAuthor, std::wstring(256, L'u'));
    EXPECT_EQ(CAppSettings::DefaultAnnotationAuthor, std::wstring(256, L'u'));
    CAppSettings other;
    CAppSettings::PipeColor = 42;
    other = settings;
    EXPECT_EQ(CAppSettings::PipeColor, 42u);
}
