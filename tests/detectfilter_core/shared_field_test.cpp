#include "detectfilter/shared_field.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

namespace orvanta {
namespace {

// The copy skips no byte, and reads a shared field whole while another thread (here the
// audio thread's apeak) keeps writing it; the ThreadSanitizer build checks the latter.
TEST(SharedField, CopyMatchesTheBlockWhileOthersWrite) {
  auto from = std::make_unique<DetectionBlock>();
  auto* bytes = reinterpret_cast<unsigned char*>(from.get());
  for (size_t i = 0; i < sizeof(DetectionBlock); ++i) bytes[i] = static_cast<unsigned char>(i * 7);
  const int32_t first = from->apeak;
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int32_t n = 0; !stop.load(); ++n) {
      StoreShared(from->apeak, n % 2 == 0 ? 100 : 200);
    }
  });
  auto to = std::make_unique<DetectionBlock>();
  for (int k = 0; k < 200; ++k) {
    CopySharedBlock(*from, *to);
    EXPECT_TRUE(to->apeak == first || to->apeak == 100 || to->apeak == 200) << to->apeak;
    EXPECT_EQ(std::memcmp(to.get(), from.get(), offsetof(DetectionBlock, apeak)), 0);
    EXPECT_EQ(std::memcmp(&to->warmup, &from->warmup,
                          sizeof(DetectionBlock) - offsetof(DetectionBlock, warmup)),
              0);
  }
  stop = true;
  writer.join();
}

}  // namespace
}  // namespace orvanta
