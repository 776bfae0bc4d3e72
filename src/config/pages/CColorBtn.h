// CColorBtn: the colour button of the option pages. Its pop-up offers a fixed palette of
// 20 colours; the palette and the order in which its colours were last used are shared by
// every button of the process and kept in the settings store (section "ColorData", values
// "ColorTable" and "MRU") by Store and Load.
//
// The order holds, for each palette entry, its rank in the last-used order: 1 the most
// recently used, 20 the least. A colour chosen outside the palette takes the place of the
// least recently used entry. The toolkit draws the button and its pop-up.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace ketra::window {
class WindowPort;
}

class CColorBtn {
public:
    static constexpr int kCount = 20;

    explicit CColorBtn(unsigned long color = 0) : m_color(color & 0xFFFFFF) {}

    unsigned long GetColor() const { return m_color; }
    void SetColor(unsigned long color) { m_color = color & 0xFFFFFF; }

    // The palette entry `index` (0..19) was picked: the button takes its colour and the
    // entry becomes the most recently used. Out-of-range indexes are ignored.
    void ChoosePalette(int index);
    // A colour from outside the palette (the colour chooser): an entry already holding it
    // is used as by ChoosePalette; otherwise it replaces the least recently used entry.
    void ChooseOther(unsigned long color);
    // "Other..." of the pop-up: the port's colour chooser, starting at the button's colour.
    bool ChooseWithPort(ketra::window::WindowPort& port);

    // Shared by all buttons.
    static const std::array<std::uint32_t, kCount>& Colors();
    static const std::array<std::uint8_t, kCount>& Order();
    // Palette indexes, most recently used first.
    static std::vector<int> IndexesByUse();
    // The fixed palette and the initial order.
    static void Reset();
    // Writes the table (80 bytes) and the order (20 bytes). False when the store refused.
    static bool Store();
    // Reads both back; when either is missing, Reset and 0; otherwise 1. An order that is
    // not a permutation of 1..20 (a damaged store) is replaced by the initial order.
    static int Load();

private:
    static void MarkUsed(int index);
    unsigned long m_color;
};
