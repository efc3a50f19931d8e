// RAII ownership of C stdio files, and whole-file writes whose every failure
// (open, short write, failed flush on close) is reported.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "products/result.h"

namespace orvanta {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

inline UniqueFile OpenFile(const std::string& path, const char* mode) {
  return UniqueFile(std::fopen(path.c_str(), mode));
}

// Closes the file and tells whether everything buffered reached the disk.
inline bool CloseChecked(UniqueFile& file) {
  return std::fclose(file.release()) == 0;
}

enum class WriteFailure { None, CannotCreate, ShortWrite };

// Creates or truncates `path` and writes `bytes`.
WriteFailure WriteWholeFile(const std::string& path, std::string_view bytes);

}  // namespace orvanta
