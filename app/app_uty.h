// CAppUty: the settings file image and its records. A record is a 16-byte
// ASCII key (compared on 15 characters), a little-endian 32-bit length L (a
// multiple of 4) and L value bytes. Damaged files never make a lookup leave
// the bytes that were read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvanta {

// Outcome of reading a settings file: the bytes read, or why none were.
struct ReadResult {
  size_t bytes = 0;
  std::string error;  // empty on success
  bool ok() const { return error.empty() && bytes > 0; }
};

class CAppUty {
 public:
  static constexpr size_t kImageBytes = 10240;
  static constexpr size_t kRecordStartLimit = 9196;
  static constexpr size_t kKeyBytes = 16;
  static constexpr size_t kKeyChars = 15;
  static constexpr size_t kHeaderBytes = 20;

  // Relative file names are resolved against this directory.
  void SetStartupDir(std::string dir) { startup_dir_ = std::move(dir); }
  std::string ResolvePath(const std::string& name) const;

  void Rewind();
  void PutValue(const char* key, const void* bytes, size_t count);
  void PutInt(const char* key, int32_t value);
  void PutDouble(const char* key, double value);
  void PutText(const char* key, const char16_t* text);

  // Returns the stored length L of the first record with this key, or 0 when
  // absent (destination untouched). Capacities are in bytes.
  int32_t GetValue(const char* key, void* destination, size_t capacity, bool raw);
  int32_t GetInt(const char* key, int32_t* destination);
  int32_t GetDouble(const char* key, double* destination);
  // Like GetValue on text, but an empty stored text keeps a non-empty destination.
  int32_t GetTextKeep(const char* key, char16_t* destination, size_t capacity);

  ReadResult ReadFile(const std::string& name);
  bool WriteFile(const std::string& name);
  // Reads an image from memory as ReadFile does from a file (used by tests
  // and the fuzzer); at most kImageBytes are taken.
  size_t ReadImage(const uint8_t* data, size_t size);

  bool raw() const { return raw_ == 1; }
  // Set when a lookup met a record whose length is negative or runs past the
  // bytes read; the records from there on are unreadable.
  bool damaged() const { return damaged_; }
  size_t damaged_at() const { return damaged_at_; }
  size_t written() const { return has_write_pos_ ? write_pos_ : 0; }
  const uint8_t* image() const { return image_; }

 private:
  // Offset of the value of the first record matching key, or npos.
  size_t Find(const char* key, int32_t* length);
  void AfterRead(size_t bytes);

  uint8_t image_[kImageBytes] = {};
  bool has_write_pos_ = false;
  size_t write_pos_ = 0;
  bool has_read_end_ = false;
  size_t read_end_ = 0;
  int raw_ = 0;
  bool damaged_ = false;
  size_t damaged_at_ = 0;
  std::string startup_dir_;
};

}  // namespace orvanta
