// Backgrounds, text-driven resizing and the font walk of HKetraUtilityAnnotation.
//
// Resizing: the background is built on the unit square and scaled by the background
// segment's modelling matrix to half the text's extent plus a margin. Below the mask
// transform one unit is half the window height in pixels for screen-sized text, so the scale
// is the text's pixel extent over half the window height (it follows the window's height);
// for text in "oru" one unit is a world unit and so is the text's size.
#include "annotation/HKetraUtilityAnnotation.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale.h>
#include <map>
#include <memory>
#include <vector>

#include "annotation/AnnotationCallbacks.h"
#include "platform/render/TextRenderer.h"
#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HEventManager.h"
#include "platform/mvo/HObjectManager.h"

namespace {

constexpr float kMarginEms = 0.35f; // background margin around the text, in ems

bool IsSegmentKey(long key)
{
    if (key == -1 || HC_Show_Existence_By_Key(key, "self") == 0)
        return false;
    return HC_Show_Key_Type(key) == "segment";
}

// Window height in pixels of the display segment `viewKey` (600 when unknown).
int WindowHeightOf(long viewKey)
{
    if (!IsSegmentKey(viewKey))
        return 600;
    const std::string data = HC_Show_Device_Info(HC_Show_Segment(viewKey).c_str(), "pixels");
    int w = 0, h = 0;
    if (std::sscanf(data.c_str(), "%d , %d", &w, &h) == 2 && h > 0)
        return h;
    return 600;
}

// Every note segment below `root` (the root itself included).
std::vector<long> NotesBelow(long root)
{
    std::vector<long> notes;
    if (!IsSegmentKey(root))
        return notes;
    HC_Open_Segment_By_Key(root);
    HC_Begin_Contents_Search("...", "segments");
    std::string type;
    long key = -1;
    std::vector<long> segments{root};
    while (HC_Find_Contents(type, &key))
        segments.push_back(key);
    HC_End_Contents_Search();
    HC_Close_Segment();
    for (long s : segments)
        if (HKetraUtilityAnnotation::IsAnnotation(s) && HObjectManager::FindHObjectSegment(s) == s)
            notes.push_back(s);
    return notes;
}

// Resizes a view's notes when its window changes size; one per view, gone with the view.
class ResizeWatcher : public HUpdateListener {
public:
    int WindowResizedEvent(HBaseView* view) override
    {
        HKetraUtilityAnnotation::WindowResizeCallback(view);
        return 0;
    }
    int ViewDestroyedEvent(HBaseView* view) override;
};

std::map<HBaseView*, std::unique_ptr<ResizeWatcher>>& Watchers()
{
    static std::map<HBaseView*, std::unique_ptr<ResizeWatcher>> watchers;
    return watchers;
}

int ResizeWatcher::ViewDestroyedEvent(HBaseView* view)
{
    view->GetEventManager()->UnRegisterHandler(this);
    Watchers().erase(view); // deletes this: nothing may follow
    return 0;
}

} // namespace

void OnNoteHeight(long note, int height);

void WatchNoteWindowSize(HBaseView* view)
{
    if (!view || Watchers().count(view))
        return;
    auto watcher = std::make_unique<ResizeWatcher>();
    view->GetEventManager()->RegisterHandler(static_cast<HUpdateListener*>(watcher.get()));
    Watchers()[view] = std::move(watcher);
}

// --- backgrounds ---------------------------------------------------------------------------

void HKetraUtilityAnnotation::SetBackgroundType(long type)
{
    const long background = GetBackgroundSegmentKey();
    if (background == -1)
        return;
    if (type < kEllipse || type > kCloud)
        type = kRectangle;
    HC_Open_Segment_By_Key(background);
    HC_Set_User_Index(0, reinterpret_cast<void*>(static_cast<intptr_t>(type)));
    HC_Flush_Contents(".", "geometry, segments");
    const HPoint corners[5] = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}, {-1, -1, 0}};
    if (type == kEllipse) {
        const HPoint centre(0, 0, 0), major(1, 0, 0), minor(0, 1, 0);
        HC_Insert_Elliptical_Arc(&centre, &major, &minor, 0.0, 1.0);
        HC_Insert_Ellipse(&centre, &major, &minor);
    } else if (type == kRectangle) {
        HC_Insert_Polygon(4, corners);
        HC_Restart_Ink();
        for (const HPoint& p : corners)
            HC_Insert_Ink(p.x, p.y, p.z);
        HC_Restart_Ink();
    } else {
        // Cloud: four half-ellipse bumps along each side, bulging outwards.
        constexpr int kBumps = 4;
        const float half = 1.0f / kBumps; // half a bump's width along a side of length 2
        const float bulge = 0.12f;
        for (int side = 0; side < 4; ++side) {
            const HPoint a = corners[side], b = corners[side + 1];
            const HPoint along((b.x - a.x) / 2, (b.y - a.y) / 2, 0); // unit along the side
            const HPoint outward(along.y, -along.x, 0);            // the square is walked ccw
            for (int i = 0; i < kBumps; ++i) {
                const float t = (2 * i + 1) * half;
                const HPoint centre(a.x + along.x * t, a.y + along.y * t, 0);
                const HPoint major(centre.x - along.x * half, centre.y - along.y * half, 0);
                const HPoint minor(centre.x + outward.x * bulge, centre.y + outward.y * bulge, 0);
                HC_Insert_Elliptical_Arc(&centre, &major, &minor, 0.0, 0.5);
            }
        }
        HC_Insert_Polygon(4, corners);
    }
    HC_Set_Visibility("lines = on, edges = off");
    HC_Set_Line_Pattern("-");
    HC_Open_Segment("markers");
    HC_Flush_Contents(".", "everything");
    for (int i = 0; i < 4; ++i) {
        const long marker = HC_Insert_Marker(corners[i].x, corners[i].y, corners[i].z);
        HC_Renumber_Key(marker, i, "local");
    }
    HC_Set_Callback("draw dc marker = ketra_drawmarker");
    HC_Set_Visibility("markers = on");
    HC_Close_Segment();
    HC_Close_Segment();
}

long HKetraUtilityAnnotation::GetBackgroundType()
{
    const long background = GetBackgroundSegmentKey();
    if (background == -1)
        return -1;
    void* data = nullptr;
    HC_Open_Segment_By_Key(background);
    const bool set = HC_Show_One_User_Index(0, &data);
    HC_Close_Segment();
    return set ? static_cast<long>(reinterpret_cast<intptr_t>(data)) : -1;
}

// --- resizing ------------------------------------------------------------------------------

void HKetraUtilityAnnotation::ResizeForWindow(int windowHeight)
{
    const long background = GetBackgroundSegmentKey();
    const long textSegment = Sub("conditions/matrix/text");
    if (background == -1 || textSegment == -1)
        return;
    if (m_textKey == -1)
        SetNote(m_noteKey, -1L);
    std::string size, name;
    HC_Open_Segment_By_Key(textSegment);
    size = HC_Show_One_Net_Text_Font("size");
    name = HC_Show_One_Net_Text_Font("name");
    HC_Close_Segment();
    float amount = 0;
    char unit[64] = "";
    {
        locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
        locale_t old = c ? uselocale(c) : static_cast<locale_t>(0);
        std::sscanf(size.c_str(), "%f %63s", &amount, unit);
        if (c) {
            uselocale(old);
            freelocale(c);
        }
    }
    if (!(amount > 0))
        amount = 10, std::strcpy(unit, "pts");
    const std::u16string text = GetText16();
    const bool world = strcasecmp(unit, "oru") == 0 || strcasecmp(unit, "wru") == 0;
    double em = amount; // the em in the units of the background
    double width = 0;
    if (world) {
        width = MeasureNoteText(text, name, 64.0) / 64.0 * amount;
    } else {
        const double pixels = (strcasecmp(unit, "pixels") == 0 || strcasecmp(unit, "px") == 0)
                                  ? amount
                                  : amount * 96.0 / 72.0;
        const double unitPixels = std::max(1, windowHeight) / 2.0;
        width = MeasureNoteText(text, name, pixels) / unitPixels;
        em = pixels / unitPixels;
    }
    // Every line of the text inside: baselines are a fixed number of ems apart.
    const double lines = 1.0 + static_cast<double>(std::count(text.begin(), text.end(), u'\n'));
    double hx = std::max(width / 2, em / 2) + kMarginEms * em;
    double hy = (em + (lines - 1) * ketra::render::TextRenderer::kLineSpacing * em) / 2 + kMarginEms * em;
    if (GetBackgroundType() == kEllipse) {
        // The ellipse through the corners of the text's box holds the whole text.
        hx *= 1.41421356;
        hy *= 1.41421356;
    }
    HC_Open_Segment_By_Key(background);
    HC_UnSet_Modelling_Matrix();
    HC_Scale_Object(hx, hy, 1.0);
    HC_Close_Segment();
    if (!world)
        OnNoteHeight(m_noteKey, windowHeight);
}

void HKetraUtilityAnnotation::Resize(long viewKey, long includeLinkKey)
{
    (void)includeLinkKey;
    ResizeForWindow(WindowHeightOf(viewKey));
}

void HKetraUtilityAnnotation::Resize(int count, long* keys, long viewKey)
{
    const int height = WindowHeightOf(viewKey);
    if (count <= 0 || !keys) {
        ResizeForWindow(height);
        return;
    }
    for (int i = 0; i < count; ++i)
        for (long note : NotesBelow(keys[i])) {
            HKetraUtilityAnnotation handle;
            handle.SetNote(note, -1L);
            handle.ResizeForWindow(height);
        }
}

void HKetraUtilityAnnotation::WindowResizeCallback(HBaseView* view)
{
    if (!view)
        return;
    int width = 0, height = 0;
    view->GetWindowSizeInPixels(width, height);
    for (long root : {view->GetSceneKey(), view->GetModelKey()})
        for (long note : NotesBelow(root)) {
            HKetraUtilityAnnotation handle;
            handle.SetNote(note, -1L);
            handle.ResizeForWindow(height);
        }
}

void HKetraUtilityAnnotation::ChangeAllFonts(HBaseView* view, const char* font, long key)
{
    if (!font)
        return;
    std::vector<long> roots;
    if (key != -1)
        roots.push_back(key);
    else if (view)
        roots = {view->GetModelKey(), view->GetSceneKey()};
    int width = 0, height = 600;
    if (view)
        view->GetWindowSizeInPixels(width, height);
    std::vector<long> seen;
    for (long root : roots)
        for (long note : NotesBelow(root)) {
            if (std::find(seen.begin(), seen.end(), note) != seen.end())
                continue;
            seen.push_back(note);
            HKetraUtilityAnnotation handle;
            handle.SetNote(note, -1L);
            handle.SetTextFont(font);
            handle.ResizeForWindow(height);
        }
}
