// Small AVI recordings laid out as the station's multiplexer writes them, and readers of the
// fields a player needs: the header's counts and sizes and the index at the end.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "tests/products/temp_dir.h"

namespace orvanta::testing {

inline void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}
inline void Put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v));
  s.push_back(static_cast<char>(v >> 8));
}
inline uint32_t Get32(const std::string& s, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}
inline std::string Chunk(const char* id, const std::string& data) {
  std::string c(id, 4);
  Put32(c, static_cast<uint32_t>(data.size()));
  c += data;
  if (data.size() & 1) c.push_back('\0');
  return c;
}
inline std::string List(const char* type, const std::string& body) {
  return Chunk("LIST", std::string(type, 4) + body);
}

struct AviLayout {
  int frames = 3;
  uint32_t frame_bytes = 8 * 4 * 2;  // 8 x 4 YUY2
  bool sound = false;                // a 4-byte-block sound stream, 6 bytes after each frame
  uint32_t torn_bytes = 0;           // a last frame cut off after this many of its bytes
};

// As a writer leaves a file it never finished: RIFF, frame-list and count fields still 0,
// no index.
inline std::string UnfinishedAvi(const AviLayout& l) {
  std::string avih;
  for (uint32_t v : {40000u, 0u, 0u, 0u, 0u, 0u, l.sound ? 2u : 1u, 0u, 8u, 4u, 0u, 0u, 0u, 0u})
    Put32(avih, v);
  std::string strh("vids", 4);
  strh += "YUY2";
  for (uint32_t v : {0u, 0u, 0u, 400000u, 10000000u, 0u, 0u, 0u, 0u, 0u, 0u, 0u}) Put32(strh, v);
  std::string strf;
  for (uint32_t v : {40u, 8u, 4u}) Put32(strf, v);
  Put16(strf, 1);
  Put16(strf, 16);
  strf += "YUY2";
  for (int i = 0; i < 5; ++i) Put32(strf, 0);
  std::string hdrl = Chunk("avih", avih) + List("strl", Chunk("strh", strh) + Chunk("strf", strf));
  if (l.sound) {
    std::string ah("auds", 4);
    for (uint32_t v : {0u, 0u, 0u, 0u, 1u, 8000u, 0u, 0u, 0u, 0u, 0u, 0u, 0u}) Put32(ah, v);
    std::string af;
    Put16(af, 1);
    Put16(af, 2);
    Put32(af, 8000);
    Put32(af, 32000);
    Put16(af, 4);
    Put16(af, 16);
    hdrl += List("strl", Chunk("strh", ah) + Chunk("strf", af));
  }
  std::string dmlh;
  Put32(dmlh, 0);
  hdrl += List("odml", Chunk("dmlh", dmlh));
  std::string movi("movi", 4);
  for (int f = 0; f < l.frames; ++f) {
    movi += Chunk("00db", std::string(l.frame_bytes, static_cast<char>('a' + f)));
    if (l.sound) movi += Chunk("01wb", std::string(6, 's'));
  }
  if (l.torn_bytes > 0) {
    std::string torn("00db", 4);
    Put32(torn, l.frame_bytes);
    torn += std::string(l.torn_bytes, 'z');
    movi += torn;
  }
  std::string movi_list("LIST", 4);
  Put32(movi_list, 0);
  movi_list += movi;
  std::string riff("RIFF", 4);
  Put32(riff, 0);
  riff += "AVI ";
  return riff + List("hdrl", hdrl) + movi_list;
}

// The figures of a file as a player reads them.
struct AviCounts {
  uint32_t riff_size = 0;
  uint32_t total_frames = 0;   // main header
  uint32_t video_length = 0;   // first stream header
  uint32_t index_entries = 0;  // 0 without an index
};

inline AviCounts CountsOf(const std::string& avi) {
  AviCounts c;
  if (avi.size() < 144) return c;
  c.riff_size = Get32(avi, 4);
  c.total_frames = Get32(avi, 48);
  const size_t strh = avi.find("strh");
  if (strh != std::string::npos) c.video_length = Get32(avi, strh + 8 + 32);
  const size_t idx1 = avi.rfind("idx1");
  if (idx1 != std::string::npos && idx1 + 8 <= avi.size())
    c.index_entries = Get32(avi, idx1 + 4) / 16;
  return c;
}

}  // namespace orvanta::testing
