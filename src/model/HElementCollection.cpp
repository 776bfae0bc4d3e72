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

// Value of one user option of the open segment, "" when it is not set there.
std::string ReadOpenSegmentOption(const char* name) {
    const std::string query = std::string("user option = ") + name;
    if (HC_Show_Existence(query.c_str()) == 0) {
        return {};
    }
    int length = 0;
    HC_Show_One_User_Option_Length(name, &length);
    std::string value(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    HC_Show_One_User_Option(name, value.data());
    value.resize(std::char_traits<char>::length(value.c_str()));
    if (value.size() > kOptionTextLimit) {
        value.resize(kOptionTextLimit);
    }
    return value;
}

} // namespace

long HElementCollection::Add(long key, KEYTYPES keyType) {
    // Validate before opening anything: a failed open followed by a close would pop the
    // segment the host has open.
    if (!IsSceneKey(key)) {
        return key;
    }
    const long segmentKey = keyType == GeometryKey ? HC_KShow_Owner_By_Key(key) : key;
    auto& graph = ketra::hc::Graph::Instance();
    const ketra::hc::Segment* segment = graph.FindSegment(segmentKey);
    if (segment == nullptr) {
        return key; // a segment kind given a geometry key, or the root's owner
    }
    const std::string path = graph.PathName(*segment);

    std::string fromText;
    std::string toText;
    HC_Open_Segment_By_Key(segmentKey);
    int optionCount = 0;
    HC_Begin_Contents_Search(".", "user options");
    HC_Show_Contents_Count(&optionCount);
    HC_End_Contents_Search();
    if (optionCount > 0) {
        fromText = ReadOpenSegmentOption("from");
        toText = ReadOpenSegmentOption("to");
    }
    HC_Close_Segment();

    const int from = ketra::model::ParseNodeNumber(fromText);
    const int to = ketra::model::ParseNodeNumber(toText);
    if (from < 1 || to < 1) {
        return key;
    }
    const HElement element(from, to, key, ketra::model::ClassifyElementPath(path));
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
