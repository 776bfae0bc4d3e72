// HObjectManager: object segments. A segment becomes an object of a kind ("Annotation",
// "Measurement", "Part", ...) by the user option "hobject = <kind>"; an optional information
// text is kept in "hobject info" (stored percent-encoded, so any text survives the option
// syntax). Lookups walk from an item up through its owners to the first object segment.
#pragma once

#include <string>

typedef long HC_KEY;

class HObjectManager {
public:
    // Marks `segment` as an object of `kind` (non-empty) with optional information text.
    // Returns false for an invalid segment key or an empty kind.
    static bool SetHObjectSegment(HC_KEY segment, const char* kind, const char* info = nullptr);
    // Removes the object marks from `segment`.
    static void UnSetHObjectSegment(HC_KEY segment);
    // The object segment that holds `key` (the key itself, its owner, or a segment above),
    // -1 when none. When `kind` is given it receives the object's kind, whole.
    static HC_KEY FindHObjectSegment(HC_KEY key, std::string* kind);
    // As above; `kind` must hold 256 bytes, and a longer kind is cut to 255 characters.
    static HC_KEY FindHObjectSegment(HC_KEY key, char* kind = nullptr);
    // Kind and information text of an object segment ("" when it is none).
    static std::string GetHObjectKind(HC_KEY segment);
    static std::string GetHObjectInfo(HC_KEY segment);
};
