// HOpConfig: the plot-properties file. Keeps the look of a plot (element colours, text
// styles, symbol sizes and visibility, the last camera and operator) in a small XML file
// and hands the values out as ready-made scene-graph attribute strings.
//
// File format: docs/plot-properties.md. Every getter has a built-in default, so a plot
// draws sensibly with no file at all; reading a value that the file lacks writes the
// default into the file (entries appear in the order they were first used).
//
// Contracts shared by every accessor:
// - Nothing throws. A missing file, entry or value gives the documented default.
// - Until SetConfigFile has run, no accessor touches a file: getters give defaults and
//   setters of file values do nothing.
// - Returned strings point into one result buffer owned by this object. A returned
//   pointer stays valid (and its text unchanged) only until the next call of any member
//   function on the same object; copy the text before calling again. Never null.
// - Each access sees the file as it is on disk: another process's (or another
//   instance's) edits are picked up on the next access. Writes reach the disk before the
//   call returns, atomically (temporary file + rename under an advisory lock on
//   "<file>.lock"), so a crash or a concurrent writer never leaves a torn or lost file.
// - A file that exists but cannot be read or parsed (or is over 16 MiB), or that has no
//   "PlotProperties" root, is never rewritten: getters return defaults and writes are refused. The
//   problem is reported once per file state through the Shell's message box.
// - Every write holds the file's lock ("<file>.lock"); when it cannot be had the write is refused
//   and reported. A file whose permission bits deny writing is never rewritten; reads then do not
//   record the defaults they return.
// - Colour values are 32-bit with red in bits 0-7, green in 8-15 and blue in 16-23;
//   higher bits are ignored.
// - Single-threaded: call from one thread (the user-interface thread).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

namespace ketra::sys {
class FileLock;
}

class HOpConfig {
public:
    enum ConfigType : int {
        ConfigDefault = 0, // plain: defaults from the default colour table or fixed values
        ConfigMarlow = 1,  // pressure-vessel host: vessel colours live in the settings store
        ConfigInput = 2,   // piping host, input plot
        ConfigHDS = 3,     // piping host, "HDS" plot
        ConfigOutput = 4,  // piping host, output plot
        ConfigDynplot = 5  // piping host, dynamic plot
    };

    // Config file = current directory + "/default.xml", type ConfigInput, no table, no file
    // set. (The XML library needs no start-up, so there is no "parser unavailable" case.)
    HOpConfig();
    // Only records the file name; the file is used once SetConfigFile runs.
    explicit HOpConfig(const wchar_t* file);
    // Copies every setting (file, type, table pointer, flags, last result). The copy keeps
    // its own parsed-file cache, refilled from disk on first use.
    HOpConfig(const HOpConfig& other);
    HOpConfig& operator=(const HOpConfig& other);
    ~HOpConfig();

    // ---- Set-up -------------------------------------------------------------------------
    // Uses `file` from now on. A missing or empty (0-byte) file is replaced by a new one
    // (CreateNewConfig). An existing file that cannot be read is left alone and reported.
    // A null or empty path leaves the object without a file (defaults only).
    void SetConfigFile(const wchar_t* file);
    const wchar_t* GetConfigFile() const;
    ConfigType GetConfigType() const { return m_configType; }
    // ConfigMarlow also moves the settings store to the pressure-vessel product key
    // (CAppSettings::PackageName "Marlow", Version "2009").
    void SetConfigType(ConfigType type);
    void SetConfigType(int type) { SetConfigType(static_cast<ConfigType>(type)); }
    // Writes the folder of the running executable, without trailing separator, into `out`
    // (at least 4096 wide characters); "" if unknown. Returns `out`.
    static wchar_t* GetDirectory(wchar_t* out);
    static std::wstring GetDirectory();
    // Chooses the shared colour file: <system dir>/Mrl3DColors.xml when it exists, else
    // copies <exe dir>/system/Mrl3DColors.xml there first; "" when neither exists. The
    // system dir is $KETRA_SYSTEM_DIR, else /etc/ketra. Does not call SetConfigFile.
    void DetermineConfigFileName();
    // Stores the caller's table of colour indices (at least 31 floats); not copied, must
    // outlive its use. Null removes it.
    void SetDefaultColors(float* table) { m_defaultColors = table; }
    // Removes every element style of the file in one atomic rewrite (user settings, stress
    // levels, height scale and symbol sizes survive) and beeps. For ConfigMarlow resets the
    // settings store instead and leaves the file alone.
    void ResetAll();
    // The fixed 16-colour table; any other index gives orange 0x007FFF.
    static unsigned long GetColorByIndex(int index);

    // ---- Element colours: "faces=(diffuse=..,specular=..,transmission=..),lines=..,edges=.."
    // Setters write DiffuseColor/LineColor/EdgeColor and Transmission ("red" when
    // `transparent`, else "black").
    const char* GetPipeColor();
    void SetPipeColor(unsigned long color, bool transparent = false);
    const char* GetBendColor();
    void SetBendColor(unsigned long color, bool transparent = false);
    const char* GetRigidColor();
    void SetRigidColor(unsigned long color, bool transparent = false);
    const char* GetFlangeColor();
    void SetFlangeColor(unsigned long color, bool transparent = false);
    const char* GetRestraintColor();
    void SetRestraintColor(unsigned long color, bool transparent = false);
    const char* GetRestraintCNodeColor();
    void SetRestraintCNodeColor(unsigned long color, bool transparent = false);
    const char* GetAnchorColor();
    void SetAnchorColor(unsigned long color, bool transparent = false);
    const char* GetAnchorCNodeColor();
    void SetAnchorCNodeColor(unsigned long color, bool transparent = false);
    const char* GetHangerColor();
    void SetHangerColor(unsigned long color, bool transparent = false);
    const char* GetHangerCNodeColor();
    void SetHangerCNodeColor(unsigned long color, bool transparent = false);
    const char* GetExpansionJointColor();
    void SetExpansionJointColor(unsigned long color, bool transparent = false);
    const char* GetStructuralSteelColor();
    void SetStructuralSteelColor(unsigned long color, bool transparent = false);
    const char* GetNozzleColor();
    void SetNozzleColor(unsigned long color, bool transparent = false);
    const char* GetDisplacedLineColor();
    void SetDisplacedLineColor(unsigned long color, bool transparent = false);
    const char* GetForcesColor();
    void SetForcesColor(unsigned long color, bool transparent = false);
    const char* GetMomentsColor();
    void SetMomentsColor(unsigned long color, bool transparent = false);
    const char* GetTeeColor();
    void SetTeeColor(unsigned long color, bool transparent = false);
    const char* GetInsulationColor();
    void SetInsulationColor(unsigned long color, bool transparent = false);
    const char* GetNozzleLimitColor2();
    // Writes "GenericNozzleLimit1" with `first` and "GenericNozzleLimit2" with `second`.
    void SetNozzleLimitColor(unsigned long first, unsigned long second, bool transparent = false);
    // Defines the checkerboard texture in the currently open segment (see
    // CreateCheckerboardTexture) and returns the constant "diffuse=checkerboard texture".
    const char* GetNozzleLimitColor();
    // In the open segment: subsegment "checkerboard segment" holds the image
    // "checkerboard image" (16-pixel squares, colour 2 at the origin); the texture
    // "checkerboard texture" is defined only when no texture of that name exists yet.
    // Does nothing for non-positive sizes.
    void CreateCheckerboardTexture(int width, int height, unsigned long color1,
                                   unsigned long color2);

    // ---- Pressure-vessel part colours (settings store only, never the file) -------------
    const char* GetCylinderColor();
    void SetCylinderColor(unsigned long color, bool transparent = false);
    const char* GetEllipseColor();
    void SetEllipseColor(unsigned long color, bool transparent = false);
    const char* GetTorisphereColor();
    void SetTorisphereColor(unsigned long color, bool transparent = false);
    const char* GetSphereColor();
    void SetSphereColor(unsigned long color, bool transparent = false);
    const char* GetConeColor();
    void SetConeColor(unsigned long color, bool transparent = false);
    const char* GetWeldedFlatColor();
    void SetWeldedFlatColor(unsigned long color, bool transparent = false);
    const char* GetBodyFlangeColor();
    void SetBodyFlangeColor(unsigned long color, bool transparent = false);
    const char* GetSkirtColor();
    void SetSkirtColor(unsigned long color, bool transparent = false);
    const char* GetBarRingColor();
    void SetBarRingColor(unsigned long color, bool transparent = false);
    const char* GetStructuralRingColor();
    void SetStructuralRingColor(unsigned long color, bool transparent = false);
    const char* GetHillsideNozzleColor();
    void SetHillsideNozzleColor(unsigned long color, bool transparent = false);
    const char* GetPlatformColor();
    void SetPlatformColor(unsigned long color, bool transparent = false);
    const char* GetPackingColor();
    void SetPackingColor(unsigned long color, bool transparent = false);
    const char* GetSaddleColor();
    void SetSaddleColor(unsigned long color, bool transparent = false);
    const char* GetTrayColor();
    void SetTrayColor(unsigned long color, bool transparent = false);
    const char* GetLugColor();
    void SetLugColor(unsigned long color, bool transparent = false);
    const char* GetLegColor();
    void SetLegColor(unsigned long color, bool transparent = false);
    const char* GetPipeLegColor();
    void SetPipeLegColor(unsigned long color, bool transparent = false);
    const char* GetStructuralLegColor();
    void SetStructuralLegColor(unsigned long color, bool transparent = false);
    const char* GetLiquidColor();
    void SetLiquidColor(unsigned long color, bool transparent = false);
    const char* GetLiningColor();
    void SetLiningColor(unsigned long color, bool transparent = false);
    const char* GetBaseringColor();
    void SetBaseringColor(unsigned long color, bool transparent = false);
    const char* GetCuttingPlaneGridColor();
    void SetCuttingPlaneGridColor(unsigned long color, bool transparent = false);
    const char* GetWeightsColor();
    void SetWeightsColor(unsigned long color, bool transparent = false);
    const char* GetDescriptionColor();
    void SetDescriptionColor(unsigned long color, bool transparent = false);

    // ---- Text styles: annotations, node text, legend text, output text ---------------------
    // Size "%.1f %s" (number, unit); font name; colour "r=%f g=%f b=%f"; transformation
    // "on"/"off"; justification as the alignment character "<", "*" or ">".
    const char* GetAnnotationTextSize();
    const char* GetAnnotationTextFont();
    const char* GetAnnotationTextColor();
    const char* GetAnnotationTextTransformation();
    const char* GetAnnotationTextJustification();
    void SetAnnotationTextSize(int size, const char* unit);
    void SetAnnotationTextFont(const char* name);
    void SetAnnotationTextColor(unsigned long color);
    void SetAnnotationTextTransformation(const char* text);

    const char* GetNodeTextSize();
    const char* GetNodeTextFont();
    const char* GetNodeTextColor();
    const char* GetNodeTextTransformation();
    const char* GetNodeTextJustification();
    void SetNodeTextSize(int size, const char* unit);
    void SetNodeTextFont(const char* name);
    void SetNodeTextColor(unsigned long color);
    void SetNodeTextTransformation(const char* text);
    void SetNodeTextJustification(const char* text);

    const char* GetLegendTextSize();
    const char* GetLegendTextFont();
    const char* GetLegendTextColor();
    const char* GetLegendTextTransformation();
    const char* GetLegendTextJustification();
    void SetLegendTextSize(int size, const char* unit);
    void SetLegendTextFont(const char* name);
    void SetLegendTextColor(unsigned long color);
    void SetLegendTextTransformation(const char* text);
    void SetLegendTextJustification(const char* text);

    const char* GetOutputTextSize();
    const char* GetOutputTextFont();
    const char* GetOutputTextColor();
    const char* GetOutputTextTransformation();
    const char* GetOutputTextJustification();
    // `size` is in tenths: 120 writes "12.0 <unit>".
    void SetOutputTextSize(int size, const char* unit);
    void SetOutputTextFont(const char* name);
    void SetOutputTextColor(unsigned long color);
    void SetOutputTextTransformation(const char* text);
    void SetOutputTextJustification(const char* text);

    // Height scale of the pressure-vessel host: settings store values.
    const char* GetHeightScaleColor();
    void SetHeightScaleColor(unsigned long color, bool transparent = false);
    const char* GetHeightScaleSize();
    const char* GetHeightScaleFont();
    const char* GetHeightScaleTransformation();
    const char* GetHeightScaleJustification();
    void SetHeightScaleSize(int size, const char* unit);
    void SetHeightScaleFont(const char* name);
    void SetHeightScaleTransformation(const char* text);
    void SetHeightScaleJustification(const char* text);

    // ---- Symbol sizes (integers; default 2) -----------------------------------------------
    int GetRestraintSize();
    void SetRestraintSize(int size);
    int GetAnchorSize();
    void SetAnchorSize(int size);
    int GetHangerSize();
    void SetHangerSize(int size);
    int GetNozzleLimitSize();
    void SetNozzleLimitSize(int size);

    // ---- Background ------------------------------------------------------------------------
    unsigned long GetBackgroundTopColor();
    void SetBackgroundTopColor(unsigned long color);
    unsigned long GetBackgroundBottomColor();
    void SetBackgroundBottomColor(unsigned long color);
    // "windows=<colour>".
    const char* GetBackgroundColor();
    void SetBackgroundColor(unsigned long color);

    // ---- Markers and transparency ---------------------------------------------------------
    const char* GetMarkerColor();
    void SetMarkerColor(unsigned long color); // settings store: pipe and bend marker colours
    const char* GetMarkerSymbol();
    void SetMarkerSymbol(const char* symbol); // settings store: pipe and bend marker symbols
    bool GetUseMarkerSymbol();
    void SetUseMarkerSymbol(bool use);
    const char* GetMarkerSize(); // "%0.04f" of the pipe marker size
    void SetMarkerSize(float size);
    float GetInvisiblePercent(); // transparency factor 0..1
    void SetInvisiblePercent(float factor);

    // ---- Other element values -------------------------------------------------------------
    const char* GetMaterialIDColor();
    void SetMaterialIDColor(unsigned long color, bool transparent = false);
    const char* GetSectionIDColor();
    void SetSectionIDColor(unsigned long color, bool transparent = false);
    const char* GetDimensionsColor();
    void SetDimensionsColor(unsigned long color, bool transparent = false);
    float GetDisplacedLineWeight();
    void SetDisplacedLineWeight(float weight);
    float GetDisplacedLineScale();
    void SetDisplacedLineScale(float scale);
    const char* GetDisplacedLinePattern();
    void SetDisplacedLinePattern(const char* pattern);

    // ---- Stress levels 1..5: entry "StressLevel <n>" --------------------------------------
    void SetStressLevel1(unsigned long color, float level);
    void SetStressLevel2(unsigned long color, float level);
    void SetStressLevel3(unsigned long color, float level);
    void SetStressLevel4(unsigned long color, float level);
    void SetStressLevel5(unsigned long color, float level);
    const char* GetStressLevelColor1();
    const char* GetStressLevelColor2();
    const char* GetStressLevelColor3();
    const char* GetStressLevelColor4();
    const char* GetStressLevelColor5();

    // ---- User settings --------------------------------------------------------------------
    const char* GetLastOperator();
    void SetLastOperator(const char* name);
    bool GetRestorePreviousOperator();
    void SetRestorePreviousOperator(bool restore);
    bool GetRestorePreviousView();
    void SetRestorePreviousView(bool restore);
    // View mode numbers: 1 "XY", 2 "YX", 3 "XZ", 4 "ZX", 5 "YZ", 6 "ZY", 7 "Iso",
    // 26 "Unknown"; other stored text reads as 7, other values write "Unknown".
    int GetLastViewMode();
    void SetLastViewMode(int mode);

    // Camera points: `xyz` receives three floats (0, 0, 0 where the file has no value).
    void GetLastCameraPosition(float* xyz);
    void GetLastCameraTarget(float* xyz);
    void GetLastCameraUpVector(float* xyz);
    void SetLastCameraPosition(const float* xyz);
    void SetLastCameraTarget(const float* xyz);
    void SetLastCameraUpVector(const float* xyz);
    // Any point type with float members x, y, z (HPoint).
    template <typename P> void GetLastCameraPosition(P& p) {
        GetPoint(&HOpConfig::GetLastCameraPosition, p);
    }
    template <typename P> void GetLastCameraTarget(P& p) {
        GetPoint(&HOpConfig::GetLastCameraTarget, p);
    }
    template <typename P> void GetLastCameraUpVector(P& p) {
        GetPoint(&HOpConfig::GetLastCameraUpVector, p);
    }
    template <typename P> void SetLastCameraPosition(const P& p) {
        SetPoint(&HOpConfig::SetLastCameraPosition, p);
    }
    template <typename P> void SetLastCameraTarget(const P& p) {
        SetPoint(&HOpConfig::SetLastCameraTarget, p);
    }
    template <typename P> void SetLastCameraUpVector(const P& p) {
        SetPoint(&HOpConfig::SetLastCameraUpVector, p);
    }
    float GetLastCameraFieldWidth();
    float GetLastCameraFieldHeight();
    void SetLastCameraFieldWidth(const float* width);   // null: nothing written
    void SetLastCameraFieldHeight(const float* height); // null: nothing written

    // Symbol display flags ("on"/"off").
    bool GetRestraintDisplay();
    void SetRestraintDisplay(bool show);
    bool GetAnchorDisplay();
    void SetAnchorDisplay(bool show);
    bool GetHangerDisplay();
    void SetHangerDisplay(bool show);
    bool GetNozzleDisplay();
    void SetNozzleDisplay(bool show);
    bool GetFlangeDisplay();
    void SetFlangeDisplay(bool show);
    bool GetNozzleLimitDisplay();
    void SetNozzleLimitDisplay(bool show);
    bool GetMaterialDisplay();
    void SetMaterialDisplay(bool show);
    bool GetDisplacementDisplay();
    void SetDisplacementDisplay(bool show);
    bool GetForcesDisplay();
    void SetForcesDisplay(bool show);
    bool GetTeeDisplay();
    void SetTeeDisplay(bool show);
    bool GetNodeNumberDisplay();
    void SetNodeNumberDisplay(bool show);
    bool GetLengthDisplay();
    void SetLengthDisplay(bool show);
    bool GetTempDisplay(int ignored = 0);
    void SetTempDisplay(int show);
    bool GetPressureDisplay(int ignored = 0);
    void SetPressureDisplay(int show);
    // Projection: 1 perspective, 2 orthographic, 3 stretched.
    int GetProjectionDisplay();
    void SetProjectionDisplay(int mode);

    bool GetSmoothUpdates();
    void SetSmoothUpdates(bool smooth);
    bool GetHideOverlappedText();
    void SetHideOverlappedText(bool hide);
    int GetRenderMode(); // the view layer's render mode number
    void SetRenderMode(int mode);
    bool GetRestoreRenderMode();
    void SetRestoreRenderMode(bool restore);
    bool GetOrbitBoundingBoxVisibility();
    void SetOrbitBoundingBoxVisibility(bool visible);

    // ---- Plant-design model ---------------------------------------------------------------
    const char* GetSavedDraftonFileName();
    // Stores the drawing name and "%d" of `crc`; `fileTime` and `flag` are not stored.
    void SetSavedDraftonFileName(const char* name, int crc, const void* fileTime = nullptr,
                                 int flag = 0);

    // Within a Snapshot's lifetime the file is checked for changes once, at the first
    // value read: a series of reads sees one version of the file and costs one check.
    // Writes are unaffected (they always lock and re-read). Nestable.
    class Snapshot {
    public:
        explicit Snapshot(HOpConfig& config);
        ~Snapshot();
        Snapshot(const Snapshot&) = delete;
        Snapshot& operator=(const Snapshot&) = delete;

    private:
        HOpConfig& m_config;
    };

    // Within a ReadOnly's lifetime a value that the file lacks gives its default without
    // being written to the file, so showing values (an options dialog that may be
    // cancelled) leaves the file as it is. Setters still write. Nestable.
    class ReadOnly {
    public:
        explicit ReadOnly(HOpConfig& config);
        ~ReadOnly();
        ReadOnly(const ReadOnly&) = delete;
        ReadOnly& operator=(const ReadOnly&) = delete;

    private:
        HOpConfig& m_config;
    };

    // Test and diagnostic aid: how many times the file has been parsed from disk by this
    // object (the cache makes unchanged files parse once).
    std::uint64_t GetParseCount() const;

private:
    struct Impl;

    // Core file operations. `section` is "Element", "UserSettings" or "DraftonModel".
    // GetAttribute returns the stored text or `def` (writing `def` when missing); the
    // result is left in the result buffer.
    const char* GetAttribute(const char* section, const char* name, const char* attribute,
                             const char* def);
    // Copying form for callers that combine several values.
    std::string Attr(const char* section, const char* name, const char* attribute,
                     const std::string& def);
    void SetAttribute(const char* section, const char* name, const char* attribute,
                      const std::string& value);
    // Several attributes of one entry in one atomic write.
    void SetAttributes(const char* section, const char* name,
                       std::initializer_list<std::pair<const char*, std::string>> values);
    bool HasFile() const;
    // Writes a new file (declaration, banner comments, empty root) when the config file is
    // missing or empty; an existing non-empty file is never replaced.
    void CreateNewConfig();

    // Family helpers.
    struct ColorFamily;
    const char* GetFamilyColor(const ColorFamily& family);
    void SetFamilyColor(const char* name, unsigned long color, bool transparent);
    unsigned long TableOr(int index, unsigned long fixed) const;
    bool IsPipingHost() const {
        return m_configType >= ConfigInput && m_configType <= ConfigDynplot;
    }
    const char* Result(std::string text);

    // Text style helpers.
    struct TextStyle;
    static const TextStyle& AnnotationStyle();
    static const TextStyle& NodeStyle();
    static const TextStyle& LegendStyle();
    static const TextStyle& OutputStyle();
    const char* GetTextSize(const TextStyle& style);
    const char* GetTextFont(const TextStyle& style);
    const char* GetTextColor(const TextStyle& style);
    const char* GetTextTransformation(const TextStyle& style);
    const char* GetTextJustification(const TextStyle& style);
    unsigned long GetBackgroundEdgeColor(const char* attribute, unsigned long settingsColor);
    const char* GetStressLevelColor(int level);
    void SetStressLevel(int level, unsigned long color, float value);
    bool GetFlag(const char* section, const char* name, const char* attribute, const char* def);
    void SetFlag(const char* section, const char* name, const char* attribute, bool on);
    void GetPointAttribute(const char* attribute, float* xyz);
    void SetPointAttribute(const char* attribute, const float* xyz);
    const char* OperatorEntry() const;
    const char* ViewEntry() const;
    void Report(const std::string& message);
    void ReportUnlocked(const std::string& path, const ketra::sys::FileLock& lock);

    template <typename P> void GetPoint(void (HOpConfig::*get)(float*), P& p) {
        float v[3];
        (this->*get)(v);
        p.x = v[0];
        p.y = v[1];
        p.z = v[2];
    }
    template <typename P> void SetPoint(void (HOpConfig::*set)(const float*), const P& p) {
        const float v[3] = {static_cast<float>(p.x), static_cast<float>(p.y),
                            static_cast<float>(p.z)};
        (this->*set)(v);
    }

public:
    // Formatting shared with the style application. Locale-independent.
    // "r=%f g=%f b=%f" with each channel / 255.
    static std::string FormatColor(unsigned long color);
    // "faces=(diffuse=%s,specular=%s,transmission=%s),lines=%s,edges=%s".
    static std::string BuildColorSettingString(unsigned long diffuse, unsigned long lines,
                                               unsigned long edges, unsigned long specular,
                                               unsigned long transmission);
    // "faces=(diffuse=c, specular=white, transmission=black),lines=c,edges=c".
    static std::string FormatMRLColor(unsigned long color);
    // C atof / atoi semantics in the "C" locale (leading blanks, sign, stops at junk, 0).
    static double Atof(const char* text);
    static int Atoi(const char* text);
    // printf("%.<precision>f") in the "C" locale.
    static std::string FormatFixed(double value, int precision);
    // The number after `token` ("r=", "x=") in `text`, 0 when absent.
    static double NumberAfter(const std::string& text, const char* token);
    // "left" -> "<", "center" -> "*", anything else -> ">" (case-insensitive).
    static const char* JustificationChar(const std::string& text);

private:
    std::wstring m_configFile;
    std::string m_result;
    float* m_defaultColors = nullptr;
    std::unique_ptr<Impl> m_impl;
    ConfigType m_configType = ConfigInput;
    bool m_fileSet = false;
};
