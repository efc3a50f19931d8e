// What the tests read back from a written clip: the AVI's frame count, compression and
// index, and the XML record's frame count.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace orvanta::testing {

struct AviFacts {
  uint32_t total_frames = 0;
  std::string compression;
  bool has_index = false;
  int width = 0, height = 0;
};

AviFacts ReadAvi(const std::filesystem::path& path);
// The bytes of the clip's first video frame as the file holds them; empty when none.
std::string FirstAviFrame(const std::filesystem::path& path);
// frames="N" of a clip record; -1 when the record has none.
int XmlFrames(const std::filesystem::path& xml);

}  // namespace orvanta::testing
