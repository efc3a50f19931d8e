// The settings keys: name, value type, capacity and the field each one sets,
// in the order a save writes them. Loading, saving and zavip-tool all work
// from this one table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "app/app_params.h"

namespace orvanta {

enum class KeyType {
  Int,
  Double,
  Text,       // UTF-16 text, replaced by any stored value
  TextKeep,   // site text: an empty stored text keeps a non-empty field
  Scrambled,  // account value stored through ScrambleText
};

enum class ScrambleKeyString { None, InstallationLabel, InstallDate };

// How a stored floating value replaces its field.
enum class DoubleRule { Always, NonzeroOnly, ZeroWhenAbsent };

struct SettingsKey {
  const char* name;  // full name; the file holds its first 15 characters
  KeyType type;
  size_t capacity;  // largest stored value in bytes (padding included)
  size_t units;     // text fields: size in UTF-16 units
  void* (*field)(AppContext&);
  ScrambleKeyString scramble_key = ScrambleKeyString::None;
  DoubleRule double_rule = DoubleRule::Always;

  int32_t& Int(AppContext& app) const { return *static_cast<int32_t*>(field(app)); }
  double& Double(AppContext& app) const { return *static_cast<double*>(field(app)); }
  char16_t* Text(AppContext& app) const { return static_cast<char16_t*>(field(app)); }
};

inline constexpr const char* kVersionKey = "VERSION";

// Keys written by every save, in order ("VERSION" excluded).
std::span<const SettingsKey> MainKeys();
// The path, device, site and account group of a normal save, in order.
std::span<const SettingsKey> GroupKeys();

// Finds a key by its full name or by any name whose first 15 characters
// match (as the file compares them). Null when unknown.
const SettingsKey* FindSettingsKey(std::string_view name);

// The value as zavip-tool prints it: decimal integers, the shortest text
// that reads back to the same double, UTF-8 texts (scrambled ones plain).
std::string FormatValue(AppContext& app, const SettingsKey& key);
// Parses and stores a value; false with a reason when it is not a valid
// value of the key (a number outside the key's range among them) or would
// not load back (too long for its record).
bool ParseValue(AppContext& app, const SettingsKey& key, std::string_view text, std::string* error);

// Length in bytes of the text record holding `units` UTF-16 units.
size_t TextRecordLength(size_t units);
// Whether a text of this many units can be stored under the key and read back.
bool TextFits(const SettingsKey& key, std::u16string_view text);

}  // namespace orvanta
