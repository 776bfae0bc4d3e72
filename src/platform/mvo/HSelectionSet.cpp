#include "platform/mvo/HSelectionSet.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HObjectManager.h"

namespace {
int g_setCounter = 0;

bool KeyValid(HC_KEY key) { return key != -1 && key != 0 && HC_Show_Existence_By_Key(key, "self") > 0; }

std::string KeyType(HC_KEY key)
{
    return HC_Show_Key_Type(key);
}
} // namespace

HSelectionSet::HSelectionSet(HBaseView* view) : m_view(view) {}

HSelectionSet::~HSelectionSet()
{
    for (Entry& entry : m_entries)
        Unhighlight(entry);
    if (KeyValid(m_highlightStyle))
        HC_Delete_By_Key(m_highlightStyle);
}

void HSelectionSet::Init()
{
    if (KeyValid(m_highlightStyle))
        return;
    std::string path;
    do {
        path = "/include library/highlight styles/set " + std::to_string(++g_setCounter);
    } while (HC_QShow_Existence(path.c_str(), "self") > 0);
    m_highlightStyle = HC_Open_Segment(path.c_str());
    HC_Set_Color(m_highlightColor.c_str());
    HC_Close_Segment();
}

void HSelectionSet::SetHighlightColor(const char* colorSpec)
{
    if (!colorSpec || !*colorSpec)
        return;
    m_highlightColor = colorSpec;
    if (KeyValid(m_highlightStyle)) {
        HC_Open_Segment_By_Key(m_highlightStyle);
        HC_UnSet_Color();
        HC_Set_Color(colorSpec);
        HC_Close_Segment();
    }
}

void HSelectionSet::SetAllowEntitySelection(bool allow)
{
    if (allow)
        m_level = HSelectLevelEntity;
    else if (m_level == HSelectLevelEntity)
        m_level = HSelectLevelSegment;
}

void HSelectionSet::SetAllowSubentitySelection(bool allow)
{
    if (allow)
        m_level = HSelectLevelSubentity;
    else if (m_level == HSelectLevelSubentity)
        m_level = HSelectLevelEntity;
}

HC_KEY HSelectionSet::PromoteKey(HC_KEY key) const
{
    if (m_level != HSelectLevelSegment && m_level != HSelectLevelSegmentTree)
        return key;
    if (KeyType(key) == "segment")
        return key;
    const HC_KEY owner = HC_KShow_Owner_By_Key(key);
    if (owner == -1)
        return key;
    if (m_level != HSelectLevelSegment)
        return owner;
    // Geometry in a part of an object (a symbol's subsegment) selects the whole object.
    const HC_KEY object = HObjectManager::FindHObjectSegment(owner);
    return object != -1 ? object : owner;
}

void HSelectionSet::Select(HC_KEY key, const char*, HC_KEY includeKey, HC_KEY includerKey,
                           bool emitMessage)
{
    std::vector<HC_KEY> includes;
    if (includeKey != 0 && includeKey != -1)
        includes.push_back(includeKey);
    if (includerKey != 0 && includerKey != -1)
        includes.push_back(includerKey);
    Select(key, static_cast<int>(includes.size()), includes.data(), emitMessage);
}

void HSelectionSet::Select(HC_KEY key, int includeCount, const HC_KEY* includeKeys, bool emitMessage)
{
    if (!KeyValid(key))
        return;
    key = PromoteKey(key);
    if (includeCount < 0 || (includeCount > 0 && !includeKeys))
        includeCount = 0;
    if (IsSelected(key, includeCount, includeKeys))
        return;
    Entry entry;
    entry.key = key;
    entry.includes.assign(includeKeys, includeKeys + includeCount);
    Highlight(entry);
    m_entries.push_back(std::move(entry));
    if (emitMessage)
        ++m_emitted;
}

bool HSelectionSet::DeSelect(HC_KEY key, bool emitMessage)
{
    const HC_KEY promoted = KeyValid(key) ? PromoteKey(key) : key;
    bool removed = false;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->key == key || it->key == promoted) {
            Unhighlight(*it);
            it = m_entries.erase(it);
            removed = true;
        } else {
            ++it;
        }
    }
    if (removed && emitMessage)
        ++m_emitted;
    return removed;
}

bool HSelectionSet::DeSelect(HC_KEY key, int includeCount, const HC_KEY* includeKeys, bool emitMessage)
{
    if (includeCount <= 0 || !includeKeys)
        return DeSelect(key, emitMessage);
    const HC_KEY promoted = KeyValid(key) ? PromoteKey(key) : key;
    const std::vector<HC_KEY> path(includeKeys, includeKeys + includeCount);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if ((it->key == key || it->key == promoted) && it->includes == path) {
            Unhighlight(*it);
            m_entries.erase(it);
            if (emitMessage)
                ++m_emitted;
            return true;
        }
    }
    return false;
}

void HSelectionSet::DeSelectAll()
{
    for (Entry& entry : m_entries)
        Unhighlight(entry);
    m_entries.clear();
}

bool HSelectionSet::IsSelected(HC_KEY key) const
{
    return std::any_of(m_entries.begin(), m_entries.end(), [key](const Entry& e) { return e.key == key; });
}

bool HSelectionSet::IsSelected(HC_KEY key, int includeCount, const HC_KEY* includeKeys) const
{
    if (includeCount <= 0 || !includeKeys)
        return std::any_of(m_entries.begin(), m_entries.end(),
                           [key](const Entry& e) { return e.key == key && e.includes.empty(); });
    const std::vector<HC_KEY> path(includeKeys, includeKeys + includeCount);
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const Entry& e) { return e.key == key && e.includes == path; });
}

unsigned int HSelectionSet::GetSize() const { return static_cast<unsigned int>(m_entries.size()); }

HC_KEY HSelectionSet::GetAt(unsigned int index) const
{
    return index < m_entries.size() ? m_entries[index].key : -1;
}

std::vector<HC_KEY> HSelectionSet::GetIncludePath(unsigned int index) const
{
    return index < m_entries.size() ? m_entries[index].includes : std::vector<HC_KEY>{};
}

HC_KEY HSelectionSet::GetSelectionSegment() const
{
    return m_entries.empty() ? -1 : m_entries.back().key;
}

void HSelectionSet::Highlight(Entry& entry)
{
    if (!m_view || !KeyValid(m_highlightStyle) || !KeyValid(entry.key))
        return;
    if (KeyType(entry.key) == "segment") {
        HC_Open_Segment_By_Key(entry.key);
        entry.styleKey = HC_Style_Segment_By_Key(m_highlightStyle);
        HC_Close_Segment();
    }
    // Geometry items keep their own attributes; their owner is not restyled so that other
    // items of the segment do not light up with them.
}

void HSelectionSet::Unhighlight(Entry& entry)
{
    if (entry.styleKey != -1 && KeyValid(entry.styleKey))
        HC_Delete_By_Key(entry.styleKey);
    entry.styleKey = -1;
}
