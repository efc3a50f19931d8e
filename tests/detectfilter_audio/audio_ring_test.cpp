#include "detectfilter/core/audio_ring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace orvanta::detect {
namespace {

constexpr int64_t kFrame30 = 333333;  // 100 ns, 30 frames per second

// A block with an audio ring of `count` chunks, detection armed, a clip being recorded.
struct Fixture {
  Fixture(int chunk_bytes, int count) : memory(static_cast<size_t>(chunk_bytes) * count) {
    block = std::make_unique<DetectionBlock>();
    block->audio_buffer = memory.data();
    block->audio_chunk_bytes = chunk_bytes;
    block->audio_chunk_count = count;
    block->fs_head = 20;
    block->dmin = 2;
    block->rec_remain = 5;
    ring.Attach(block.get());
  }

  // Sends one buffer whose first 16-bit sample is its number; returns the numbers of the
  // buffers delivered for it (at most one).
  std::vector<OutFrame> Send(int16_t number, size_t bytes) {
    std::vector<uint8_t> data(bytes, 0);
    std::memcpy(data.data(), &number, 2);
    std::vector<OutFrame> out;
    ring.Receive(data.data(), data.size(), SampleTimes{}, [&](const OutFrame& f) {
      out.push_back(f);
      return true;
    });
    return out;
  }
  static int16_t NumberOf(const OutFrame& f) {
    int16_t n;
    std::memcpy(&n, f.data, 2);
    return n;
  }

  std::vector<uint8_t> memory;
  std::unique_ptr<DetectionBlock> block;
  AudioRing ring;
};

// The delivered buffer trails the newest one by truncate((dmin + fs_head) x frame duration
// / buffer duration - 1) buffers, also across the ring's wrap.
TEST(AudioRing, DelayInBuffers) {
  struct Case {
    const char* name;
    int bits, channels, rate;  // 0 bits: no format set (128000 bytes per second)
    int chunk_bytes;
    int expected_delay;
  } cases[] = {
      {"16-bit stereo 48 kHz, 8192-byte buffers", 16, 2, 48000, 8192, 16},
      {"no format set", 0, 0, 0, 8192, 10},  // 22 x 333333 / 640000 - 1 = 10.46
      {"one buffer lasts longer than the delay", 16, 1, 8000, 16000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f(c.chunk_bytes, 20);
    if (c.bits) f.ring.SetFormat(c.bits, c.channels, c.rate);
    f.ring.Run(kFrame30);
    for (int16_t i = 0; i < 45; ++i) {
      auto out = f.Send(i, static_cast<size_t>(c.chunk_bytes));
      if (i < c.expected_delay) {
        EXPECT_TRUE(out.empty()) << i;
      } else {
        ASSERT_EQ(out.size(), 1u) << i;
        EXPECT_EQ(Fixture::NumberOf(out[0]), i - c.expected_delay);
      }
    }
  }
}

// Output times run from 3 frame durations on by the buffer duration, media times count 1, 2,
// 3...; Run starts both again and empties the ring.
TEST(AudioRing, OutputClockAndRun) {
  Fixture f(8192, 40);
  f.ring.SetFormat(16, 2, 48000);
  f.ring.Run(kFrame30);
  std::vector<OutFrame> got;
  for (int16_t i = 0; i < 18; ++i)
    for (const OutFrame& o : f.Send(i, 8192)) got.push_back(o);
  ASSERT_EQ(got.size(), 2u);
  const double d = 8192 * 1e7 / 192000;  // 426666.67
  EXPECT_EQ(got[0].times.start, 999999);
  EXPECT_EQ(got[0].times.stop, static_cast<int64_t>(999999 + d));
  EXPECT_EQ(got[1].times.start, static_cast<int64_t>(999999 + d));
  EXPECT_EQ(got[1].times.stop, static_cast<int64_t>(999999 + 2 * d));
  EXPECT_EQ(got[0].times.media_start, 1);
  EXPECT_EQ(got[0].times.media_stop, 2);
  EXPECT_EQ(got[1].times.media_start, 2);
  EXPECT_EQ(got[1].times.media_stop, 3);

  f.ring.Run(kFrame30);
  for (int16_t i = 100; i < 116; ++i) EXPECT_TRUE(f.Send(i, 8192).empty()) << i;
  auto out = f.Send(116, 8192);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(Fixture::NumberOf(out[0]), 100);
  EXPECT_EQ(out[0].times.start, 999999);
  EXPECT_EQ(out[0].times.media_start, 1);
}

// Audio is delivered only while a clip is recorded, and then from before the trigger; a
// buffer larger than a chunk is cut to the chunk.
TEST(AudioRing, DeliversOnlyDuringClipsFromBeforeTheTrigger) {
  Fixture f(8192, 40);
  f.ring.SetFormat(16, 2, 48000);
  f.ring.Run(kFrame30);
  f.block->rec_remain = 0;
  for (int16_t i = 0; i < 25; ++i) EXPECT_TRUE(f.Send(i, 8192).empty());
  f.block->rec_remain = 30;
  auto out = f.Send(25, 10000);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(Fixture::NumberOf(out[0]), 25 - 16);
  f.block->rec_remain = 0;
  EXPECT_TRUE(f.Send(26, 8192).empty());
  f.block->rec_remain = 1;
  out = f.Send(27, 8192);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(Fixture::NumberOf(out[0]), 27 - 16);
  // the cut 10000-byte buffer: its own slot holds 8192 bytes
  for (int16_t i = 28; i < 41; ++i) f.Send(i, 8192);
  out = f.Send(41, 8192);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(Fixture::NumberOf(out[0]), 25);
  EXPECT_EQ(out[0].bytes, 8192u);
}

// The level is the largest absolute 16-bit sample; it sets force_rec only when strictly
// above alev and only while detection and audio triggering are both on.
TEST(AudioRing, LevelAndTrigger) {
  struct Case {
    const char* name;
    int bits;
    int16_t sample;
    int alev, detect_on, atrigger, force_before;
    int apeak, force_after;
  } cases[] = {
      {"above alev triggers", 16, 1001, 1000, 1, 1, 0, 1001, 1},
      {"equal to alev does not", 16, 1000, 1000, 1, 1, 1, 1000, 0},
      {"negative full scale", 16, -32768, 1000, 1, 1, 0, 32768, 1},
      {"8-bit never measures", 8, 30000, 10, 1, 1, 0, 0, 0},
      {"atrigger off leaves the host's value", 16, 5000, 1000, 1, 0, 1, 5000, 1},
      {"not armed leaves the host's value", 16, 5000, 1000, 0, 1, 0, 5000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f(4096, 8);
    f.ring.SetFormat(c.bits, 2, 48000);
    f.ring.Run(kFrame30);
    f.block->alev = c.alev;
    f.block->detect_on = c.detect_on;
    f.block->atrigger = c.atrigger;
    f.block->force_rec = c.force_before;
    std::vector<uint8_t> data(4096, 0);
    std::memcpy(data.data() + 100, &c.sample, 2);
    f.ring.Receive(data.data(), data.size(), SampleTimes{}, nullptr);
    EXPECT_EQ(f.block->apeak, c.apeak);
    EXPECT_EQ(f.block->force_rec, c.force_after);
  }
}

TEST(AudioRing, WithoutRingMemoryOnlyTheLevelIsKept) {
  Fixture f(4096, 8);
  f.block->audio_buffer = nullptr;
  f.ring.Attach(f.block.get());
  f.ring.SetFormat(16, 2, 48000);
  f.ring.Run(kFrame30);
  f.block->detect_on = f.block->atrigger = 1;
  f.block->alev = 10;
  for (int16_t i = 0; i < 30; ++i) EXPECT_TRUE(f.Send(200, 4096).empty());
  EXPECT_EQ(f.block->apeak, 200);
  EXPECT_EQ(f.block->force_rec, 0);
}

}  // namespace
}  // namespace orvanta::detect
