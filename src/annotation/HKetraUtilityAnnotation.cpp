#include "annotation/HKetraUtilityAnnotation.h"

#include <clocale>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <locale.h>
#include <string>
#include <vector>

#include "annotation/AnnotationCallbacks.h"
#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HCamera.h"
#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HUtility.h"

namespace {

constexpr const char* kKind = "KetraAnnotation";
constexpr const char* kGlyphName = "HKetraUtilityAnnotation lcap_def";
constexpr const char* kLineStyleName = "HKetraUtilityAnnotation line style";

bool IsSegmentKey(long key)
{
    if (key == -1 || HC_Show_Existence_By_Key(key, "self") == 0)
        return false;
    return HC_Show_Key_Type(key) == "segment";
}

// The C locale for number parsing, whatever the process's locale; restored on scope exit.
class CLocaleScope {
public:
    CLocaleScope()
    {
        m_c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
        if (m_c)
            m_old = uselocale(m_c);
    }
    ~CLocaleScope()
    {
        if (m_c) {
            uselocale(m_old);
            freelocale(m_c);
        }
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t m_c = static_cast<locale_t>(0);
    locale_t m_old = static_cast<locale_t>(0);
};

std::string LocalTextFontOption(long segment, const char* option)
{
    std::string value;
    HC_Open_Segment_By_Key(segment);
    if (HC_Show_Existence((std::string("text font = ") + option).c_str()) > 0)
        value = HC_Show_One_Text_Font(option);
    HC_Close_Segment();
    return value;
}

void ParseVector(const std::string& text, HPoint& out)
{
    CLocaleScope c;
    float x = 0, y = 0, z = 0;
    if (std::sscanf(text.c_str(), " (%f, %f, %f)", &x, &y, &z) == 3 ||
        std::sscanf(text.c_str(), " (%f,%f,%f)", &x, &y, &z) == 3)
        out.Set(x, y, z);
}

std::string LocalUserOption(long segment, const char* name)
{
    std::string value;
    HC_Open_Segment_By_Key(segment);
    if (HC_Show_Existence((std::string("user option = ") + name).c_str()) > 0)
        value = HC_Show_One_User_Option(name);
    HC_Close_Segment();
    return value;
}

} // namespace

// The window height a note was last sized for, kept on the note segment.
void OnNoteHeight(long note, int height)
{
    if (!IsSegmentKey(note) || height <= 0)
        return;
    HC_Open_Segment_By_Key(note);
    HC_Set_User_Options(("note window height = " + std::to_string(height)).c_str());
    HC_Close_Segment();
}

int NoteHeight(long note)
{
    if (!IsSegmentKey(note))
        return 600;
    const int height = std::atoi(LocalUserOption(note, "note window height").c_str());
    return height > 0 ? height : 600;
}

// --- text encoding -------------------------------------------------------------------------

std::u16string Utf8ToUtf16(const std::string& text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t cp = 0xFFFD;
        size_t n = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 6 && i + 1 < text.size()) {
            cp = ((c & 0x1Fu) << 6) | (text[i + 1] & 0x3Fu), n = 2;
        } else if ((c >> 4) == 14 && i + 2 < text.size()) {
            cp = ((c & 0x0Fu) << 12) | ((text[i + 1] & 0x3Fu) << 6) | (text[i + 2] & 0x3Fu), n = 3;
        } else if ((c >> 3) == 30 && i + 3 < text.size()) {
            cp = ((c & 0x07u) << 18) | ((text[i + 1] & 0x3Fu) << 12) | ((text[i + 2] & 0x3Fu) << 6) |
                 (text[i + 3] & 0x3Fu),
            n = 4;
        }
        i += n;
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp > 0xFFFF ? 0xFFFD : cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

// --- statics -------------------------------------------------------------------------------

bool HKetraUtilityAnnotation::IsAnnotation(long key)
{
    if (key == -1 || HC_Show_Existence_By_Key(key, "self") == 0)
        return false;
    std::string kind;
    if (HObjectManager::FindHObjectSegment(key, &kind) == -1)
        return false;
    return kind == kKind || kind == "`KetraAnnotation`";
}

bool HKetraUtilityAnnotation::IsNote(long key)
{
    if (key == -1 || HC_Show_Existence_By_Key(key, "self") == 0)
        return false;
    std::string kind;
    const long segment = HObjectManager::FindHObjectSegment(key, &kind);
    return segment != -1 && kind == kKind &&
           HObjectManager::GetHObjectInfo(segment) == "HKetraUtilityAnnotation";
}

long HKetraUtilityAnnotation::GetKey(long key)
{
    if (!IsNote(key))
        return -1;
    return HObjectManager::FindHObjectSegment(key);
}

void HKetraUtilityAnnotation::DefineLineStyle()
{
    RegisterAnnotationCallbacks();
    static const char glyph[14] = {10, 0, 0, -1, 4, 0, 0, 16, 8, 16, -8, 0, 0, 0};
    int size = 0;
    bool found = false;
    HC_Begin_Glyph_Search();
    std::string name;
    while (HC_Find_Glyph(name))
        if (strcasecmp(name.c_str(), kGlyphName) == 0)
            found = true;
    HC_End_Glyph_Search();
    (void)size;
    if (!found)
        HC_Define_Glyph(kGlyphName, 14, glyph);
    found = false;
    HC_Begin_Line_Style_Search();
    while (HC_Find_Line_Style(name))
        if (strcasecmp(name.c_str(), kLineStyleName) == 0)
            found = true;
    HC_End_Line_Style_Search();
    if (!found)
        HC_Define_Line_Style(kLineStyleName, "start cap = HKetraUtilityAnnotation lcap_def,");
}

// --- the tree ------------------------------------------------------------------------------

long HKetraUtilityAnnotation::Sub(const char* path) const
{
    if (!IsSegmentKey(m_noteKey))
        return -1;
    HC_Open_Segment_By_Key(m_noteKey);
    long key = -1;
    if (HC_QShow_Existence(path, "self") > 0) {
        key = HC_Open_Segment(path);
        HC_Close_Segment();
    }
    HC_Close_Segment();
    return key;
}

long HKetraUtilityAnnotation::GetBackgroundSegmentKey()
{
    return Sub("conditions/matrix/mask transform/background");
}

long HKetraUtilityAnnotation::Insert(const char* text, HPoint target, HPoint position, long segment,
                                     HBaseView* view, long style, int background, bool leader,
                                     long* path, int pathLength)
{
    const std::u16string wide = Utf8ToUtf16(text ? text : "");
    return InsertWithEncoding(reinterpret_cast<const unsigned short*>(wide.c_str()), target,
                              position, segment, view, style, background, leader, path,
                              pathLength);
}

long HKetraUtilityAnnotation::Insert(HPoint target, HPoint position, long segment, HBaseView* view,
                                     long style, int background, bool leader, long* path,
                                     int pathLength)
{
    return Insert("", target, position, segment, view, style, background, leader, path,
                  pathLength);
}

long HKetraUtilityAnnotation::InsertWithEncoding(const unsigned short* text, HPoint target,
                                                 HPoint position, long segment, HBaseView* view,
                                                 long style, int background, bool leader,
                                                 long* path, int pathLength)
{
    if (!IsSegmentKey(segment))
        return -1;
    DefineLineStyle();
    // 1. The note segment.
    HC_Open_Segment_By_Key(segment);
    float net[16];
    if (path && pathLength > 0)
        HC_PShow_Net_Modelling_Matrix(pathLength, path, net);
    else
        HC_Show_Net_Modelling_Matrix(net);
    m_noteKey = HC_Open_Segment("");
    HC_Set_Rendering_Options("no simple shadow, display lists = off");
    HC_Set_Heuristics("no static model");
    HC_Set_Visibility("shadows = off");
    HObjectManager::SetHObjectSegment(m_noteKey, kKind, "HKetraUtilityAnnotation");

    // 2. Conditions, the leader segment and the line style.
    HC_Open_Segment("conditions");
    HC_Create_Segment("matrix");
    HC_Open_Segment("xarrow");
    if (!leader)
        HC_Set_Visibility("off");
    HC_Close_Segment();
    HC_Set_Heuristics("exclude bounding");
    HC_Set_Line_Pattern(kLineStyleName);

    // 3. Notes are placed in world coordinates whatever the transforms above them.
    float inverse[16];
    HC_Compute_Matrix_Inverse(net, inverse);
    HC_Set_Modelling_Matrix(inverse);

    // 4.
    HC_Set_Heuristics("culling = off, no backplane cull");
    if (style != -1 && IsSegmentKey(style)) {
        HC_Style_Segment(HUtility::Find_Relative_Path(HC_KShow_Open_Segment(), style).c_str());
    }
    HC_Set_Visibility("off, cutting planes=on, faces=on, lines=on, edge=on, text=on");
    HC_Set_Rendering_Options("no lighting");
    HC_Close_Segment(); // conditions
    HC_Close_Segment(); // note
    HC_Close_Segment(); // segment
    SetColor("faces = white, lines = red, edges = red, text = black");

    // 5. Text and matrix.
    std::string sceneFont;
    if (view && IsSegmentKey(view->GetSceneKey())) {
        HC_Open_Segment_By_Key(view->GetSceneKey());
        sceneFont = HC_Show_Net_Text_Font();
        HC_Close_Segment();
    }
    HC_Open_Segment_By_Key(m_noteKey);
    HC_Open_Segment("conditions/matrix");
    HC_Set_Rendering_Options("face displacement = 8");
    HC_Open_Segment("text");
    HC_Set_Text_Alignment("**");
    if (!sceneFont.empty())
        HC_Set_Text_Font(sceneFont.c_str());
    HC_Set_Text_Font("transforms = off");
    HC_Close_Segment();

    // 6. The background and the mask transform.
    HC_Open_Segment("mask transform");
    HC_Open_Segment("background");
    HC_Set_Heuristics("no backplane culling");
    HC_Close_Segment();
    HC_Set_Selectability("text = on, faces = on");
    HC_Close_Segment();
    HC_Close_Segment();
    HC_Close_Segment();
    ApplyMaskTransform();

    // 7.
    m_target = target;
    m_position = position;
    HCamera camera;
    if (view)
        view->GetCamera(camera);
    MoveText(position, view ? &camera : nullptr);
    SetBackgroundType(background);
    if (view) {
        int width = 0, height = 0;
        view->GetWindowSizeInPixels(width, height);
        OnNoteHeight(m_noteKey, height);
        WatchNoteWindowSize(view);
    }
    SetTextWithEncoding(text);
    return GetKey();
}

void HKetraUtilityAnnotation::ApplyMaskTransform()
{
    const long mask = Sub("conditions/matrix/mask transform");
    const long textSegment = Sub("conditions/matrix/text");
    if (mask == -1 || textSegment == -1)
        return;
    std::string size = LocalTextFontOption(textSegment, "size");
    float value = 0;
    char unit[64] = "";
    {
        CLocaleScope c;
        std::sscanf(size.c_str(), "%f %63s", &value, unit);
    }
    HC_Open_Segment_By_Key(mask);
    if (HC_Show_Existence("rendering options = mask transform") > 0)
        HC_UnSet_One_Rendering_Option("mask transform");
    if (strcasecmp(unit, "oru") == 0)
        HC_Set_Rendering_Options(
            "mask transform = (camera = (rotate, perspective), modelling matrix = (rotate, scale))");
    else
        HC_Set_Rendering_Options("mask transform = (rotate, scale, perspective)");
    HC_Close_Segment();
}

void HKetraUtilityAnnotation::MoveText(HPoint position, const HCamera* camera)
{
    m_position = position;
    DrawLeader(camera);
}

void HKetraUtilityAnnotation::DrawLeader(const HCamera* camera)
{
    const long arrow = Sub("conditions/xarrow");
    const long matrix = Sub("conditions/matrix");
    if (arrow == -1 || matrix == -1)
        return;
    HC_Open_Segment_By_Key(arrow);
    HC_Flush_Contents(".", "geometry");
    HC_Insert_Line(m_target.x, m_target.y, m_target.z, m_position.x, m_position.y, m_position.z);
    HC_Set_Callback("draw dc polyline = ketra_drawline");
    if (camera) {
        char options[512];
        CLocaleScope c;
        std::snprintf(options, sizeof(options),
                      "vector to camera = (%g, %g, %g),up direction = (%g, %g, %g)",
                      camera->position.x - camera->target.x, camera->position.y - camera->target.y,
                      camera->position.z - camera->target.z, camera->up_vector.x,
                      camera->up_vector.y, camera->up_vector.z);
        HC_Set_User_Options(options);
    }
    HC_Close_Segment();
    HC_Open_Segment_By_Key(matrix);
    HC_UnSet_Modelling_Matrix();
    HC_Translate_Object(m_position.x, m_position.y, m_position.z);
    HC_Close_Segment();
}

HPoint HKetraUtilityAnnotation::GetFacing()
{
    HPoint out(0, 0, 0);
    const long arrow = Sub("conditions/xarrow");
    if (arrow != -1)
        ParseVector(LocalUserOption(arrow, "vector to camera"), out);
    return out;
}

HPoint HKetraUtilityAnnotation::GetUp()
{
    HPoint out(0, 0, 0);
    const long arrow = Sub("conditions/xarrow");
    if (arrow != -1)
        ParseVector(LocalUserOption(arrow, "up direction"), out);
    return out;
}

// --- attributes ----------------------------------------------------------------------------

namespace {
template <class F> void OnNote(long note, F&& f)
{
    if (!IsSegmentKey(note))
        return;
    HC_Open_Segment_By_Key(note);
    f();
    HC_Close_Segment();
}
} // namespace

void HKetraUtilityAnnotation::SetColor(const char* spec)
{
    if (!spec)
        return;
    OnNote(m_noteKey, [&] {
        HC_Set_Color(spec);
        HC_Set_Rendering_Options("attribute lock=(no color)");
    });
}

void HKetraUtilityAnnotation::SetBackgroundColor(const char* spec)
{
    if (spec)
        OnNote(m_noteKey, [&] { HC_Set_Color(spec); });
}

void HKetraUtilityAnnotation::SetTextColor(const char* spec)
{
    if (spec)
        OnNote(Sub("conditions/matrix/text"), [&] { HC_Set_Color(spec); });
}

void HKetraUtilityAnnotation::GetTextColor(char* color)
{
    if (!color)
        return;
    std::string spec;
    OnNote(Sub("conditions/matrix/text"), [&] { spec = HC_Show_One_Net_Color("text"); });
    std::snprintf(color, kTextColorCapacity, "%s", spec.c_str());
}

void HKetraUtilityAnnotation::SetEdgeWeight(float weight)
{
    OnNote(m_noteKey, [&] { HC_Set_Edge_Weight(weight); });
}

void HKetraUtilityAnnotation::SetLineWeight(float weight)
{
    OnNote(m_noteKey, [&] { HC_Set_Line_Weight(weight); });
}

float HKetraUtilityAnnotation::GetLineWeight()
{
    float weight = 0;
    OnNote(m_noteKey, [&] { HC_Show_Net_Line_Weight(&weight); });
    return weight;
}

void HKetraUtilityAnnotation::SetFacePattern(const char* pattern)
{
    if (pattern)
        OnNote(m_noteKey, [&] { HC_Set_Face_Pattern(pattern); });
}

void HKetraUtilityAnnotation::SetLinePattern(const char* pattern)
{
    if (pattern)
        OnNote(m_noteKey, [&] { HC_Set_Line_Pattern(pattern); });
}

void HKetraUtilityAnnotation::SetBackgroundVisibility(bool on)
{
    OnNote(GetBackgroundSegmentKey(), [&] { HC_Set_Visibility(on ? "faces = on" : "faces = off"); });
}

bool HKetraUtilityAnnotation::GetBackgroundVisibility()
{
    std::string value;
    OnNote(GetBackgroundSegmentKey(), [&] { value = HC_Show_One_Net_Visibility("faces"); });
    return strcasecmp(value.c_str(), "on") == 0;
}

void HKetraUtilityAnnotation::SetOnTop(bool on)
{
    OnNote(m_noteKey, [&] {
        if (on) {
            HC_Set_Rendering_Options("depth range = (0.0,0.1)");
            HC_Set_User_Options("on top = on");
        } else {
            if (HC_Show_Existence("rendering options = depth range") > 0)
                HC_UnSet_One_Rendering_Option("depth range");
            if (HC_Show_Existence("user option = on top") > 0)
                HC_UnSet_One_User_Option("on top");
        }
    });
}

bool HKetraUtilityAnnotation::GetOnTop()
{
    return IsSegmentKey(m_noteKey) && strcasecmp(LocalUserOption(m_noteKey, "on top").c_str(), "on") == 0;
}

void HKetraUtilityAnnotation::SetTextFont(const char* spec)
{
    if (!spec)
        return;
    OnNote(Sub("conditions/matrix/text"), [&] {
        HC_Set_Text_Font(spec);
        HC_Set_Text_Font("transforms = off");
    });
    ApplyMaskTransform();
}

char* HKetraUtilityAnnotation::GetTextFont()
{
    char* out = new char[255]();
    const long text = Sub("conditions/matrix/text");
    if (text != -1)
        std::snprintf(out, 255, "%s", LocalTextFontOption(text, "name").c_str());
    return out;
}

char* HKetraUtilityAnnotation::GetTextSize()
{
    char* out = new char[255]();
    const long text = Sub("conditions/matrix/text");
    if (text != -1)
        std::snprintf(out, 255, "%s", LocalTextFontOption(text, "size").c_str());
    return out;
}

// --- text ----------------------------------------------------------------------------------

std::u16string HKetraUtilityAnnotation::GetText16()
{
    if (m_textKey == -1 || HC_Show_Existence_By_Key(m_textKey, "self") == 0)
        return {};
    int length = 0;
    HC_Show_Text_Length(m_textKey, &length);
    std::vector<unsigned short> buffer(static_cast<size_t>(length) + 2, 0);
    if (strcasecmp(HC_Show_Text_Encoding(m_textKey).c_str(), "unicode") == 0) {
        HC_Show_Text_With_Encoding(m_textKey, nullptr, nullptr, nullptr, nullptr, buffer.data());
        return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<size_t>(length));
    }
    std::vector<char> text(static_cast<size_t>(length) * 4 + 2, 0);
    HC_Show_Text(m_textKey, nullptr, nullptr, nullptr, text.data());
    return Utf8ToUtf16(text.data());
}

int HKetraUtilityAnnotation::GetTextLength()
{
    return static_cast<int>(GetText16().size());
}

namespace {

// Copies `wide` into a caller's buffer of `length` units (the terminator included), each unit
// converted by `unit`; `length` becomes the units written. A null buffer asks for the length.
template <class Unit, class Convert>
void CopyText(const std::u16string& wide, Unit* text, int& length, Convert unit)
{
    if (!text) {
        length = static_cast<int>(wide.size());
        return;
    }
    int written = 0;
    for (char16_t c : wide) {
        if (written + 1 >= length)
            break;
        text[written++] = unit(c);
    }
    if (length > 0)
        text[written] = 0;
    length = written;
}

} // namespace

void HKetraUtilityAnnotation::GetText(char* text, int& length)
{
    CopyText(GetText16(), text, length, [](char16_t c) { return c < 256 ? static_cast<char>(c) : '?'; });
}

void HKetraUtilityAnnotation::GetTextWithEncoding(unsigned short* text, int& length)
{
    CopyText(GetText16(), text, length, [](char16_t c) { return static_cast<unsigned short>(c); });
}

void HKetraUtilityAnnotation::SetText(const char* text)
{
    SetText16(Utf8ToUtf16(text ? text : ""));
}

void HKetraUtilityAnnotation::SetText16(const std::u16string& text)
{
    SetTextWithEncoding(reinterpret_cast<const unsigned short*>(text.c_str()));
}

void HKetraUtilityAnnotation::SetTextWithEncoding(const unsigned short* text)
{
    static const unsigned short kEmpty[1] = {0};
    const long segment = Sub("conditions/matrix/text");
    if (segment == -1)
        return;
    HC_Open_Segment_By_Key(segment);
    if (m_textKey != -1 && HC_Show_Existence_By_Key(m_textKey, "self") > 0)
        HC_Delete_By_Key(m_textKey);
    HC_Flush_Contents(".", "text");
    m_textKey = HC_Insert_Text_With_Encoding(0, 0, 0, "unicode", text ? text : kEmpty);
    HC_Close_Segment();
    // The background follows the text, for the window the note was last sized for.
    ResizeForWindow(NoteHeight(m_noteKey));
}

void HKetraUtilityAnnotation::ShowPosition(float* x, float* y, float* z)
{
    if (x) *x = m_position.x;
    if (y) *y = m_position.y;
    if (z) *z = m_position.z;
}

void HKetraUtilityAnnotation::ShowPosition(HPoint& position) { position = m_position; }

void HKetraUtilityAnnotation::ShowTarget(float* x, float* y, float* z)
{
    if (x) *x = m_target.x;
    if (y) *y = m_target.y;
    if (z) *z = m_target.z;
}

void HKetraUtilityAnnotation::ShowTarget(HPoint& target) { target = m_target; }

// --- re-attaching --------------------------------------------------------------------------

void HKetraUtilityAnnotation::SetNote(long key, HBaseView* view)
{
    SetNote(key, view ? view->GetViewKey() : -1L);
}

void HKetraUtilityAnnotation::SetNote(long key, long viewKey)
{
    (void)viewKey;
    if (key == -1 || HC_Show_Existence_By_Key(key, "self") == 0)
        return;
    // The note segment holding key (a measurement's too); a segment outside every note is
    // taken as the note segment itself.
    if (IsAnnotation(key))
        m_noteKey = HObjectManager::FindHObjectSegment(key);
    else
        m_noteKey = IsSegmentKey(key) ? key : -1;
    m_textKey = -1;
    if (!IsSegmentKey(m_noteKey))
        return;
    DefineLineStyle();
    // Notes of the older layout keep their leader in "conditions/arrow".
    const long old = Sub("conditions/arrow");
    if (old != -1 && Sub("conditions/xarrow") == -1) {
        HC_Open_Segment_By_Key(m_noteKey);
        if (HC_Show_Existence("heuristics = quick moves") > 0)
            HC_UnSet_One_Heuristic("quick moves");
        HC_Open_Segment("conditions");
        HC_Set_Line_Pattern(kLineStyleName);
        HC_Rename_Segment("arrow", "xarrow");
        HC_Close_Segment();
        HC_Close_Segment();
        OnNote(Sub("conditions/xarrow"), [] { HC_Set_Callback("draw dc polyline = ketra_drawline"); });
        OnNote(Sub("conditions/matrix/mask transform/background/markers"),
               [] { HC_Set_Callback("draw dc marker = ketra_drawmarker"); });
        SetBackgroundType(kRectangle);
    }
    // Target and position from the leader line, the text from "conditions/matrix/text".
    const long arrow = Sub("conditions/xarrow");
    if (arrow != -1) {
        HC_Open_Segment_By_Key(arrow);
        HC_Begin_Contents_Search(".", "lines");
        std::string type;
        long line = -1;
        if (HC_Find_Contents(type, &line)) {
            float a[3], b[3];
            HC_Show_Line(line, &a[0], &a[1], &a[2], &b[0], &b[1], &b[2]);
            m_target.Set(a[0], a[1], a[2]);
            m_position.Set(b[0], b[1], b[2]);
        }
        HC_End_Contents_Search();
        HC_Close_Segment();
    }
    const long text = Sub("conditions/matrix/text");
    if (text != -1) {
        HC_Open_Segment_By_Key(text);
        HC_Begin_Contents_Search(".", "text");
        std::string type;
        long item = -1;
        if (HC_Find_Contents(type, &item))
            m_textKey = item;
        HC_End_Contents_Search();
        HC_Close_Segment();
    }
}
