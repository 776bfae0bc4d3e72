#include "model/HMySelectionSet.h"

#include "platform/hc/HcStrings.h"
#include "view/HBaseViewEx.h"

#include <cstring>

HMySelectionSet::HMySelectionSet(HBaseViewEx* view) : HSelectionSet(view) {}

HMySelectionSet::~HMySelectionSet() = default;

long HMySelectionSet::EffectiveKey(long key) const {
    if (m_selectLevel != PromoteToSegment) {
        return key;
    }
    const std::string type = HC_Show_Key_Type(key); // "invalid", without an error, for a stale key
    if (type == "segment" || type == "invalid") {
        return key;
    }
    const long owner = HC_KShow_Owner_By_Key(key);
    return owner == -1 ? key : owner;
}

void HMySelectionSet::Select(long key, const char* segpath, long includeKey, long includerKey) {
    (void)includeKey;
    (void)includerKey;
    HSelectionSet::Select(EffectiveKey(key), segpath, 0, 0, false);
}

bool HMySelectionSet::DeSelect(long key) {
    return HSelectionSet::DeSelect(EffectiveKey(key), false);
}
