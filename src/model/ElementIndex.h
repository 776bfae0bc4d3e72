// The two containers behind HElementCollection and the rules that keep them, over keys that
// are already original scene keys. Nothing here touches the scene graph, so the rules can be
// exercised without one; HElementCollection adds the key translation and segment reading.
#pragma once

#include "model/HElement.h"

#include <map>
#include <ostream>
#include <string_view>
#include <utility>
#include <vector>

namespace ketra::model {

// Type of an element segment from its path: the first keyword found, tested in the order
// "cylinder", "bend", "anchor", "hanger", "restraint", "rigid", "text", "tees", decides;
// none gives Pipe. Segment names are case-insensitive, so the test is too.
HElement::TYPES ClassifyElementPath(std::string_view path);

// Node number from a "from"/"to" user option value, read as atoi reads it (leading blanks,
// optional sign, digits up to the first other character; no digits gives 0). Values beyond
// the int range saturate at INT_MIN / INT_MAX instead of overflowing.
int ParseNodeNumber(std::string_view text);

class ElementIndex {
public:
    using ElementMap = std::map<long, HElement>;
    using NodePair = std::pair<int, int>;
    // Lexicographic on (from, to); equal pairs keep insertion order.
    using PairIndex = std::multimap<NodePair, long>;

    // Enters `element` under `mapKey`. An element already stored under `mapKey` stays as it
    // is. A node-pair entry (from, to) -> mapKey is added whenever both node numbers are
    // non-zero, even when the map kept an earlier element.
    void Insert(long mapKey, const HElement& element);

    // Node pair of the element stored under `mapKey`; (0, 0) when none.
    NodePair NodesOf(long mapKey) const;

    // Map key of the pipe-like element (Pipe, Bend or Rigid) between `from` and `to`; -1 when
    // none. Logarithmic when both nodes are given (>= 1). With one node missing (< 1) the
    // index is walked linearly from its start for the first pair that has the given node at
    // either end, and that pair is searched instead. Returns -1 for (-1, -1), (0, 0) or an
    // empty index. An element only matches when its own stored node numbers equal the pair,
    // so node numbers that agree in their low 16 bits are never confused.
    long Find(int from, int to) const;

    // Every indexed key with exactly this pair, in insertion order, whether or not the map
    // still holds it and of any type; empty when either node is < 1.
    std::vector<long> FindAll(int from, int to) const;

    // Erases the element stored under `mapKey` (when present) and then everything between
    // its two nodes, as Delete(from, to) does.
    void Delete(long mapKey);
    // When both nodes are >= 1: erases every index entry with this pair and, for each, the
    // element stored under its key when that element itself runs between these nodes.
    void Delete(int from, int to);
    // Erases every Text element and its own index entry.
    void DeleteAllText();
    void Clear();

    int GetSize() const { return static_cast<int>(m_elements.size()); }
    std::size_t IndexSize() const { return m_pairs.size(); }
    const ElementMap& Elements() const { return m_elements; }
    const PairIndex& Pairs() const { return m_pairs; }

    // Null when n >= GetSize(); otherwise the element stored under map key n, inserting a
    // default element under n when none is stored. The pointer stays valid until that element
    // is erased or the index is cleared.
    HElement* At(int n);

    // One line per element in key order: "From = %d\tTo=%d\tKey=%d\tType = %s\n".
    void Dump(std::ostream& out) const;

private:
    ElementMap m_elements;
    PairIndex m_pairs;
};

} // namespace ketra::model
