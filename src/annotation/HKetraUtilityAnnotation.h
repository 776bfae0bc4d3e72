// HKetraUtilityAnnotation: a text note in the 3D scene. The note is a nameless segment (the
// note segment) holding the whole tree below; this object is a thin handle that can be
// re-attached to an existing note with SetNote. Tree, relative to the note segment:
//
//   (note)                         object kind "KetraAnnotation", info "HKetraUtilityAnnotation"
//     conditions                   cancels the parents' modelling matrix, line style with the
//                                  arrowhead start cap, no lighting
//       xarrow                     the leader line target -> position, drawn by "ketra_drawline";
//                                  user options "vector to camera", "up direction"
//       matrix                     translated to the position
//         text                     the text item (unicode), alignment "**", transforms off
//         mask transform           screen-aligned, fixed screen size ("oru" text: zooms)
//           background             user index 0 = background type; the shape on the unit
//                                  square, scaled to the text's extent by Resize
//             markers              a marker at each corner, local keys 0..3
//
// Text size: a size in "oru" is in world units (the note zooms with the camera); any other
// unit (points, pixels) keeps the note at that screen size. Resize scales the background to
// the text measured with the renderer's fonts; notes whose size is not in world units depend
// on the window height and are resized again when a view's window changes size (the view
// emits WindowResizedEvent; the first Resize of a note in a view listens for it).
//
// Texts are 16-bit (UTF-16), zero-terminated. Every call on a note whose segment was deleted
// does nothing and returns the empty value. Nothing throws.
#pragma once

#include <string>

#include "platform/hc/hc.h"
#include "platform/mvo/HPoint.h"

class HBaseView;
class HCamera;

class HKetraUtilityAnnotation {
public:
    // Background shapes (user index 0 of the background segment).
    enum : int { kEllipse = 0, kRectangle = 1, kCloud = 2 };

    HKetraUtilityAnnotation() = default;
    HKetraUtilityAnnotation(const HKetraUtilityAnnotation&) = default;
    HKetraUtilityAnnotation& operator=(const HKetraUtilityAnnotation&) = default;
    virtual ~HKetraUtilityAnnotation() = default;

    void Init(long key) { m_noteKey = key; }

    // --- statics
    // True when the object segment holding key is of kind "KetraAnnotation" (any info);
    // false for -1 and keys outside notes.
    static bool IsAnnotation(long key);
    // True when the object segment holding key is a plain note (info "HKetraUtilityAnnotation").
    static bool IsNote(long key);
    // The note segment holding key (any item or segment inside a note), -1 when IsNote fails.
    static long GetKey(long key);
    // Sets font on every note below key (the view's model segment when key is -1; the view's
    // scene as well, where markup notes live) and resizes them.
    static void ChangeAllFonts(HBaseView* view, const char* font, long key = -1);
    // Resizes every note shown by the view (after a window size change).
    static void WindowResizeCallback(HBaseView* view);
    // Defines the glyph "HKetraUtilityAnnotation lcap_def" and the line style
    // "HKetraUtilityAnnotation line style" when missing.
    static void DefineLineStyle();

    // Draw callbacks (registered by RegisterAnnotationCallbacks, AnnotationCallbacks.h).
    // "ketra_drawline": the leader from the target to the nearest corner of the note's
    // background box, nothing while the target lies inside the box.
    static void drawLineCallback(HIC_Rendition const* nr, int count, HIC_DC_Point const* points);
    // "ketra_drawlineclip": the line less what the note's background box covers.
    static void drawLineCallbackClip(HIC_Rendition const* nr, int count, HIC_DC_Point const* points);
    // "ketra_drawmarker": the background's corner markers are handles, not drawn.
    static void drawMarkerCallback(HIC_Rendition const* nr, HIC_DC_Point const* point);

    // --- virtual operations
    virtual long GetBackgroundSegmentKey();
    virtual long GetKey() { return m_noteKey; }
    // Writes the text as 8-bit (code units above 255 become '?'); length in: capacity
    // (including the terminator), out: characters written. Null buffer: length only.
    virtual void GetText(char* text, int& length);
    virtual int GetTextLength();
    virtual void GetTextWithEncoding(unsigned short* text, int& length);
    virtual const char* GetType() { return "HKetraUtilityAnnotation"; }
    virtual long Insert(const char* text, HPoint target, HPoint position, long segment,
                        HBaseView* view, long style, int background, bool leader,
                        long* path = nullptr, int pathLength = 0);
    virtual long Insert(HPoint target, HPoint position, long segment, HBaseView* view, long style,
                        int background, bool leader, long* path = nullptr, int pathLength = 0);
    // Makes the note in a new nameless subsegment of `segment`; returns the note key (-1 when
    // segment is not a segment). target: the point the leader points at; position: where the
    // text sits (both world coordinates, whatever the transforms above segment: with path
    // and pathLength the net matrix along that include path is cancelled, else the one of
    // segment). style: a segment to style the note by, -1 none. background: kEllipse,
    // kRectangle or kCloud.
    virtual long InsertWithEncoding(const unsigned short* text, HPoint target, HPoint position,
                                    long segment, HBaseView* view, long style, int background,
                                    bool leader, long* path = nullptr, int pathLength = 0);
    // Moves the text to position (world); camera (may be null) is recorded for GetFacing/GetUp.
    virtual void MoveText(HPoint position, const HCamera* camera);
    virtual void SetBackgroundType(long type);
    virtual long GetBackgroundType();
    virtual void SetBackgroundVisibility(bool on);
    virtual bool GetBackgroundVisibility();
    virtual void SetColor(const char* spec);
    virtual void SetEdgeWeight(float weight);
    virtual void SetFacePattern(const char* pattern);
    virtual void SetLinePattern(const char* pattern);
    virtual void SetLineWeight(float weight);
    virtual float GetLineWeight();
    virtual void SetNote(long key, HBaseView* view);
    virtual void SetNote(long key, long viewKey);
    virtual void SetOnTop(bool on);
    virtual bool GetOnTop();
    virtual void SetText(const char* text);
    virtual void SetTextFont(const char* spec);
    // The "name" / "size" of the text font in a new 255-character buffer (caller delete[]s).
    virtual char* GetTextFont();
    virtual char* GetTextSize();
    // The text colour spec; `color` holds kTextColorCapacity bytes (a longer spec is cut).
    static constexpr int kTextColorCapacity = 4096;
    virtual void GetTextColor(char* color);
    virtual void SetTextColor(const char* spec);
    virtual void SetBackgroundColor(const char* spec);
    virtual void SetTextWithEncoding(const unsigned short* text);
    virtual void ShowPosition(float* x, float* y, float* z);
    virtual void ShowPosition(HPoint& position);
    virtual void ShowTarget(float* x, float* y, float* z);
    virtual void ShowTarget(HPoint& target);
    // Scales the background to the text (the view's window height for screen-sized text).
    virtual void Resize(long viewKey, long includeLinkKey);
    // Resizes the notes below each of count keys (this note when count is 0).
    virtual void Resize(int count, long* keys, long viewKey);
    virtual HPoint GetFacing();
    virtual HPoint GetUp();

    // --- helpers
    std::u16string GetText16();
    void SetText16(const std::u16string& text);
    // Resizes this note for a window `windowHeight` pixels high.
    void ResizeForWindow(int windowHeight);

protected:
    // Key of a subsegment of the note ("conditions/xarrow"), -1 when missing.
    long Sub(const char* path) const;
    // Chooses the mask transform of "conditions/matrix/mask transform" from the text size's unit.
    void ApplyMaskTransform();
    // Rebuilds the leader in "conditions/xarrow" and the text translation.
    void DrawLeader(const HCamera* camera);

    long m_noteKey = -1;
    long m_textKey = -1;
    HPoint m_target;
    HPoint m_position;
};

// The window height (pixels) a note's screen-sized background was last fitted for (600 when
// never), and setting it; kept as the note segment's user option "note window height".
int NoteHeight(long note);
void OnNoteHeight(long note, int height);

// Conversions between UTF-8 and the notes' 16-bit text.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);
