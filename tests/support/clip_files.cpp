#include "tests/support/clip_files.h"

#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

namespace orvanta::testing {
namespace {

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

AviFacts ReadAvi(const std::filesystem::path& path) {
  const std::string data = ReadWhole(path);
  AviFacts facts;
  if (data.size() >= 52) std::memcpy(&facts.total_frames, data.data() + 48, 4);
  const size_t strf = data.find("strf");
  if (strf != std::string::npos && strf + 28 <= data.size()) {
    facts.compression = data.substr(strf + 24, 4);
    int32_t height = 0;
    std::memcpy(&facts.width, data.data() + strf + 12, 4);
    std::memcpy(&height, data.data() + strf + 16, 4);
    facts.height = height < 0 ? -height : height;
  }
  facts.has_index = data.find("idx1") != std::string::npos;
  return facts;
}

std::string FirstAviFrame(const std::filesystem::path& path) {
  const std::string data = ReadWhole(path);
  const size_t movi = data.find("movi");
  if (movi == std::string::npos) return {};
  for (size_t at = movi + 4; at + 8 <= data.size();) {
    uint32_t size = 0;
    std::memcpy(&size, data.data() + at + 4, 4);
    const std::string id = data.substr(at, 4);
    if ((id == "00db" || id == "00dc") && size > 0 && at + 8 + size <= data.size())
      return data.substr(at + 8, size);
    at += 8 + size + (size & 1);
  }
  return {};
}

int XmlFrames(const std::filesystem::path& xml) {
  std::smatch m;
  const std::string text = ReadWhole(xml);
  if (!std::regex_search(text, m, std::regex("frames=\"(\\d+)\""))) return -1;
  return std::stoi(m[1]);
}

}  // namespace orvanta::testing
