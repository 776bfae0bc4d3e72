// The view's selection list with the element registry's segment-versus-geometry rule: at
// select level 0 a geometry key is replaced by the segment that holds it before it is
// selected or deselected, so picking any face of an element selects the element's segment.
#pragma once

#include "platform/mvo/HSelectionSet.h"

class HBaseViewEx;

class HMySelectionSet : public HSelectionSet {
public:
    // Values of the select level (stored as an int).
    enum SelectLevel { PromoteToSegment = 0, KeyAsGiven = 1 };

    // A selection set for `view` (may be null for a free-standing list) with select level 1.
    explicit HMySelectionSet(HBaseViewEx* view);
    HMySelectionSet(const HMySelectionSet&) = default;
    HMySelectionSet& operator=(const HMySelectionSet&) = default;
    ~HMySelectionSet() override;

    void SetSelectLevel(SelectLevel level) { m_selectLevel = static_cast<int>(level); }
    SelectLevel GetSelectLevel() const { return static_cast<SelectLevel>(m_selectLevel); }

    // Selects `key` reached through `segpath` (may be null). At level 0 a key that is not a
    // segment (geometry or an include reference) is replaced by its owner segment first; any
    // other level selects the key unchanged. The include and includer keys are accepted for
    // the host's sake and not passed on. A stale key is ignored.
    void Select(long key, const char* segpath, long includeKey, long includerKey);
    // Removes `key`, promoted as Select promotes it. Returns false when it was not selected.
    bool DeSelect(long key);

    // Makes HMyBaseView::Init create an HMySelectionSet (level 1) for its views. Done when the
    // core library is loaded; calling it again is harmless.
    static void Install();

    // The key Select/DeSelect work on at the current level: `key` itself, or at level 0 the
    // owner segment of a non-segment key. A stale key comes back unchanged.
    long EffectiveKey(long key) const;

private:
    int m_selectLevel = KeyAsGiven;
};
