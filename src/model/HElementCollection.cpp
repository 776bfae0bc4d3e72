#include "model/HElementCollection.h"

#include "platform/hc/SceneGraph.h"
#include "platform/hc/hc.h"

#include <iostream>
#include <string>

namespace {

// Node-number options are read as at most this many characters.
constexpr std::size_t kOptionTextLimit = 49;

bool IsSceneKey(long key) {
    return HC_Show_Existence_By_Key(key, "self") != 0;
}

// The key registrations are filed under. A key that names nothing in the scene (a host's
// own number, or a key deleted since) stands for itself, so lookups by it stay consistent
// and never report through the scene graph's error handler.
long OriginalKey(long key) {
    return IsSceneKey(key) ? HC_Show_Original_Key(key) : key;
}

// Value of one user option set on the segment itself, "" when it is not set there. Read from
// the graph directly: a plant registers every element as it is drawn.
std::string LocalUserOption(const ketra::hc::Segment& segment, std::string_view name) {
    const std::string* value =
        segment.userOptions ? segment.userOptions->Find(name) : nullptr;
    return value ? value->substr(0, kOptionTextLimit) : std::string();
}

} // namespace

long HElementCollection::Add(long key, KEYTYPES keyType) {
    // A key that names nothing in the scene is returned as it is, registering nothing.
    if (!IsSceneKey(key)) {
        return key;
    }
    const long segmentKey = keyType == GeometryKey ? HC_KShow_Owner_By_Key(key) : key;
    auto& graph = ketra::hc::Graph::Instance();
    const ketra::hc::Segment* segment = graph.FindSegment(segmentKey);
    if (segment == nullptr) {
        return key; // a segment kind given a geometry key, or the root's owner
    }

    const int from = ketra::model::ParseNodeNumber(LocalUserOption(*segment, "from"));
    const int to = ketra::model::ParseNodeNumber(LocalUserOption(*segment, "to"));
    if (from < 1 || to < 1) {
        return key;
    }
    const HElement element(from, to, key, ketra::model::ClassifyElementPath(graph.PathName(*segment)));
    const long mapKey = HC_Show_Original_Key(key);
    m_index.Insert(mapKey, element);
    return mapKey;
}

void HElementCollection::Add(HElement& element) {
    m_index.Insert(OriginalKey(element.GetKey()), element);
}

std::pair<int, int> HElementCollection::Find(long key) const {
    return m_index.NodesOf(OriginalKey(key));
}

long HElementCollection::Find(int from, int to) const {
    return m_index.Find(from, to);
}

std::vector<long> HElementCollection::FindAll(int from, int to) const {
    return m_index.FindAll(from, to);
}

void HElementCollection::Delete(long key) {
    m_index.Delete(key);
}

void HElementCollection::Delete(int from, int to) {
    m_index.Delete(from, to);
}

void HElementCollection::DeleteAllText() {
    m_index.DeleteAllText();
}

void HElementCollection::Clear() {
    m_index.Clear();
}

void HElementCollection::Dump() const {
    m_index.Dump(std::clog);
    std::clog.flush();
}
