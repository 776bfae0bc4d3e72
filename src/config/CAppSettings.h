// CAppSettings: the settings the component shares with its host programs (colours, fonts,
// markers, view, navigation and host options), kept in static members and stored in the
// per-user registry (platform/sys/Registry.h) under
//   HKEY_CURRENT_USER\Software\<CompanyName>\<PackageName>\<Version>\<RegOptionsSection>.
//
// Every setting is three static members: the value (`PipeColor`), its default
// (`DefaultPipeColor`; prefixed names put "Default" after the prefix, as in
// `MRL_DefaultCylinderColor`) and its registry value name (`PipeColorEntry`, "Pipe Color").
// The table below lists them all, in load order; KETRA_APP_SETTINGS expands it.
//
// Types: colours std::uint32_t (red bits 0-7, green 8-15, blue 16-23); flags, levels and
// enumerations (ProjMode, ViewMode, HRenderMode, HShadowMode, AxisMode) int; "(bool)" rows
// bool; numbers float (stored as REG_SZ text); texts std::wstring.
//
// Saving writes only what needs writing: a value this process changed since it last loaded
// or saved it, and every value the store lacks (or holds in an unreadable form). A value
// this process did not change is left as the store has it, so two programs running at once
// do not undo each other's changes; a single program sees every value stored after a save.
//
// Static data of the user-interface thread; no locking beyond the registry's own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Row forms (prefix may be empty; flags: Load = loaded and saved, SaveOnly = saved but not
// loaded, LowByte = a bool whose stored number is true when its lowest byte is non-zero):
//   C(prefix, Name, "value name", default, flags)            colour
//   I(prefix, Name, "value name", default, flags)            int
//   B(prefix, Name, "value name", default, flags)            bool
//   N(prefix, Name, "value name", default, decimals, flags)  number as text; decimals -1:
//                                                            shortest text that reads back
//   T(prefix, Name, "value name", default, initial, flags)   text; `initial` is the member's
//                                                            value before the first load
#define KETRA_APP_SETTINGS(C, I, B, N, T)                                                          \
    C(, WindowBackgroundTopColor, L"Background Top Color", 0x969696, Load)                         \
    C(, WindowBackgroundBottomColor, L"Background Bottom Color", 0x5F5F5F, Load)                   \
    C(, DisplacedShapeColor, L"Displaced Shape Color", 0x008080, Load)                             \
    C(, ExpJointColor, L"Expansion Joint Color", 0x00FF00, Load)                                   \
    C(, NodeColor, L"Node Text Color", 0x0000FF, Load)                                             \
    C(, NozzleColor, L"Nozzle Color", 0xFF00FF, Load)                                              \
    C(, FlangeColor, L"Flange Color", 0xFF00FF, Load)                                              \
    C(, NozzleLimitColor1, L"Nozzle Limit Color 1", 0x0000FF, Load)                                \
    C(, NozzleLimitColor2, L"Nozzle Limit Color 2", 0xFFFFFF, Load)                                \
    C(, PipeColor, L"Pipe Color", 0xF0CAA6, Load)                                                  \
    C(, RestraintColor, L"Restraint Color", 0x00FF00, Load)                                        \
    C(, RestraintCNodeColor, L"CNode Restraint Color", 0x00FF00, Load)                             \
    C(, AnchorColor, L"Anchor Color", 0x00FF00, Load)                                              \
    C(, AnchorCNodeColor, L"CNode Anchor Color", 0x00FF00, Load)                                   \
    C(, HangerColor, L"Hanger Color", 0x800080, Load)                                              \
    C(, HangerCNodeColor, L"CNode Hanger Color", 0x800080, Load)                                   \
    C(, RigidColor, L"Rigid Color", 0x00FF00, Load)                                                \
    C(, SIFSTeesColor, L"SIFS/Tee Color", 0xFF00FF, Load)                                          \
    C(, SteelColor, L"Steel Color", 0xC0C0C0, Load)                                                \
    C(, OutputTextColor, L"Output Text Color", 0x000080, Load)                                     \
    B(, bSmoothTransition, L"Smooth Transition", true, LowByte)                                    \
    C(, InsulationColor, L"Insulation Color", 0x000000, Load)                                      \
    I(, ProjectionMode, L"Projection Mode", 2, Load)                                               \
    I(, RenderMode, L"Render Mode", 10, Load)                                                      \
    C(, PipeMarkerColor, L"Pipe Marker Color", 0x0000FF, Load)                                     \
    C(, BendMarkerColor, L"Bend Marker Color", 0x00FFFF, Load)                                     \
    N(, PipeMarkerSymbolSize, L"Pipe Marker Symbol Size", 0.25f, 4, Load)                          \
    N(, BendMarkerSymbolSize, L"Bend Marker Symbol Size", 0.25f, 4, Load)                          \
    I(, VisibilityPercent, L"Visibility Percentage", 50, Load)                                     \
    I(, HideOverlappingText, L"Hide Overlapping Text", 0, Load)                                    \
    I(, ShowMarkers, L"Show Markers", 1, Load)                                                     \
    I(, RestraintHelixIsPolyline, L"Restraint Helix Is Polyline", 1, Load)                         \
    I(, SilhouetteModeNodeTextAlwaysVisible, L"Silhouette Mode Node Text Always Visible", 1, Load) \
    I(, RenderedModeNodeTextAlwaysVisible, L"Rendered Mode Node Text Always Visible", 0, Load)     \
    C(, LegendFontColor, L"Legend Font Color", 0x0000FF, Load)                                     \
    I(, UseSystemFontInfo, L"System Fonts Override Local Settings", 1, Load)                       \
    I(, UseSystemColorInfo, L"System Colors Override Local Settings", 1, Load)                     \
    B(, bBackplaneCulling, L"Backplane Culling", false, Load)                                      \
    B(, bWalkUseKeyboard, L"Use Keyboard Walk", false, Load)                                       \
    B(, bWalkAutomaticHeight, L"Use Automatic Height", true, Load)                                 \
    B(, bWalkSnapToFloor, L"Use Snap to floor Walk", false, Load)                                  \
    B(, bWalkCollision, L"Use Collision Walk", false, Load)                                        \
    C(, AnnotationFontColor, L"Annotation Font Color", 0x0000FF, Load)                             \
    C(, AnnotationLineColor, L"Annotation Line Color", 0x0000FF, Load)                             \
    C(, AnnotationBackgroundColor, L"Annotation Background Color", 0xFFFFFF, Load)                 \
    I(, UseAnnotationBackgroundColor, L"Use Annotation Background", 1, Load)                       \
    I(, AnnotationBackgroundType, L"Annotation Background Type", 2, Load)                          \
    C(MRL_, CylinderColor, L"Cylinder Color", 0xC0C0C0, Load)                                      \
    C(MRL_, EllipseColor, L"Ellipse Color", 0xC0C0C0, Load)                                        \
    C(MRL_, TorisphereColor, L"Torisphere Color", 0xC0C0C0, Load)                                  \
    C(MRL_, SphereColor, L"Sphere Color", 0xC0C0C0, Load)                                          \
    C(MRL_, LiquidColor, L"Liquid Color", 0x800000, Load)                                          \
    C(MRL_, LiningColor, L"Lining Color", 0x800000, Load)                                          \
    C(MRL_, BaseRingColor, L"Base Ring Color", 0xC0C0C0, Load)                                     \
    C(MRL_, HillsideNozzleColor, L"Hillside Nozzle Color", 0x00FF00, Load)                         \
    C(MRL_, PlatformColor, L"Platform Color", 0xFFFF00, Load)                                      \
    C(MRL_, PackingColor, L"Packing Color", 0x00FFFF, Load)                                        \
    C(MRL_, SaddleColor, L"Saddle Color", 0x000080, Load)                                          \
    C(MRL_, TrayColor, L"Tray Color", 0xC0C0C0, Load)                                              \
    C(MRL_, LugColor, L"Lug Color", 0xC0C0C0, Load)                                                \
    C(MRL_, ConeColor, L"Cone Color", 0xC0C0C0, Load)                                              \
    C(MRL_, WeldedFlatColor, L"Welded Flat Color", 0xC0C0C0, Load)                                 \
    C(MRL_, BodyFlangeColor, L"Body Flange Color", 0xC0C0C0, Load)                                 \
    C(MRL_, BarRingColor, L"Bar Ring Color", 0x00FF00, Load)                                       \
    C(MRL_, StructuralRingsColor, L"Structural Rings Color", 0x000080, Load)                       \
    C(MRL_, SkirtColor, L"Skirt Color", 0xC0C0C0, Load)                                            \
    C(MRL_, InsulationColor, L"Insulation Color", 0xFF00FF, Load)                                  \
    C(MRL_, NozzleColor, L"Nozzle Color", 0x00FF00, Load)                                          \
    C(MRL_, TextDescriptionColor, L"Text Description Color", 0xFFFF00, Load)                       \
    C(MRL_, WeightColor, L"Weight Color", 0xFFFF00, Load)                                          \
    C(MRL_, LegColor, L"Leg Color", 0x000080, Load)                                                \
    C(MRL_, PipeLegColor, L"Pipe Leg Color", 0x00FF00, Load)                                       \
    C(MRL_, StructuralLegColor, L"Structural Leg Color", 0x000080, Load)                           \
    C(MRL_, CuttingPlaneGridColor, L"Cutting Plane Grid Color", 0xC0C0C0, Load)                    \
    C(MRL_, HeightScaleFontColor, L"Height Scale Font Color", 0x0000FF, Load)                      \
    KETRA_HOST_SETTINGS(C, I, B, N, T)

// The values only the host programs use, in load order, then those saved but never loaded.
#define KETRA_HOST_SETTINGS(C, I, B, N, T)                                                         \
    C(, StressPctColor1, L"Stress Pct Color 1", 0xF0CAA6, Load)                                    \
    C(, StressPctColor2, L"Stress Pct Color 2", 0xC0DCC0, Load)                                    \
    C(, StressPctColor3, L"Stress Pct Color 3", 0x008000, Load)                                    \
    C(, StressPctColor4, L"Stress Pct Color 4", 0x00FFFF, Load)                                    \
    C(, StressPctColor5, L"Stress Pct Color 5", 0x000080, Load)                                    \
    C(, StressPctColor6, L"Stress Pct Color 6", 0x0000FF, Load)                                    \
    C(, StressActualColor1, L"Stress Actual Value Color 1", 0xF0CAA6, Load)                        \
    C(, StressActualColor2, L"Stress Actual Value Color 2", 0xC0DCC0, Load)                        \
    C(, StressActualColor3, L"Stress Actual Value Color 3", 0x008000, Load)                        \
    C(, StressActualColor4, L"Stress Actual Value Color 4", 0x00FFFF, Load)                        \
    C(, StressActualColor5, L"Stress Actual Value Color 5", 0x000080, Load)                        \
    C(, StressActualColor6, L"Stress Actual Value Color 6", 0x0000FF, Load)                        \
    I(, OldSchoolRestraints, L"4.30 Symbols", 0, Load)                                             \
    N(, FrameRate, L"Constant Frame Rate", 10.0f, 0, Load)                                         \
    N(, StressActualValue1, L"Stress Actual Level 1", 10000.0f, 0, Load)                           \
    N(, StressActualValue2, L"Stress Actual Level 2", 10000.0f, 0, Load)                           \
    N(, StressActualValue3, L"Stress Actual Level 3", 15000.0f, 0, Load)                           \
    N(, StressActualValue4, L"Stress Actual Level 4", 20000.0f, 0, Load)                           \
    N(, StressActualValue5, L"Stress Actual Level 5", 25000.0f, 0, Load)                           \
    N(, StressActualValue6, L"Stress Actual Level 6", 30000.0f, 0, Load)                           \
    N(, StressPctLevel1, L"Stress Pct Level 1", 20.0f, 4, Load)                                    \
    N(, StressPctLevel2, L"Stress Pct Level 2", 20.0f, 4, Load)                                    \
    N(, StressPctLevel3, L"Stress Pct Level 3", 40.0f, 4, Load)                                    \
    N(, StressPctLevel4, L"Stress Pct Level 4", 60.0f, 4, Load)                                    \
    N(, StressPctLevel5, L"Stress Pct Level 5", 80.0f, 4, Load)                                    \
    N(, StressPctLevel6, L"Stress Pct Level 6", 100.0f, 4, Load)                                   \
    I(, ShadowMode, L"Shadow Mode", 1, Load)                                                       \
    C(, PolygonSelectionColor, L"Polygon Selection Color", 0x00F9FF, Load)                         \
    C(, LineSelectionColor, L"Line Selection Color", 0x00F9FF, Load)                               \
    C(, MarkerSelectionColor, L"Marker Selection Color", 0x00F9FF, Load)                           \
    C(, MarkupColor, L"Markup Color", 0x0000FF, Load)                                              \
    T(, InitialOperator, L"Initial Operator", L"HOpCameraZoomBoxEx", L"HCameraOrbitEx", Load)      \
    T(, PipeMarkerSymbol, L"Pipe Marker Symbol", L"(.)", L"(.)", Load)                             \
    T(, BendMarkerSymbol, L"Bend Marker Symbol", L"(.)", L"(.)", Load)                             \
    I(, InitialViewMode, L"Initial View Mode", 7, Load)                                            \
    I(, ShowBoundingBox, L"Show Bounding Box", 1, Load)                                            \
    I(, bForceReloadStatus, L"Force Reload Status", 1, Load)                                       \
    I(, ForceBlackAndWhitePrinting, L"Force Black and White Printing", 1, Load)                    \
    I(, SystemAxisMode, L"Axis Mode", 3, Load)                                                     \
    I(, UseFixedSizeRestraints, L"Use Fixed Size Restraints", 0, Load)                             \
    N(, FixedSizeRestraintSize, L"Fixed Size Restraint", 6.0f, -1, Load)                           \
    I(, OnIdleProcessCount, L"OnIdle Process Count", 50, Load)                                     \
    T(, NodeFontName, L"Node Font Name", L"Arial", L"Arial", Load)                                 \
    T(, NodeFontSize, L"Node Font Size", L"28.0 pts", L"28.0 pts", Load)                           \
    C(, NodeFontColor, L"Node Font Color", 0x0000FF, Load)                                         \
    T(, LegendFontName, L"Legend Font Name", L"Arial", L"Arial", Load)                             \
    T(, LegendFontSize, L"Legend Font Size", L"12.0 pts", L"12.0 pts", Load)                       \
    I(, UseUniformBackgroundColor, L"Use Uniform Background Color", 0, Load)                       \
    I(, ListsShowConvertedValues, L"Lists Show Converted Values", 1, Load)                         \
    I(, GlobalSettingsOverrideLocal, L"Global Settings Override Local Settings", 1, Load)          \
    T(, OutputTextFontSize, L"Output Text Font Size", L"12.0 pts", L"12.0 pts", Load)              \
    T(, OutputTextFontName, L"Output Text Font Name", L"Arial", L"Arial", Load)                    \
    I(DF_, LineVisibility, L"Drafton Line Visibility", 0, Load)                                    \
    N(DF_, GlossValue, L"Drafton Gloss Value", 1.0f, -1, Load)                                     \
    C(DF_, SpecularColor, L"Drafton Specular Color", 0xFFFFFF, Load)                               \
    C(DF_, AmbientColor, L"Drafton Ambient Color", 0xFFFFFF, Load)                                 \
    C(DF_, FaceColor, L"Drafton Face Color", 0x5F5F5F, Load)                                       \
    C(DF_, LineColor, L"Drafton Line Color", 0xA0A0A0, Load)                                       \
    C(DF_, TransmissionColor, L"Drafton Transmission Color", 0xA0A0A0, Load)                       \
    I(DF_, UseAutoCADLayerColors, L"Drafton Use AutoCAD Layer Colors", 0, Load)                    \
    I(DF_, ShowModel, L"Drafton Show Model", 1, Load)                                              \
    I(DF_, DebugMode, L"DFT2HD Debug Mode", 0, Load)                                               \
    T(DF_, ModelKeyOutputFileName, L"DFT2HD Model Key File Name", L"c:\\DWGModelKey.HMF",          \
      L"c:\\DWGModelKey.hmf", Load)                                                                \
    T(DF_, ViewKeyOutputFileName, L"DFT2HD View Key File Name", L"c:\\DWGViewKey.hmf",             \
      L"c:\\DWGViewKey.hmf", Load)                                                                 \
    T(DF_, DWGKeyOutputFileName, L"DFT2HD DFT Key Only File Name", L"c:\\DWG_DFKey.hmf",           \
      L"c:\\DWG_DFKey.hmf", Load)                                                                  \
    I(, RestorePreviousView, L"Restore Previous View", 1, Load)                                    \
    I(, RestorePreviousOperator, L"Restore Previous Operator", 1, Load)                            \
    I(, RestorePreviousProjectionMode, L"Restore Previous Projection Mode", 1, Load)               \
    I(, RestorePreviousRenderMode, L"Restore Previous Render Mode", 1, Load)                       \
    I(, RestorePreviousAnchorSize, L"Restore Previous Anchor Size", 1, Load)                       \
    I(, RestorePreviousHangerSize, L"Restore Previous Hanger Size", 1, Load)                       \
    I(, RestorePreviousRestraintSize, L"Restore Previous Restraint Size", 1, Load)                 \
    I(, RestorePreviousNozzleLimitSize, L"Restore Previous NozzleLimit Size", 1, Load)             \
    I(DFTPlantTooltip_, ShowDrawingPath, L"DFTPlant Show Drawing Path", 1, Load)                   \
    I(DFTPlantTooltip_, ShowHOOPSPath, L"DFTPlant Show HOOPS Path", 0, Load)                       \
    I(DFTPlantTooltip_, ShowAppName, L"DFTPlant Show App Name", 0, Load)                           \
    I(DFTPlantTooltip_, ShowLineNumber, L"DFTPlant Show Line Number", 1, Load)                     \
    I(DFTPlantTooltip_, ShowLongDescription, L"DFTPlant Show Long Description", 1, Load)           \
    I(DFTPlantTooltip_, ShowLongDescription_Steel, L"DFTSteel Show Long Description for Steel", 1, \
      Load)                                                                                        \
    I(DFTPlantTooltip_, ShowShortDescription, L"DFTPlant Show Short Description", 0, Load)         \
    I(DFTPlantTooltip_, ShowShortDescription_Steel, L"DFTSteel Show Short Description for Steel",  \
      0, Load)                                                                                     \
    I(DFTPlantTooltip_, ShowTagNumber, L"DFTPlant Show Tag Number", 1, Load)                       \
    I(DFTPlantTooltip_, ShowAlphaSize, L"DFTPlant Show Alpha Size", 1, Load)                       \
    I(DFTPlantTooltip_, ShowPipeLength, L"DFTPlant Show Pipe Length", 1, Load)                     \
    I(DFTPlantTooltip_, ShowSteelPieceLength, L"DFTSteel Show Steel Piece Length", 1, Load)        \
    I(DFTPlantTooltip_, ShowPipeWallThickness, L"DFTPlant Show Pipe Wall Thickness", 1, Load)      \
    I(DFTPlantTooltip_, ShowPipeWeight, L"DFTPlant Show Pipe Weight", 1, Load)                     \
    I(DFTPlantTooltip_, ShowSteelPieceWeight, L"DFTSteel Show Steel Piece Weight", 1, Load)        \
    I(DFTPlantTooltip_, ShowItemDescriptions, L"DFTPlant Show Item Descriptions", 1, Load)         \
    C(, WalkSelectedColor, L"Selection Highlight Color", 0x00FFF0, Load)                           \
    C(, WalkNonSelectedColor, L"Non-selection Color", 0xC0C0C0, Load)                              \
    I(, WalkUseNonSelectedGrayScale, L"NonSelected Geometry Uses Gray Scale", 1, Load)             \
    I(, WalkShadowType, L"Shadow Type", 0, Load)                                                   \
    I(, WalkNonSelectedColorVisibility, L"Non-selection Visibility", 50, Load)                     \
    I(, WalkPropertySelectionMovesHighlight, L"Property Selection Moves Highlights", 1, Load)      \
    I(, bImportDWGViaBstream, L"Import DWG Via Stream", 1, Load)                                   \
    T(, DWGTextureDirectory, L"DWG Texture Directory", L"", L"", Load)                             \
    T(, DWGDeviation, L"DWG Facet/Curve Deviation", L"10.0", L"10.0", Load)                        \
    I(, bUseSelectionInverseTransparency, L"Selection Uses Inverse Transparency", 3, Load)         \
    I(DF_, UnitsDisplayPrecision, L"Units Display Precision", 32, Load)                            \
    I(DF_, UnitsDisplayType, L"Units Display Type", 3, Load)                                       \
    I(DF_, UnitsDisplayDecimalDisplay, L"Units Display Decimal Precision", 2, Load)                \
    T(, AnnotationFontName, L"Annotation Font Name", L"Arial", L"Arial", Load)                     \
    T(, AnnotationFontSize, L"Annotation Font Size", L"8.0 pts", L"8.0 pts", Load)                 \
    T(, AnnotationAuthor, L"Annotation Author Name", L"", L"", Load)                               \
    T(, AnnotationLineWeight, L"Annotation Line Weight", L"2.000", L"2.000", Load)                 \
    I(, CullingThreshold, L"CullingThreshold", 9, Load)                                            \
    B(, CullingFrustum, L"Use Culling Frustum", true, Load)                                        \
    I(, CullingMaxExtent, L"Culling Max Extent", 5, Load)                                          \
    I(, AllowDisplacementImport, L"Allow Displacement Entry From File", 0, Load)                   \
    C(MRL_, HeightScaleDimensionColor, L"Height Scale Dimension Color", 0xFFFF00, Load)            \
    T(MRL_, HeightScaleFontName, L"Height Scale Font Name", L"Arial", L"Arial", Load)              \
    T(MRL_, HeightScaleFontSize, L"Height Scale Font Size", L"10 pts", L"10 pts", Load)            \
    T(MRL_, HeightScaleFontJustification, L"Height Scale Font Justification", L"left", L"left",    \
      Load)                                                                                        \
    T(MRL_, HeightScaleFontTransformation, L"Height Scale Font Transformation", L"off", L"off",    \
      Load)                                                                                        \
    C(, ResizeOperatorMarkerSymbolColor, L"Resize Operator Marker Color", 0x0000FF, SaveOnly)      \
    T(, ResizeOperatorMarkerSymbol, L"Resize Operator Marker Symbol", L"(.)", L"(.)", SaveOnly)    \
    N(, ResizeOperatorMarkerSymbolSize, L"Resize Operator Marker Symbol Size", 1.25f, -1,          \
      SaveOnly)                                                                                    \
    I(, WalkAvatarHeight, L"Avatar Height", 200, SaveOnly)                                         \
    I(, WalkStepHeightUp, L"Step Height up", 20, SaveOnly)                                         \
    I(, WalkStepHeightDown, L"Step Height Down", 80, SaveOnly)

namespace ketra::sys {
struct HKEY__;
}

#define KETRA_SETTING_MEMBERS(type, prefix, name)                                                  \
    static type prefix##name;                                                                      \
    static type prefix##Default##name;                                                             \
    static const std::wstring prefix##name##Entry;
#define KETRA_DECLARE_COLOR(p, n, e, d, f) KETRA_SETTING_MEMBERS(std::uint32_t, p, n)
#define KETRA_DECLARE_INT(p, n, e, d, f) KETRA_SETTING_MEMBERS(int, p, n)
#define KETRA_DECLARE_BOOL(p, n, e, d, f) KETRA_SETTING_MEMBERS(bool, p, n)
#define KETRA_DECLARE_NUMBER(p, n, e, d, x, f) KETRA_SETTING_MEMBERS(float, p, n)
#define KETRA_DECLARE_TEXT(p, n, e, d, i, f) KETRA_SETTING_MEMBERS(std::wstring, p, n)

class CAppSettings {
public:
    // Sets AnnotationAuthor and DefaultAnnotationAuthor to the user's login name (at most
    // 256 characters).
    CAppSettings();
    // There is no instance data: assignment copies nothing.
    CAppSettings& operator=(const CAppSettings&) { return *this; }

    // Loads every setting from the settings key (creating the key). A missing value, or one
    // of the wrong type or size, sets the member to its default. "Smooth Transition" is true
    // when its lowest byte is non-zero, other bools only when the number is exactly 1;
    // OnIdleProcessCount below 1 becomes 1; the MRL_ members are loaded only when
    // PackageName is "Marlow". Values marked SaveOnly are not loaded.
    static void InitSettings();
    // Stores the settings (see the header comment for which ones are written). Where two
    // members share a value name ("Insulation Color", "Nozzle Color"), the member of the
    // active host writes it: the MRL_ one for "Marlow", the other one otherwise. A no-op when
    // the key cannot be opened or the store's file cannot be parsed; a store that cannot be
    // locked or written is reported through the Shell (once per kind of failure).
    static void SaveSettings();
    // Deletes the settings key with all its subkeys, sets the "HOOPS" key's "HOOPS_PICTURE"
    // to "OpenGL/Window0" when that key exists, then loads (every value takes its default)
    // and saves. Does nothing at all when the product key (the settings key's parent) does
    // not exist.
    static void ResetSettings();

    // Registry location.
    static std::wstring CompanyName;       // "Velmora"
    static std::wstring PackageName;       // "Halden"; "Marlow" for the pressure-vessel host
    static std::wstring Version;           // "5.30"
    static std::wstring RegOptionsSection; // "Options"
    // "Software\<CompanyName>\<PackageName>\<Version>\<RegOptionsSection>".
    static std::wstring SettingsKeyPath();
    // "Software\<CompanyName>\<PackageName>\<Version>".
    static std::wstring ProductKeyPath();

    // Application-profile binary values: `section` is a subkey of the product key. Write
    // returns false when the store refuses the change. Get fills `data` and returns true
    // only for a stored REG_BINARY value.
    static bool WriteProfileBinary(const wchar_t* section, const wchar_t* entry,
                                   const void* data, unsigned size);
    static bool GetProfileBinary(const wchar_t* section, const wchar_t* entry,
                                 std::vector<std::uint8_t>* data);

    // The colour buttons' palette: 20 colours ("ColorTable", 80 bytes, each colour 4 bytes
    // little-endian) and their 20-byte use order ("MRU"), in section "ColorData".
    static constexpr int kPaletteSize = 20;
    static bool StoreColorData(const std::uint32_t (&colors)[kPaletteSize],
                               const std::uint8_t (&order)[kPaletteSize]);
    // Reads at most the table sizes (a shorter stored value fills the front). False, with
    // the arrays untouched, when either value is missing.
    static bool LoadColorData(std::uint32_t (&colors)[kPaletteSize],
                              std::uint8_t (&order)[kPaletteSize]);

    KETRA_APP_SETTINGS(KETRA_DECLARE_COLOR, KETRA_DECLARE_INT, KETRA_DECLARE_BOOL,
                       KETRA_DECLARE_NUMBER, KETRA_DECLARE_TEXT)

private:
    using Key = ketra::sys::HKEY__*;
    // 4-byte REG_DWORD.
    static void SetValue(Key key, const std::wstring& name, int value);
    static void SetValue(Key key, const std::wstring& name, unsigned long value);
    // With `asText`, the value formatted by "%.<precision>f" as REG_SZ; otherwise the
    // float's 4 bytes as REG_DWORD.
    static void SetValue(Key key, const std::wstring& name, float value, int precision,
                         bool asText);
    // REG_SZ of the characters without a terminator.
    static void SetValue(Key key, const std::wstring& name, const wchar_t* text);
    // 4-byte reads; any failure (missing, wrong type or size) returns the default.
    static float GetValue(Key key, const std::wstring& name, float defaultValue);
    static int GetValue(Key key, const std::wstring& name, int defaultValue);
    static unsigned long GetValue(Key key, const std::wstring& name, unsigned long defaultValue);
    // A string of up to 8192 bytes; any failure returns the default.
    static std::wstring GetValue(Key key, const std::wstring& name,
                                 const std::wstring& defaultValue);

    // Shared by the implementation files.
    static std::string DwordBytes(std::uint32_t value);
    static std::string TextBytes(std::wstring_view text);
    // "%.<decimals>f" in the C locale; decimals -1: the shortest text that reads back.
    static std::wstring FormatNumber(float value, int decimals);
    // A wide atof in the C locale: 0 when the text does not start with a number.
    static float ParseNumber(std::wstring_view text);
    // Strict reads: false when missing or of the wrong type or size.
    static bool ReadDword(Key key, const std::wstring& name, std::uint32_t* value);
    static bool ReadText(Key key, const std::wstring& name, unsigned limitBytes,
                         std::wstring* text);
    static bool ReadNumber(Key key, const std::wstring& name, float* value);
    static bool ReadLongText(Key key, const std::wstring& name, std::wstring* text);
    static std::wstring UserName();

    struct Setting;
    static std::vector<Setting>& Settings();
    static void Load(Setting& setting, Key key);
    static bool Readable(const Setting& setting, Key key);
    static void Store(const Setting& setting, Key key);
    static std::string Encode(const Setting& setting);
};

#undef KETRA_DECLARE_COLOR
#undef KETRA_DECLARE_INT
#undef KETRA_DECLARE_BOOL
#undef KETRA_DECLARE_NUMBER
#undef KETRA_DECLARE_TEXT
