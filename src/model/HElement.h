// One registered analysis element: the node pair a host element runs between, its kind,
// and the scene key it was registered for.
#pragma once

#include "platform/mvo/HPoint.h"

#include <cstdint>

class HElement {
public:
    // Element kinds. The value is part of the host interface (hosts store and compare it).
    enum TYPES { Pipe = 0, Bend = 1, Anchor = 2, Restraint = 3, Rigid = 4, Hanger = 5, Text = 6, Tees = 7 };

    // Default record: nodes (0, 0), key -1, type Pipe.
    HElement() : HElement(0, 0, -1, Pipe) {}
    // Sets the fields and the packed element key; both locations start at (0, 0, 0).
    HElement(int from, int to, long key, TYPES type);

    HElement(const HElement&) = default;
    HElement& operator=(const HElement&) = default;

    // The scene key the record was made for (not translated to the original key).
    long GetKey() const { return m_key; }
    int GetFrom() const { return m_from; }
    int GetTo() const { return m_to; }
    // Packed node pair: "from" in the low 16 bits, "to" in the high 16 bits. Node numbers
    // above 65535 do not fit, so two different pairs can share a packed key: compare
    // GetFrom()/GetTo() when the pair itself matters.
    int GetElemKey() const { return m_elemKey; }
    TYPES GetType() const { return m_type; }

    // Sets end location 0 or 1; any other index is ignored.
    void SetLocation(int index, float x, float y, float z);
    // End location 0 or 1; any other index gives location 0.
    const HPoint& GetLocation(int index) const;

    // True when `other` is non-null and both records were made for the same scene key.
    bool operator==(const HElement* other) const;
    // Orders by packed element key, then by type.
    bool operator<(const HElement& other) const;

    // The packed form of a node pair, as GetElemKey() gives it.
    static int PackNodes(int from, int to);
    // The name Dump() prints for a type: "pipe", "bend", ... and "don't know" for Tees or
    // any value outside the enumeration.
    static const char* DumpName(int type);

private:
    int m_elemKey = 0;
    int m_from = 0;
    int m_to = 0;
    TYPES m_type = Pipe;
    long m_key = -1;
    HPoint m_location[2];
};
