#include "app/text_utf.h"

#include <algorithm>

namespace orvanta {
namespace {
constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(c));
  }
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// One character of UTF-8 text: its code point (U+FFFD for an invalid sequence) and how many
// bytes it takes.
struct Utf8Char {
  char32_t code;
  size_t bytes;
};

Utf8Char DecodeUtf8(std::string_view text, size_t i) {
  const auto b = static_cast<unsigned char>(text[i]);
  int extra = 0;
  char32_t c = 0;
  char32_t min = 0;
  if (b < 0x80) return {b, 1};
  if ((b & 0xE0) == 0xC0) {
    extra = 1, c = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    extra = 2, c = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    extra = 3, c = b & 0x07, min = 0x10000;
  } else {
    return {kReplacement, 1};
  }
  size_t j = 1;
  for (; j <= static_cast<size_t>(extra); ++j) {
    if (i + j >= text.size()) break;
    const auto cb = static_cast<unsigned char>(text[i + j]);
    if ((cb & 0xC0) != 0x80) break;
    c = (c << 6) | (cb & 0x3F);
  }
  if (j != static_cast<size_t>(extra) + 1 || c < min || c > 0x10FFFF ||
      (c >= 0xD800 && c <= 0xDFFF)) {
    return {kReplacement, j};
  }
  return {c, j};
}
}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const Utf8Char c = DecodeUtf8(text, i);
    AppendUtf16(out, c.code);
    i += c.bytes;
  }
  return out;
}

std::string CutToUnits(std::string_view text, size_t units) {
  size_t used = 0;
  size_t i = 0;
  while (i < text.size()) {
    const Utf8Char c = DecodeUtf8(text, i);
    used += c.code >= 0x10000 ? 2 : 1;
    if (used > units) break;
    i += c.bytes;
  }
  return std::string(text.substr(0, i));
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

size_t FieldLength(const char16_t* field, size_t units) {
  return static_cast<size_t>(std::find(field, field + units, u'\0') - field);
}

std::u16string FieldText(const char16_t* field, size_t units) {
  return std::u16string(field, FieldLength(field, units));
}

std::string FieldUtf8(const char16_t* field, size_t units) {
  return Utf16ToUtf8(std::u16string_view(field, FieldLength(field, units)));
}

void SetField(char16_t* field, size_t units, std::u16string_view text) {
  if (units == 0) return;
  const size_t n = std::min(text.size(), units - 1);
  std::copy_n(text.data(), n, field);
  std::fill(field + n, field + units, u'\0');
}

}  // namespace orvanta
