// Account values (FTP account, RTSP password) are kept in the settings file
// as symbol strings, XORed with a keystream seeded from a key string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvanta {

inline constexpr char kScrambleAlphabet[] = "K7Q2WXM9BTE5HZRC3YDG8NJ6FLVAS4UP";

uint32_t ScrambleSeed(std::u16string_view key);

// Symbols of the text's UTF-16LE bytes with their terminating zero unit.
std::string ScrambleText(std::u16string_view key, std::u16string_view text);

// The unscrambled bytes, at most `capacity` of them, the last two always
// zero (they terminate the text). Empty when a symbol is not in the
// alphabet. `symbols` ends at its first zero byte.
std::string UnscrambleText(std::u16string_view key, std::string_view symbols, size_t capacity);

// The UTF-16 text of unscrambled bytes, up to its first zero unit.
std::u16string UnscrambledToText(std::string_view bytes);

}  // namespace orvanta
