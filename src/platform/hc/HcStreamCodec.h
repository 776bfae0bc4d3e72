// HcStreamCodec.h — record tags and byte helpers shared by the scene stream's writer and
// reader (docs/hsf-format.md). Internal to src/platform/hc.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace ketra::hc::hsf {

static_assert(std::endian::native == std::endian::little,
              "the stream is written as memory images of little-endian numbers");

// Header: magic (8), version (u32), flags (u32, 0), body length (u64), CRC-32 of the body
// (u32); the body follows, then nothing.
inline constexpr size_t kHeaderBytes = 8 + 4 + 4 + 8 + 4;

// A record is a tag byte, a u32 payload length and the payload.
enum Tag : uint8_t {
    kSegment = 1,    // string name, records
    kStyle = 2,      // reference
    kInclude = 3,    // reference
    kAttribute = 4,  // u8 attribute id, value
    kGeometry = 5,   // u8 geometry kind, data, records
    kElement = 6,    // u8 element kind, varint index (edges: two), one attribute record
    kLod = 7,        // varint level, shell geometry records
};

// Reference forms.
enum RefForm : uint8_t { kRefOrdinal = 0, kRefPath = 1 };
// Element kinds.
enum ElementKind : uint8_t { kFace = 0, kVertex = 1, kEdge = 2 };

// Attribute ids and their values: s = string, f = f32, i = zigzag varint.
enum AttrId : uint8_t {
    kColor = 1,             // s
    kColorIndex = 2,        // s channels, i index
    kColorMap = 3,          // s
    kVisibility = 4,        // s
    kSelectability = 5,     // s
    kLinePattern = 6,       // s
    kEdgePattern = 7,       // s
    kFacePattern = 8,       // s
    kMarkerSymbol = 9,      // s
    kTextAlignment = 10,    // s
    kLineWeight = 11,       // f
    kEdgeWeight = 12,       // f
    kMarkerSize = 13,       // f
    kTextFont = 14,         // s
    kRenderingOptions = 15, // s
    kHeuristics = 16,       // s
    kCallback = 17,         // s
    kUserOptions = 18,      // s
    kUserIndex = 19,        // i index, i value
    kHandedness = 20,       // u8: 0 left, 1 right
    kMatrix = 21,           // 16 f
    kCamera = 22,           // 11 f, u8 projection (0 perspective, 1 orthographic, 2 stretched)
    kWindow = 23,           // 4 f
    kDriverOptions = 24,    // s
    kNormal = 25,           // 3 f (faces, edges and vertices only)
    kAttrLast = kNormal,
};

// CRC-32 (IEEE 802.3, reflected, as zlib computes it).
inline uint32_t Crc32(std::string_view bytes) {
    static const std::array<uint32_t, 256> kTable = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes)
        crc = kTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

inline uint64_t ZigZag(int64_t v) { return (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63); }
inline int64_t UnZigZag(uint64_t v) { return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1); }

} // namespace ketra::hc::hsf
