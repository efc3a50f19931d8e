#include "app/scramble.h"

#include <cstring>

namespace orvanta {
namespace {
class Keystream {
 public:
  explicit Keystream(uint32_t seed) : s1_(seed) {}
  uint8_t Next() {
    s1_ = s1_ * 1103515245u + 10859u;
    s2_ = (s2_ * s2_) % 1103515245u + 83310557u;
    return static_cast<uint8_t>((s1_ + s2_) & 0xFF);
  }

 private:
  uint32_t s1_;
  uint32_t s2_ = 980159785u;
};

int SymbolValue(char c) {
  if (c == '\0') return -1;
  const char* at = std::strchr(kScrambleAlphabet, c);
  return at ? static_cast<int>(at - kScrambleAlphabet) : -1;
}
}  // namespace

uint32_t ScrambleSeed(std::u16string_view key) {
  uint32_t seed = 1529766339u;
  for (size_t j = 0; j < key.size(); ++j) {
    const auto low = static_cast<int8_t>(key[j] & 0xFF);
    if (low == 0) break;
    seed += static_cast<uint32_t>(j) * static_cast<uint32_t>(static_cast<int32_t>(low));
  }
  return seed;
}

std::string ScrambleText(std::u16string_view key, std::u16string_view text) {
  Keystream keystream(ScrambleSeed(key));
  std::string symbols;
  uint32_t bits = 0;
  int count = 0;
  auto push_byte = [&](uint8_t b) {
    bits = (bits << 8) | b;
    count += 8;
    while (count >= 5) {
      count -= 5;
      symbols.push_back(kScrambleAlphabet[(bits >> count) & 0x1F]);
    }
    bits &= (1u << count) - 1;
  };
  for (size_t i = 0; i <= text.size(); ++i) {
    const char16_t unit = i < text.size() ? text[i] : u'\0';
    push_byte(static_cast<uint8_t>(unit & 0xFF) ^ keystream.Next());
    push_byte(static_cast<uint8_t>(unit >> 8) ^ keystream.Next());
  }
  if (count > 0) {
    const int fill = 5 - count;
    const uint32_t group = (bits << fill) | (keystream.Next() >> (8 - fill));
    symbols.push_back(kScrambleAlphabet[group & 0x1F]);
  }
  return symbols;
}

std::string UnscrambleText(std::u16string_view key, std::string_view symbols, size_t capacity) {
  const size_t end = symbols.find('\0');
  if (end != std::string_view::npos) symbols = symbols.substr(0, end);
  Keystream keystream(ScrambleSeed(key));
  std::string out;
  if (capacity < 2) return out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : symbols) {
    const int value = SymbolValue(c);
    if (value < 0) return std::string();
    bits = (bits << 5) | static_cast<uint32_t>(value);
    count += 5;
    if (count >= 8) {
      count -= 8;
      if (out.size() < capacity - 2) {
        out.push_back(static_cast<char>(((bits >> count) & 0xFF) ^ keystream.Next()));
      }
      bits &= (1u << count) - 1;
    }
  }
  out.append(2, '\0');
  return out;
}

std::u16string UnscrambledToText(std::string_view bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                            (static_cast<uint8_t>(bytes[i + 1]) << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

}  // namespace orvanta
