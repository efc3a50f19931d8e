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
  if (strf != std::string::npos && strf + 28 <= data.size())
    facts.compression = data.substr(strf + 24, 4);
  facts.has_index = data.find("idx1") != std::string::npos;
  return facts;
}

int XmlFrames(const std::filesystem::path& xml) {
  std::smatch m;
  const std::string text = ReadWhole(xml);
  if (!std::regex_search(text, m, std::regex("frames=\"(\\d+)\""))) return -1;
  return std::stoi(m[1]);
}

}  // namespace orvanta::testing
