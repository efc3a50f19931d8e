// UTF-16 text fields of the parameter records and their UTF-8 form.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvanta {

// Invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// The text cut to at most `units` UTF-16 units, between two characters; unchanged (invalid
// bytes and all) when it fits.
std::string CutToUnits(std::string_view text, size_t units);

// Length of a zero-terminated field, never looking past `units`.
size_t FieldLength(const char16_t* field, size_t units);
// The field's text up to its terminator (or its end).
std::u16string FieldText(const char16_t* field, size_t units);
// The field's text up to its terminator (or its end), as UTF-8.
std::string FieldUtf8(const char16_t* field, size_t units);
// Copies text into the field, cut to units - 1, zero-filling the rest.
void SetField(char16_t* field, size_t units, std::u16string_view text);

template <size_t N>
std::u16string FieldText(const char16_t (&field)[N]) {
  return FieldText(field, N);
}
template <size_t N>
std::string FieldUtf8(const char16_t (&field)[N]) {
  return FieldUtf8(field, N);
}
template <size_t N>
void SetField(char16_t (&field)[N], std::u16string_view text) {
  SetField(field, N, text);
}

}  // namespace orvanta
