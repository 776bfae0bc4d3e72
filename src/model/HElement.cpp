#include "model/HElement.h"

HElement::HElement(int from, int to, long key, TYPES type)
    : m_elemKey(PackNodes(from, to)), m_from(from), m_to(to), m_type(type), m_key(key) {
    m_location[0].Set(0.0f, 0.0f, 0.0f);
    m_location[1].Set(0.0f, 0.0f, 0.0f);
}

int HElement::PackNodes(int from, int to) {
    // Unsigned arithmetic: the packing wraps for any node number instead of overflowing.
    const auto packed = (static_cast<std::uint32_t>(from) & 0xFFFFu) |
                        (static_cast<std::uint32_t>(to) << 16);
    return static_cast<int>(packed);
}

void HElement::SetLocation(int index, float x, float y, float z) {
    if (index == 0 || index == 1) {
        m_location[index].Set(x, y, z);
    }
}

const HPoint& HElement::GetLocation(int index) const {
    return m_location[index == 1 ? 1 : 0];
}

bool HElement::operator==(const HElement* other) const {
    return other != nullptr && other->m_key == m_key;
}

bool HElement::operator<(const HElement& other) const {
    if (m_elemKey != other.m_elemKey) {
        return m_elemKey < other.m_elemKey;
    }
    return m_type < other.m_type;
}

const char* HElement::DumpName(int type) {
    switch (type) {
    case Pipe:
        return "pipe";
    case Bend:
        return "bend";
    case Anchor:
        return "anchor";
    case Restraint:
        return "restraint";
    case Rigid:
        return "rigid";
    case Hanger:
        return "hanger";
    case Text:
        return "text";
    default:
        return "don't know";
    }
}
