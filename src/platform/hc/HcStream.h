// HcStream.h — the binary scene stream (.hsf, docs/hsf-format.md): the same content as the
// text metafile (segments, attributes, styles, includes, geometry with levels of detail and
// per-element attributes), as little-endian binary records with lengths and a checksum.
// HC_Read_Metafile recognises a stream by its first bytes and reads it with ReadStreamBytes.
#pragma once

#include "platform/hc/SceneGraph.h"

#include <functional>
#include <string>
#include <string_view>

namespace ketra::hc {

// First eight bytes of every stream.
inline constexpr std::string_view kStreamMagic{"KETRAHSF", 8};
inline constexpr unsigned kStreamVersion = 1;

// The stream of a subtree; with `keep`, only the subsegments it accepts (at every depth).
std::string StreamBytes(const Segment& root, const std::function<bool(const Segment&)>& keep = {});

// True when `data` starts like a stream (the magic), whatever follows.
bool LooksLikeStream(std::string_view data);

// Reads a stream into the segment `into` (created when missing, only on success). The bytes
// are checked whole (header, checksum, every record's length, counts, point indices, names)
// before anything is made; on failure nothing is created or changed and `error` names the
// byte offset and the problem.
bool ReadStreamBytes(std::string_view data, std::string_view name, std::string_view into,
                     std::string& error);

} // namespace ketra::hc
