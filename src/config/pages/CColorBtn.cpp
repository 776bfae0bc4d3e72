// The colour buttons' shared palette.
#include "config/pages/CColorBtn.h"

#include "config/CAppSettings.h"
#include "platform/window/WindowPort.h"

#include <algorithm>

namespace {

constexpr std::array<std::uint32_t, CColorBtn::kCount> kPalette = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000,
    0xC0C0C0, 0xC0DCC0, 0xF0CAA6, 0xF0FBFF, 0xA4A0A0, 0x808080, 0x0000FF,
    0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
constexpr std::array<std::uint8_t, CColorBtn::kCount> kInitialOrder = {
    1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2};

std::array<std::uint32_t, CColorBtn::kCount> g_colors = kPalette;
std::array<std::uint8_t, CColorBtn::kCount> g_order = kInitialOrder;

bool IsPermutation(const std::array<std::uint8_t, CColorBtn::kCount>& order) {
    std::array<bool, CColorBtn::kCount + 1> seen{};
    for (std::uint8_t rank : order) {
        if (rank < 1 || rank > CColorBtn::kCount || seen[rank])
            return false;
        seen[rank] = true;
    }
    return true;
}

} // namespace

const std::array<std::uint32_t, CColorBtn::kCount>& CColorBtn::Colors() {
    return g_colors;
}
const std::array<std::uint8_t, CColorBtn::kCount>& CColorBtn::Order() {
    return g_order;
}

void CColorBtn::Reset() {
    g_colors = kPalette;
    g_order = kInitialOrder;
}

void CColorBtn::MarkUsed(int index) {
    const std::uint8_t rank = g_order[static_cast<size_t>(index)];
    for (std::uint8_t& other : g_order)
        if (other < rank)
            ++other;
    g_order[static_cast<size_t>(index)] = 1;
}

std::vector<int> CColorBtn::IndexesByUse() {
    std::vector<int> indexes(kCount);
    for (int i = 0; i < kCount; ++i)
        indexes[static_cast<size_t>(i)] = i;
    std::stable_sort(indexes.begin(), indexes.end(), [](int a, int b) {
        return g_order[static_cast<size_t>(a)] < g_order[static_cast<size_t>(b)];
    });
    return indexes;
}

void CColorBtn::ChoosePalette(int index) {
    if (index < 0 || index >= kCount)
        return;
    m_color = g_colors[static_cast<size_t>(index)];
    MarkUsed(index);
}

void CColorBtn::ChooseOther(unsigned long color) {
    color &= 0xFFFFFF;
    const auto found = std::find(g_colors.begin(), g_colors.end(), color);
    if (found != g_colors.end()) {
        ChoosePalette(static_cast<int>(found - g_colors.begin()));
        return;
    }
    const auto oldest = std::max_element(g_order.begin(), g_order.end());
    const int index = static_cast<int>(oldest - g_order.begin());
    g_colors[static_cast<size_t>(index)] = static_cast<std::uint32_t>(color);
    ChoosePalette(index);
}

bool CColorBtn::ChooseWithPort(ketra::window::WindowPort& port) {
    unsigned int rgb = static_cast<unsigned int>(m_color);
    if (!port.ChooseColor(rgb))
        return false;
    ChooseOther(rgb);
    return true;
}

bool CColorBtn::Store() {
    std::uint32_t colors[kCount];
    std::uint8_t order[kCount];
    std::copy(g_colors.begin(), g_colors.end(), colors);
    std::copy(g_order.begin(), g_order.end(), order);
    return CAppSettings::StoreColorData(colors, order);
}

int CColorBtn::Load() {
    std::uint32_t colors[kCount];
    std::uint8_t order[kCount];
    std::copy(g_colors.begin(), g_colors.end(), colors);
    std::copy(g_order.begin(), g_order.end(), order);
    if (!CAppSettings::LoadColorData(colors, order)) {
        Reset();
        return 0;
    }
    std::copy(std::begin(colors), std::end(colors), g_colors.begin());
    std::copy(std::begin(order), std::end(order), g_order.begin());
    for (std::uint32_t& c : g_colors)
        c &= 0xFFFFFF;
    if (!IsPermutation(g_order))
        g_order = kInitialOrder;
    return 1;
}
