#include "products/avi_mend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "app/file_owner.h"

namespace orvanta {
namespace {

constexpr uint32_t kHasIndex = 0x10;  // main header flag
constexpr uint32_t kKeyFrame = 0x10;  // index entry flag
constexpr size_t kMaxHeaderList = 1 << 20;

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
bool Is(const uint8_t* p, const char* tag) {
  return std::memcmp(p, tag, 4) == 0;
}

bool ReadAt(int fd, void* into, size_t n, off_t at) {
  auto* p = static_cast<uint8_t*>(into);
  while (n > 0) {
    const ssize_t got = ::pread(fd, p, n, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    n -= static_cast<size_t>(got);
    at += got;
  }
  return true;
}

bool WriteAt(int fd, const void* from, size_t n, off_t at) {
  const auto* p = static_cast<const uint8_t*>(from);
  while (n > 0) {
    const ssize_t put = ::pwrite(fd, p, n, at);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    n -= static_cast<size_t>(put);
    at += put;
  }
  return true;
}

struct Chunk {
  char id[4];
  off_t at;  // the chunk's header
  uint32_t size;
};

// A frame-list chunk is named by a two-digit stream number and a two-letter kind.
bool DataChunkId(const uint8_t* id) {
  auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
  auto letter = [](uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  return digit(id[0]) && digit(id[1]) && letter(id[2]) && letter(id[3]);
}

bool VideoFrame(const Chunk& c) {
  return c.id[0] == '0' && c.id[1] == '0' && c.id[2] == 'd' && (c.id[3] == 'b' || c.id[3] == 'c');
}

int StreamOf(const Chunk& c) {
  return (c.id[0] - '0') * 10 + (c.id[1] - '0');
}

off_t EndOf(const Chunk& c) {
  return c.at + 8 + static_cast<off_t>(c.size) + (c.size & 1);
}

// The header list: where each patched field lives, as offsets into it.
struct HeaderFields {
  size_t avih = 0;                    // main header data
  std::vector<size_t> strh;           // each stream's header data
  std::vector<uint32_t> block_align;  // each stream's, for sound (0 for video)
  size_t dmlh = 0;                    // extended header data, 0 when absent
};

// Walks the chunks of `list` from `from` to `to`, noting the fields to patch.
void WalkHeader(const std::vector<uint8_t>& list, size_t from, size_t to, HeaderFields& f) {
  size_t at = from;
  while (at + 8 <= to) {
    const uint8_t* c = list.data() + at;
    const uint32_t size = Get32(c + 4);
    if (size > to - at - 8) return;
    if (Is(c, "LIST") && size >= 4) {
      WalkHeader(list, at + 12, at + 8 + size, f);
    } else if (Is(c, "avih") && size >= 40) {
      f.avih = at + 8;
    } else if (Is(c, "strh") && size >= 36) {
      f.strh.push_back(at + 8);
      f.block_align.push_back(0);
    } else if (Is(c, "strf") && !f.strh.empty() && size >= 14 &&
               Is(list.data() + f.strh.back(), "auds")) {
      f.block_align.back() = Get16(c + 8 + 12);
    } else if (Is(c, "dmlh") && size >= 4) {
      f.dmlh = at + 8;
    }
    at += 8 + size + (size & 1);
  }
}

}  // namespace

Result<AviFacts> MendAvi(const std::string& path) {
  FileDescriptor file(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (!file.valid()) return Error{"cannot open " + path};
  const int fd = file.get();
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Error{"cannot read " + path};
  const off_t length = st.st_size;
  const Error not_avi{path + " is not an AVI recording"};

  uint8_t head[12];
  if (!ReadAt(fd, head, 12, 0) || !Is(head, "RIFF") || !Is(head + 8, "AVI ")) return not_avi;
  // Top level: the header list, perhaps padding, then the frame list.
  off_t at = 12;
  off_t hdrl_at = -1;
  std::vector<uint8_t> hdrl;
  off_t movi_at = -1;
  uint32_t movi_size = 0;
  while (movi_at < 0) {
    uint8_t c[12];
    if (at + 12 > length || !ReadAt(fd, c, 12, at)) return not_avi;
    const uint32_t size = Get32(c + 4);
    if (Is(c, "LIST") && Is(c + 8, "movi")) {
      movi_at = at;
      movi_size = size;
    } else if (Is(c, "LIST") && Is(c + 8, "hdrl")) {
      if (size > kMaxHeaderList || at + 8 + static_cast<off_t>(size) > length) return not_avi;
      hdrl_at = at;
      hdrl.resize(8 + size);
      if (!ReadAt(fd, hdrl.data(), hdrl.size(), at)) return not_avi;
    }
    at += 8 + static_cast<off_t>(size) + (size & 1);
  }
  if (hdrl_at < 0) return not_avi;
  HeaderFields fields;
  WalkHeader(hdrl, 12, hdrl.size(), fields);
  if (fields.avih == 0 || fields.strh.empty()) return not_avi;

  AviFacts facts;
  const uint8_t* avih = hdrl.data() + fields.avih;
  facts.us_per_frame = Get32(avih);
  facts.width = Get32(avih + 32);
  facts.height = Get32(avih + 36);
  // A finished file: its frame list has its size and the index follows it.
  const off_t movi_end = movi_at + 8 + static_cast<off_t>(movi_size);
  uint8_t after[4];
  if (movi_size > 4 && movi_end + 8 <= length && ReadAt(fd, after, 4, movi_end) &&
      Is(after, "idx1") && Get32(avih + 16) > 0) {
    facts.frames = Get32(avih + 16);
    return facts;
  }

  // Every whole chunk of the frame list, up to the first half-written or unreadable one.
  std::vector<Chunk> chunks;
  at = movi_at + 12;
  while (at + 8 <= length) {
    uint8_t c[8];
    if (!ReadAt(fd, c, 8, at) || !DataChunkId(c)) break;
    Chunk chunk{{static_cast<char>(c[0]), static_cast<char>(c[1]), static_cast<char>(c[2]),
                 static_cast<char>(c[3])},
                at,
                Get32(c + 4)};
    if (at + 8 + static_cast<off_t>(chunk.size) > length) break;
    chunks.push_back(chunk);
    at = EndOf(chunk);
  }

  // The index goes right after the last kept chunk; on a full disk the last frames make
  // room for it.
  for (;;) {
    if (std::none_of(chunks.begin(), chunks.end(), VideoFrame))
      return Error{path + " holds no whole frame"};
    const off_t end = std::min(EndOf(chunks.back()), length);
    std::vector<uint8_t> index(8 + 16 * chunks.size());
    std::memcpy(index.data(), "idx1", 4);
    Put32(index.data() + 4, static_cast<uint32_t>(16 * chunks.size()));
    for (size_t i = 0; i < chunks.size(); ++i) {
      uint8_t* e = index.data() + 8 + 16 * i;
      std::memcpy(e, chunks[i].id, 4);
      Put32(e + 4, VideoFrame(chunks[i]) ? kKeyFrame : 0);
      // Offsets count from the frame list's "movi" tag, as players expect.
      Put32(e + 8, static_cast<uint32_t>(chunks[i].at - (movi_at + 8)));
      Put32(e + 12, chunks[i].size);
    }
    if (::ftruncate(fd, end) != 0) return Error{"cannot write " + path};
    if (!WriteAt(fd, index.data(), index.size(), end)) {
      if (errno != ENOSPC && errno != EDQUOT) return Error{"cannot write " + path};
      // The last frame goes, with the sound that came after it.
      while (!chunks.empty() && !VideoFrame(chunks.back())) chunks.pop_back();
      if (!chunks.empty()) chunks.pop_back();
      continue;
    }
    uint32_t frames = 0;
    std::vector<uint64_t> stream_bytes(fields.strh.size(), 0);
    for (const Chunk& c : chunks) {
      if (VideoFrame(c)) ++frames;
      const size_t s = static_cast<size_t>(StreamOf(c));
      if (s < stream_bytes.size()) stream_bytes[s] += c.size;
    }
    uint8_t* h = hdrl.data();
    Put32(h + fields.avih + 16, frames);
    Put32(h + fields.avih + 12, Get32(h + fields.avih + 12) | kHasIndex);
    for (size_t s = 0; s < fields.strh.size(); ++s) {
      uint8_t* strh = h + fields.strh[s];
      if (Is(strh, "vids")) {
        Put32(strh + 32, frames);
      } else if (fields.block_align[s] > 0) {
        Put32(strh + 32, static_cast<uint32_t>(stream_bytes[s] / fields.block_align[s]));
      }
    }
    if (fields.dmlh != 0) Put32(h + fields.dmlh, frames);
    uint8_t riff_size[4];
    uint8_t list_size[4];
    Put32(riff_size, static_cast<uint32_t>(end + static_cast<off_t>(index.size()) - 8));
    Put32(list_size, static_cast<uint32_t>(end - (movi_at + 8)));
    if (!WriteAt(fd, riff_size, 4, 4) || !WriteAt(fd, list_size, 4, movi_at + 4) ||
        !WriteAt(fd, hdrl.data(), hdrl.size(), hdrl_at) || ::fsync(fd) != 0 || file.Close() != 0)
      return Error{"cannot write " + path};
    facts.frames = frames;
    facts.mended = true;
    return facts;
  }
}

}  // namespace orvanta
