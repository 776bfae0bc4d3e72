// The length limit on the segment names of scene files (.hmf and .hsf).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ketra::hc::hmf {

// The longest segment name a scene file may hold, in bytes. The readers refuse a longer one
// (also as a part of a reference's path), naming where it is.
inline constexpr size_t kMaxSegmentName = 1024;

// What is wrong with the names in a segment name or an absolute path: "" when none is longer
// than kMaxSegmentName, else a message giving the longest one's length and the limit.
std::string NameLengthProblem(std::string_view nameOrPath);

} // namespace ketra::hc::hmf
