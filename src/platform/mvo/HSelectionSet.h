// HSelectionSet: the selection list of one view. Each entry is a key (segment or geometry)
// with the include path through which it was picked; selected entries are highlighted by
// including a highlight style (see Highlight below). The view owns its selection set.
#pragma once

#include <string>
#include <vector>

typedef long HC_KEY;

class HBaseView;

// How far a pick is promoted before it is selected (HSelectionSet::SelectLevel).
enum HSelectLevel {
    HSelectLevelSegment = 0,      // geometry is promoted to the segment that holds it, or to
                                  // the object segment (HObjectManager) that segment lies in
    HSelectLevelSegmentTree = 1,  // as Segment; area selection tests the segment four levels up
    HSelectLevelEntity = 2,       // the picked geometry item itself
    HSelectLevelSubentity = 3,    // the item (faces, edges and vertices are not tracked apart)
};

class HSelectionSet {
public:
    // view may be null (a free-standing list); then nothing is highlighted.
    explicit HSelectionSet(HBaseView* view);
    HSelectionSet(const HSelectionSet&) = default;
    HSelectionSet& operator=(const HSelectionSet&) = default;
    virtual ~HSelectionSet();

    // Creates the highlight style segment "/include library/highlight/<n>" for this set.
    virtual void Init();

    // Selects key, reached through segpath (may be null) or include key / includer key
    // (0 for none). At segment level a geometry key is replaced by its owner segment first.
    // A key already selected is not added twice. A stale key is ignored.
    virtual void Select(HC_KEY key, const char* segpath, HC_KEY includeKey, HC_KEY includerKey,
                        bool emitMessage = false);
    // Selects key reached through includeCount include keys (outermost last, as
    // HC_Show_Selection_Keys lists them after the item).
    virtual void Select(HC_KEY key, int includeCount, const HC_KEY* includeKeys,
                        bool emitMessage = false);
    // Removes key (any include path). Returns false when it was not selected.
    virtual bool DeSelect(HC_KEY key, bool emitMessage = false);
    virtual bool DeSelect(HC_KEY key, int includeCount, const HC_KEY* includeKeys,
                          bool emitMessage = false);
    virtual void DeSelectAll();

    virtual bool IsSelected(HC_KEY key) const;
    virtual bool IsSelected(HC_KEY key, int includeCount, const HC_KEY* includeKeys) const;
    virtual unsigned int GetSize() const;
    // Key of entry index (oldest first); -1 when index is out of range.
    virtual HC_KEY GetAt(unsigned int index) const;
    HC_KEY GetSelectionItemAt(unsigned int index) const { return GetAt(index); }
    // The include path an entry was selected through (empty for none).
    std::vector<HC_KEY> GetIncludePath(unsigned int index) const;
    // The selection segment: the key of the most recent entry, -1 when empty.
    HC_KEY GetSelectionSegment() const;

    HSelectLevel GetSelectionLevel() const { return m_level; }
    void SetSelectionLevel(HSelectLevel level) { m_level = level; }
    bool GetAllowEntitySelection() const { return m_level == HSelectLevelEntity; }
    void SetAllowEntitySelection(bool allow);
    bool GetAllowSubentitySelection() const { return m_level == HSelectLevelSubentity; }
    void SetAllowSubentitySelection(bool allow);

    // Highlighting (only for a set with a view): a selected segment gets the highlight style
    // (colour "faces=yellow, edges=yellow, lines=yellow, markers=yellow, text=yellow" by
    // default) through HC_Style_Segment; geometry items are not restyled. Deselecting removes
    // exactly that style reference.
    void SetHighlightColor(const char* colorSpec);
    const std::string& GetHighlightColor() const { return m_highlightColor; }
    HC_KEY GetHighlightStyle() const { return m_highlightStyle; }

    HBaseView* GetView() const { return m_view; }

    // Number of Select/DeSelect calls made with emitMessage true (the view's message channel;
    // tests and the host read it).
    unsigned int GetEmittedMessageCount() const { return m_emitted; }

protected:
    struct Entry {
        HC_KEY key = -1;
        std::vector<HC_KEY> includes;
        HC_KEY styleKey = -1;  // the style reference made by Highlight, -1 when none
    };
    HC_KEY PromoteKey(HC_KEY key) const;
    void Highlight(Entry& entry);
    void Unhighlight(Entry& entry);

    HBaseView* m_view = nullptr;
    std::vector<Entry> m_entries;
    HSelectLevel m_level = HSelectLevelEntity;
    std::string m_highlightColor =
        "faces=yellow, edges=yellow, lines=yellow, markers=yellow, text=yellow";
    HC_KEY m_highlightStyle = -1;
    unsigned int m_emitted = 0;
};
