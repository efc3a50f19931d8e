#include "products/file_owner.h"

namespace orvanta {

WriteFailure WriteWholeFile(const std::string& path, std::string_view bytes) {
  UniqueFile file = OpenFile(path, "wb");
  if (!file) return WriteFailure::CannotCreate;
  const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  const bool closed = CloseChecked(file);
  return written == bytes.size() && closed ? WriteFailure::None : WriteFailure::ShortWrite;
}

}  // namespace orvanta
