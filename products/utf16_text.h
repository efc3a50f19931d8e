// The block and the parameters keep their texts as zero-terminated UTF-16
// arrays; files, paths and records want UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvanta {

// Converts up to the first zero unit (or the whole view). Unpaired surrogates
// become U+FFFD so a damaged text never yields invalid UTF-8.
std::string Utf8FromUtf16(std::u16string_view text);

// A fixed-capacity text field: reads up to its terminator or its capacity.
template <size_t N>
std::string Utf8FromField(const char16_t (&field)[N]) {
  size_t n = 0;
  while (n < N && field[n] != 0) ++n;
  return Utf8FromUtf16(std::u16string_view(field, n));
}

}  // namespace orvanta
