#include "model/ElementIndex.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdio>

namespace ketra::model {

namespace {

bool IsPipeLike(HElement::TYPES type) {
    return type == HElement::Pipe || type == HElement::Bend || type == HElement::Rigid;
}

} // namespace

HElement::TYPES ClassifyElementPath(std::string_view path) {
    // The order matters: a bend drawn under a "cylinder" segment is a pipe, and a hanger
    // segment that also says "restraint" is a hanger.
    struct Keyword {
        std::string_view word;
        HElement::TYPES type;
    };
    static constexpr std::array<Keyword, 8> kKeywords{{
        {"cylinder", HElement::Pipe},
        {"bend", HElement::Bend},
        {"anchor", HElement::Anchor},
        {"hanger", HElement::Hanger},
        {"restraint", HElement::Restraint},
        {"rigid", HElement::Rigid},
        {"text", HElement::Text},
        {"tees", HElement::Tees},
    }};
    // Every element of a plant is classified when it is registered: lower the path once
    // (ASCII, whatever the locale) and search it for each word.
    std::string lower(path);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    for (const Keyword& keyword : kKeywords) {
        if (std::string_view(lower).find(keyword.word) != std::string_view::npos) {
            return keyword.type;
        }
    }
    return HElement::Pipe;
}

int ParseNodeNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1; // saturate; more digits change nothing
        }
    }
    if (negative) {
        return static_cast<int>(-value); // -(INT_MAX + 1) is INT_MIN
    }
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

void ElementIndex::Insert(long mapKey, const HElement& element) {
    m_elements.try_emplace(mapKey, element);
    if (element.GetFrom() != 0 && element.GetTo() != 0) {
        m_pairs.emplace(NodePair{element.GetFrom(), element.GetTo()}, mapKey);
    }
}

ElementIndex::NodePair ElementIndex::NodesOf(long mapKey) const {
    const auto it = m_elements.find(mapKey);
    if (it == m_elements.end()) {
        return {0, 0};
    }
    return {it->second.GetFrom(), it->second.GetTo()};
}

long ElementIndex::Find(int from, int to) const {
    if ((from == -1 && to == -1) || (from == 0 && to == 0) || m_pairs.empty()) {
        return -1;
    }
    if (from < 1 || to < 1) {
        // One node not given: the first pair in index order touching the given node wins.
        const auto it = std::find_if(m_pairs.begin(), m_pairs.end(), [&](const auto& entry) {
            const auto [a, b] = entry.first;
            return a == from || b == to || a == to || b == from;
        });
        if (it == m_pairs.end()) {
            return -1;
        }
        from = it->first.first;
        to = it->first.second;
    }
    const int packed = HElement::PackNodes(from, to);
    const auto [first, last] = m_pairs.equal_range(NodePair{from, to});
    for (auto it = first; it != last; ++it) {
        const auto element = m_elements.find(it->second);
        if (element == m_elements.end()) {
            continue; // entry left behind by a removal the index did not see
        }
        const HElement& e = element->second;
        if (e.GetElemKey() == packed && e.GetFrom() == from && e.GetTo() == to &&
            IsPipeLike(e.GetType())) {
            return element->first;
        }
    }
    return -1;
}

std::vector<long> ElementIndex::FindAll(int from, int to) const {
    std::vector<long> keys;
    if (from < 1 || to < 1) {
        return keys;
    }
    const auto [first, last] = m_pairs.equal_range(NodePair{from, to});
    for (auto it = first; it != last; ++it) {
        keys.push_back(it->second);
    }
    return keys;
}

void ElementIndex::Delete(long mapKey) {
    NodePair nodes{0, 0};
    const auto it = m_elements.find(mapKey);
    if (it != m_elements.end()) {
        nodes = {it->second.GetFrom(), it->second.GetTo()};
        m_elements.erase(it);
    }
    Delete(nodes.first, nodes.second);
}

void ElementIndex::Delete(int from, int to) {
    if (from < 1 || to < 1) {
        return;
    }
    const auto [first, last] = m_pairs.equal_range(NodePair{from, to});
    for (auto it = first; it != last; ++it) {
        const auto element = m_elements.find(it->second);
        // A key registered again under another pair keeps its first record; that record
        // does not run between these nodes and must survive.
        if (element != m_elements.end() && element->second.GetFrom() == from &&
            element->second.GetTo() == to) {
            m_elements.erase(element);
        }
    }
    m_pairs.erase(first, last);
}

void ElementIndex::DeleteAllText() {
    for (auto it = m_elements.begin(); it != m_elements.end();) {
        if (it->second.GetType() != HElement::Text) {
            ++it;
            continue;
        }
        const auto [first, last] =
            m_pairs.equal_range(NodePair{it->second.GetFrom(), it->second.GetTo()});
        const auto entry = std::find_if(first, last,
                                        [&](const auto& e) { return e.second == it->first; });
        if (entry != last) {
            m_pairs.erase(entry);
        }
        it = m_elements.erase(it);
    }
}

void ElementIndex::Clear() {
    m_elements.clear();
    m_pairs.clear();
}

HElement* ElementIndex::At(int n) {
    if (n >= GetSize()) {
        return nullptr;
    }
    return &m_elements.try_emplace(n).first->second;
}

void ElementIndex::Dump(std::ostream& out) const {
    char line[160];
    for (const auto& [mapKey, element] : m_elements) {
        const int length = std::snprintf(line, sizeof line, "From = %d\tTo=%d\tKey=%d\tType = %s\n",
                                         element.GetFrom(), element.GetTo(),
                                         static_cast<int>(element.GetKey()),
                                         HElement::DumpName(element.GetType()));
        out.write(line, std::min<int>(length, sizeof line - 1));
    }
}

} // namespace ketra::model
