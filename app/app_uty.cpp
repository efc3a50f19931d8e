#include "app/app_uty.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/file_owner.h"
#include "app/messages.h"

namespace orvanta {
namespace {
constexpr size_t kNotFound = static_cast<size_t>(-1);
constexpr int32_t kOldFormatBelow = 470;

int32_t LoadLe32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 |
                              static_cast<uint32_t>(p[3]) << 24);
}

void StoreLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

std::string CAppUty::ResolvePath(const std::string& name) const {
  if (!name.empty() && name[0] == '/') return name;
  if (startup_dir_.empty()) return name;
  return startup_dir_ + "/" + name;
}

void CAppUty::Rewind() {
  has_write_pos_ = true;
  write_pos_ = 0;
}

void CAppUty::PutValue(const char* key, const void* bytes, size_t count) {
  const size_t length = (count + 3) & ~size_t{3};
  // A record that would end beyond the image is refused like one that starts
  // too late: a settings file must never be written cut.
  if (!has_write_pos_ || write_pos_ >= kRecordStartLimit ||
      length > kImageBytes - kHeaderBytes - write_pos_) {
    FatalError("UE0103: bp exceeds limit (%s)", key);
  }
  uint8_t* at = image_ + write_pos_;
  std::memset(at, 0, kKeyBytes);
  for (size_t i = 0; i < kKeyChars && key[i] != '\0'; ++i) at[i] = static_cast<uint8_t>(key[i]);
  StoreLe32(at + kKeyBytes, static_cast<uint32_t>(length));
  if (count > 0) std::memcpy(at + kHeaderBytes, bytes, count);
  std::memset(at + kHeaderBytes + count, 0, length - count);
  write_pos_ += kHeaderBytes + length;
}

void CAppUty::PutInt(const char* key, int32_t value) {
  uint8_t bytes[4];
  StoreLe32(bytes, static_cast<uint32_t>(value));
  PutValue(key, bytes, sizeof bytes);
}

void CAppUty::PutDouble(const char* key, double value) {
  uint8_t bytes[8];
  std::memcpy(bytes, &value, sizeof bytes);  // little-endian host
  PutValue(key, bytes, sizeof bytes);
}

void CAppUty::PutText(const char* key, const char16_t* text) {
  size_t units = 0;
  while (text[units] != u'\0') ++units;
  uint8_t bytes[2 * 1024 + 2];
  if (units > 1024) units = 1024;
  for (size_t i = 0; i < units; ++i) {
    bytes[2 * i] = static_cast<uint8_t>(text[i]);
    bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
  bytes[2 * units] = bytes[2 * units + 1] = 0;
  PutValue(key, bytes, 2 * units + 2);
}

size_t CAppUty::Find(const char* key, int32_t* length) {
  if (!has_read_end_) FatalError("UE0104: rp invalid");
  size_t at = 0;
  while (at < read_end_) {
    if (read_end_ - at < kHeaderBytes) {
      damaged_ = true, damaged_at_ = at;
      return kNotFound;
    }
    const int32_t l = LoadLe32(image_ + at + kKeyBytes);
    if (l < 0 || static_cast<size_t>(l) > read_end_ - at - kHeaderBytes) {
      damaged_ = true, damaged_at_ = at;
      return kNotFound;
    }
    if (std::strncmp(key, reinterpret_cast<const char*>(image_ + at), kKeyChars) == 0) {
      *length = l;
      return at + kHeaderBytes;
    }
    at += kHeaderBytes + static_cast<size_t>(l);
  }
  return kNotFound;
}

int32_t CAppUty::GetValue(const char* key, void* destination, size_t capacity, bool raw) {
  int32_t length = 0;
  const size_t value = Find(key, &length);
  if (value == kNotFound) return 0;
  if (static_cast<size_t>(length) > capacity) FatalError("UE0105: invalid length");
  auto* out = static_cast<uint8_t*>(destination);
  // The rest of the destination is cleared, so that a stored text that lost
  // its terminator never runs on into the field's previous value.
  if (raw || raw_ == 1) {
    std::memcpy(out, image_ + value, static_cast<size_t>(length));
    std::memset(out + length, 0, capacity - static_cast<size_t>(length));
  } else {
    // One byte per character in old files; a value too long for the
    // destination is cut and stays terminated.
    const size_t units = capacity / 2;
    if (units == 0) return length;
    const size_t n = std::min(static_cast<size_t>(length), units);
    for (size_t i = 0; i < n; ++i) {
      out[2 * i] = image_[value + i];
      out[2 * i + 1] = 0;
    }
    std::memset(out + 2 * n, 0, capacity - 2 * n);
    if (n == units) out[2 * (units - 1)] = 0;
  }
  return length;
}

int32_t CAppUty::GetInt(const char* key, int32_t* destination) {
  uint8_t bytes[4];
  const int32_t length = GetValue(key, bytes, sizeof bytes, true);
  if (length == 4) *destination = LoadLe32(bytes);
  return length;
}

int32_t CAppUty::GetDouble(const char* key, double* destination) {
  uint8_t bytes[8];
  const int32_t length = GetValue(key, bytes, sizeof bytes, true);
  if (length == 8) std::memcpy(destination, bytes, sizeof bytes);
  return length;
}

int32_t CAppUty::GetTextKeep(const char* key, char16_t* destination, size_t capacity) {
  int32_t length = 0;
  const size_t value = Find(key, &length);
  if (value == kNotFound) return 0;
  const bool holds_text = reinterpret_cast<const uint8_t*>(destination)[0] != 0;
  if (holds_text && (length == 0 || image_[value] == 0)) return length;
  return GetValue(key, destination, capacity, false);
}

void CAppUty::AfterRead(size_t bytes) {
  has_read_end_ = true;
  read_end_ = bytes;
  raw_ = 1;
  damaged_ = false;
  damaged_at_ = 0;
  // A file without "VERSION" is taken as UTF-16: every file this system
  // writes has the record, and newer files are the likelier guess.
  int32_t version = kOldFormatBelow;
  if (GetInt("VERSION", &version) == 4 && version < kOldFormatBelow) raw_ = 0;
}

size_t CAppUty::ReadImage(const uint8_t* data, size_t size) {
  const size_t n = std::min(size, kImageBytes);
  if (n > 0) std::memcpy(image_, data, n);
  AfterRead(n);
  return n;
}

ReadResult CAppUty::ReadFile(const std::string& name) {
  ReadResult result;
  // Non-blocking open and a type check: a FIFO or device named as a
  // settings file must not hang the start-up.
  FileDescriptor file(::open(ResolvePath(name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) {
    result.error = std::strerror(errno);
    return result;
  }
  struct stat st;
  if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    result.error = "not a regular file";
    return result;
  }
  uint8_t buffer[kImageBytes];
  size_t total = 0;
  while (total < kImageBytes) {
    const ssize_t n = ::read(file.get(), buffer + total, kImageBytes - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      result.error = std::strerror(errno);
      return result;
    }
    if (n == 0) break;
    total += static_cast<size_t>(n);
  }
  if (total == 0) {
    result.error = "empty file";
    return result;
  }
  result.bytes = ReadImage(buffer, total);
  return result;
}

bool CAppUty::WriteFile(const std::string& name) {
  if (!has_write_pos_ || write_pos_ >= kImageBytes) FatalError("CAppUty:invalid bp");
  // Written beside the target and renamed over it, so that a full disk or a
  // crash never leaves a cut settings file in place of a good one.
  const std::string path = ResolvePath(name);
  const std::string temp = path + ".tmp";
  const std::string_view bytes(reinterpret_cast<const char*>(image_), write_pos_);
  bool ok = WriteWholeFile(temp, bytes, {.mode = 0644, .sync = true}) == WriteFailure::None;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    ReportMessage("UE070: Cannot write %s", name.c_str());
    return false;
  }
  has_write_pos_ = false;
  return true;
}

}  // namespace orvanta
