// The element registry a host keeps while it draws a plot: from a picked scene key to the
// element's node pair, and from a node pair to the key of the segment that draws it.
//
// Two ordered containers: the element map (original scene key -> HElement) and the node-pair
// index ((from, to) -> original key, duplicates allowed, equal pairs in insertion order).
// Registration and lookups are logarithmic, except Find with one node missing, which walks
// the node-pair index linearly. Nothing here reports an error: absent keys give (0, 0), -1
// or an empty list. Copies are deep. Single-threaded, like the scene graph.
#pragma once

#include "model/ElementIndex.h"
#include "model/HElement.h"

#include <map>
#include <ostream>
#include <utility>
#include <vector>

class HElementCollection {
public:
    // What kind of key Add(long, KEYTYPES) receives: GeometryKey (0xBEEF) is a geometry item
    // whose owning segment carries the node numbers; every other value means a segment key.
    enum KEYTYPES { SegmentKey = 0, GeometryKey = 0xBEEF };

    HElementCollection() = default;
    HElementCollection(const HElementCollection&) = default;
    HElementCollection& operator=(const HElementCollection&) = default;
    virtual ~HElementCollection() = default;

    // Registers the element drawn by a segment. The segment (the key itself, or for
    // GeometryKey the key's owner) must carry "from" and "to" user options that read as node
    // numbers >= 1; its path decides the type (see ketra::model::ClassifyElementPath). The
    // record keeps `key` in its key field and is stored under the key's original key, which
    // is returned. Otherwise nothing is registered and `key` comes back unchanged. A key
    // already registered keeps its first record, but the node pair gains another index
    // entry. A stale or unknown key, or a segment kind given a non-segment key, registers
    // nothing; the segment the caller has open stays open.
    long Add(long key, KEYTYPES keyType);
    // Registers a ready record under the original key of element.GetKey() (the key itself
    // when it is not a scene key). An existing record under that key stays; the node pair is
    // indexed when both node numbers are non-zero.
    void Add(HElement& element);

    // Node pair of a registered key (any key that maps to the same original key); (0, 0)
    // when not registered.
    std::pair<int, int> Find(long key) const;
    // Key of the pipe, bend or rigid element between two nodes; -1 when none. A node < 1
    // means "not given": then the node-pair index is walked LINEARLY from its start for the
    // first pair with the other node at either end, and that pair is searched. Returns -1
    // for (-1, -1), (0, 0) and an empty registry. Matches on the stored node numbers, so
    // nodes above 65535 never collide through the 16-bit packed element key.
    long Find(int from, int to) const;
    // Keys of every index entry with exactly this pair, in registration order, of any type,
    // including entries whose record was removed; empty when a node is < 1.
    std::vector<long> FindAll(int from, int to) const;

    // Removes the record stored under exactly `key` (no original-key translation) and then
    // everything between its nodes, as Delete(from, to) does. An absent key does nothing.
    void Delete(long key);
    // When both nodes are >= 1, removes every element between them, of every type, with its
    // index entries. (A record that a key kept from an earlier registration under another
    // pair is not between these nodes and stays.)
    void Delete(int from, int to);
    // Removes every Text element and its own index entry.
    void DeleteAllText();
    // Empties both containers.
    void Clear();

    // Number of records.
    int GetSize() const { return m_index.GetSize(); }
    // A copy of the element map (original key -> record).
    std::map<long, HElement> GetElements() const { return m_index.Elements(); }

    // Null when n >= GetSize(). Otherwise the record stored under map key n, inserting a
    // default record (0, 0, -1, Pipe) under n when there is none. Callers must not rely on
    // more than the null result: whether n is a key or a position is not settled.
    HElement* operator[](int n) { return m_index.At(n); }

    // Writes "From = %d\tTo=%d\tKey=%d\tType = %s\n" per record, in key order, to the debug
    // log (standard error).
    void Dump() const;
    // The same lines to `out`.
    void Dump(std::ostream& out) const { m_index.Dump(out); }

    // Accepted for hosts that call them; they change nothing.
    void Sort() {}
    void DeleteSegment(const char* path) { (void)path; }

private:
    ketra::model::ElementIndex m_index;
};
