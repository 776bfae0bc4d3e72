// Conversions between the text forms the platform meets: wide strings (wchar_t, one code
// point each on Linux) in the settings API, UTF-16 in registry string data, and UTF-8 in
// files and for the graphics system. Plus the case folding that makes registry names
// case-insensitive.
#pragma once

#include <string>
#include <string_view>

namespace ketra::sys {

// Wide text to UTF-8. Code points that are not Unicode scalar values (surrogates, values
// above U+10FFFF) become U+FFFD.
std::string ToUtf8(std::wstring_view text);

// UTF-8 to wide text; malformed sequences become U+FFFD.
std::wstring FromUtf8(std::string_view text);

// Strict UTF-8 decoding: false on any malformed, overlong or surrogate sequence, with the
// byte offset of the first bad byte in `*badOffset` when non-null.
bool DecodeUtf8(std::string_view text, std::wstring* out, std::size_t* badOffset = nullptr);

// Wide text to UTF-16 code units; characters above U+FFFF become surrogate pairs and
// invalid code points become U+FFFD.
std::u16string ToUtf16(std::wstring_view text);

// Strict UTF-16 decoding: false on an unpaired surrogate.
bool DecodeUtf16(std::u16string_view text, std::wstring* out);

// The case-folded form used to compare registry key and value names, as Windows compares
// them: letters of the Latin, Greek and Cyrillic alphabets map to upper case; everything
// else is kept. Two names are the same name when their folded forms are equal.
std::wstring FoldCase(std::wstring_view text);
wchar_t FoldCase(wchar_t c);

} // namespace ketra::sys
