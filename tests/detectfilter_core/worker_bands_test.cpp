// The band jobs give the same maps and results whether the bands run on the worker pool or one
// after the other on the streaming thread, and the AVX2 build of the pixel loops agrees with
// the baseline build.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "detectfilter/core/detect_core.h"
#include "detectfilter/core/pixel_kernels.h"
#include "tests/support/frames.h"
#include "tests/support/test_station.h"

namespace orvanta::detect {
namespace {

using testing::TestStation;

// One format of each pixel layout the kernels know (YV12 for the swapped colour planes).
const PixelFormatInfo kLayouts[] = {Info(PixelFormat::Y800),  Info(PixelFormat::I420),
                                    Info(PixelFormat::YV12),  Info(PixelFormat::NV12),
                                    Info(PixelFormat::YUY2),  Info(PixelFormat::UYVY),
                                    Info(PixelFormat::RGB24), Info(PixelFormat::RGB32)};

struct Outcome {
  std::vector<int> levels, hits, dlevs;
  std::vector<std::vector<uint8_t>> delivered;
  std::vector<uint8_t> hit_map, mask, obj_map, snapshot;
  std::vector<uint32_t> avr_map;
  int end_status = 0;
};

// A night sky with a meteor, through the station's defaults: object path, star masking, noise
// tracking and a clip with peak hold and text.
Outcome RunSky(PixelFormat format, int cx, int cy, bool half, int threads) {
  TestStation st(cx, cy, format, [&](DetectionBlock& b) {
    b.sm_on2 = half;
    b.fs_head = 4;
    b.fs_tail = 4;
    b.fps = 30;
    b.font_scale = 1;
    b.si_fontx = 5;
    b.si_fonty = 9;
    b.font = nullptr;
  });
  st.b().si_on = 0;
  st.b().detect_on = 1;
  Outcome out;
  DetectCore core(testing::SteppingClock{}, threads);
  core.SetOutputs(CoreOutputs{nullptr,
                              [&](const OutFrame& f) {
                                out.delivered.emplace_back(f.data, f.data + f.bytes);
                                return true;
                              },
                              nullptr});
  core.AttachBlock(&st.b());
  EXPECT_TRUE(core.SetMediaType(VideoFormat{format, cx, cy, 333667}));
  core.Run();
  for (int k = 0; k < 80 && core.running(); ++k) {
    auto frame = testing::Encode(testing::NightSky(cx, cy, k, 30, 5), format);
    core.ReceiveVideo(frame.data(), frame.size(), SampleTimes{});
    out.levels.push_back(st.b().level);
    out.hits.push_back(st.b().hits);
    out.dlevs.push_back(st.b().dlev);
  }
  auto copy = [](auto buffer) { return std::vector(buffer.begin(), buffer.end()); };
  out.hit_map = copy(st.hit_map());
  out.mask = copy(st.mask());
  out.obj_map = copy(st.obj_map());
  out.snapshot = copy(st.snapshot());
  out.avr_map = copy(st.avr_map());
  out.end_status = st.b().end_status;
  return out;
}

TEST(WorkerBands, SameResultsAsOneThread) {
  struct Case {
    PixelFormat format;
    int cx, cy;
    bool half;
  };
  // 56 rows in 8 bands: 7 rows each, so 2x2 blocks and colour rows straddle band edges.
  const Case cases[] = {
      {PixelFormat::I420, 96, 56, false},
      {PixelFormat::YUY2, 96, 56, true},
      {PixelFormat::NV12, 96, 58, true},
      {PixelFormat::RGB24, 90, 56, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(Info(c.format).name) + (c.half ? " half" : " full"));
    Outcome one = RunSky(c.format, c.cx, c.cy, c.half, 0);
    Outcome pool = RunSky(c.format, c.cx, c.cy, c.half, 3);
    // The meteor made a clip that ended normally, and the star mask marked something.
    ASSERT_EQ(one.end_status, 1);
    ASSERT_FALSE(one.delivered.empty());
    bool marked = false;
    for (uint8_t m : one.mask) marked |= (m & 248) != 0;
    EXPECT_TRUE(marked);
    EXPECT_EQ(one.levels, pool.levels);
    EXPECT_EQ(one.hits, pool.hits);
    EXPECT_EQ(one.dlevs, pool.dlevs);
    EXPECT_TRUE(one.delivered == pool.delivered);
    EXPECT_TRUE(one.hit_map == pool.hit_map);
    EXPECT_TRUE(one.mask == pool.mask);
    EXPECT_TRUE(one.obj_map == pool.obj_map);
    EXPECT_TRUE(one.snapshot == pool.snapshot);
    EXPECT_TRUE(one.avr_map == pool.avr_map);
  }
}

// Every format the filter takes gets its loops from both builds, and they read the brightness
// where the format keeps it: one pixel 180 brighter than the reference frame is the one hit.
// With the red signal, the V byte of the pixel's pair (raised from 128 to 200) adds
// round(1.402 * 72) = 101 to both pixels of the pair.
TEST(WorkerBands, EveryFormatsLoopsReadItsBrightness) {
  std::vector<const KernelSet*> sets = {&BaselineKernels()};
  if (__builtin_cpu_supports("avx2")) sets.push_back(&Avx2Kernels());
  int16_t red[256];
  for (int v = 0; v < 256; ++v) red[v] = static_cast<int16_t>(std::lround(1.402 * (v - 128)));
  const int cx = 8, cy = 4, hit = 2 * cx + 5;
  for (const KernelSet* set : sets) {
    for (const PixelFormatInfo& format : PixelFormats()) {
      if (!format.filter_input) continue;
      for (bool red_mode : {false, true}) {
        // The V byte within the four of a pixel pair, for the formats that carry it there.
        const int v_byte = !red_mode                            ? -1
                           : format.format == PixelFormat::YUY2 ? 3
                           : format.format == PixelFormat::UYVY ? 2
                                                                : -1;
        SCOPED_TRACE(std::string(set->name) + " " + format.name + (red_mode ? " red" : ""));
        const FormatKernels k = set->for_format(format, red_mode);
        ASSERT_NE(k.detect_plain, nullptr);
        ASSERT_NE(k.detect_averaging, nullptr);
        ASSERT_NE(k.detect_object, nullptr);
        ASSERT_NE(k.peak_hold, nullptr);
        testing::Picture sky(cx, cy, 20);
        const auto ref = testing::Encode(sky, format.format);
        sky.Set(5, 2, 200);
        auto cur = testing::Encode(sky, format.format);
        if (v_byte >= 0) cur[4 * (hit / 2) + v_byte] = 200;
        std::vector<uint8_t> mask(cx * cy, 0), hit_map(cx * cy, 0);
        const DetectArgs a{.cur = cur.data(),
                           .ref = ref.data(),
                           .head = ref.data(),
                           .mask = mask.data(),
                           .hit_map = hit_map.data(),
                           .cx = cx,
                           .cy = cy,
                           .dlev = 50,
                           .red_table = red};
        DetectResult r;
        k.detect_plain(a, 0, cy, r);
        EXPECT_EQ(r.max_pos, hit);
        EXPECT_EQ(r.max_d, v_byte >= 0 ? 281 : 180);
        EXPECT_EQ(r.hits, v_byte >= 0 ? 2 : 1);
      }
    }
  }
}

// Random frames through both builds of every detection loop and of the peak hold.
TEST(WorkerBands, KernelBuildsAgree) {
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2 on this CPU";
  const KernelSet& base = BaselineKernels();
  const KernelSet& avx2 = Avx2Kernels();
  const int cx = 131, cy = 12;  // odd width: loop tails and odd pixel pairs
  const size_t pixels = static_cast<size_t>(cx) * cy;
  testing::Lcg rng{42};
  auto random_bytes = [&](size_t n, int lo, int span) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(lo + rng.Next() % span);
    return v;
  };
  int16_t red[256];
  for (int v = 0; v < 256; ++v) red[v] = static_cast<int16_t>((1402 * (v - 128)) / 1000);
  for (const PixelFormatInfo& format : kLayouts) {
    for (int path = 0; path < 6; ++path) {
      for (bool bright : {false, true}) {
        const bool red_mode = path >= 3;
        SCOPED_TRACE(std::string(format.name) + " path " + std::to_string(path % 3) +
                     (red_mode ? " red" : "") + (bright ? " brightonly" : ""));
        auto cur = random_bytes(pixels * 4, 0, 256);
        auto ref = random_bytes(pixels * 4, 0, 256);
        auto head = random_bytes(pixels * 4, 0, 256);
        auto mask = random_bytes(pixels, 0, 2);
        std::vector<uint32_t> avr(pixels);
        for (auto& a : avr) a = rng.Next() % (256 * 16384);
        auto hits_a = random_bytes(pixels, 0, 256);
        std::vector<uint32_t> avr_a = avr, avr_b = avr, sums_a(pixels / 4), sums_b(pixels / 4);
        auto hits_b = hits_a;
        auto run = [&](const KernelSet& set, std::vector<uint32_t>& a_map, std::vector<uint8_t>& h,
                       std::vector<uint32_t>& sums, CandidateList& cands) {
          const FormatKernels k = set.for_format(format, red_mode);
          DetectArgs a;
          a.cur = cur.data();
          a.ref = ref.data();
          a.head = head.data();
          a.mask = mask.data();
          a.avr = a_map.data();
          a.avr2 = sums.data();
          a.hit_map = h.data();
          a.cx = cx;
          a.cy = cy;
          a.dlev = 40;
          a.bolevel = 2;
          a.brightonly = bright;
          a.keep = 510;
          a.take = 32768;
          a.red_table = red;
          DetectResult r;
          if (path % 3 == 0) k.detect_plain(a, 1, cy, r);
          if (path % 3 == 1) k.detect_averaging(a, 1, cy, r);
          if (path % 3 == 2) k.detect_object(a, 1, cy, r, cands);
          return r;
        };
        CandidateList ca, cb;
        DetectResult ra = run(base, avr_a, hits_a, sums_a, ca);
        DetectResult rb = run(avx2, avr_b, hits_b, sums_b, cb);
        EXPECT_EQ(ra.max_d, rb.max_d);
        EXPECT_EQ(ra.max_pos, rb.max_pos);
        EXPECT_EQ(ra.hits, rb.hits);
        EXPECT_TRUE(avr_a == avr_b);
        EXPECT_TRUE(hits_a == hits_b);
        EXPECT_TRUE(sums_a == sums_b);
        ASSERT_EQ(ca.size, cb.size);
        for (size_t i = 0; i < ca.size; ++i) {
          EXPECT_EQ(ca.data[i].index, cb.data[i].index);
          EXPECT_EQ(ca.data[i].d, cb.data[i].d);
        }
        std::free(ca.data);
        std::free(cb.data);
      }
    }
  }
  for (const PixelFormatInfo& format : kLayouts) {
    SCOPED_TRACE(std::string("peak ") + format.name);
    const int w = 130;  // planar formats need an even width
    auto frame = random_bytes(static_cast<size_t>(w) * cy * 4, 0, 256);
    auto peak_a = random_bytes(static_cast<size_t>(w) * cy * 4, 0, 256);
    for (size_t i = 0; i < peak_a.size(); i += 7) peak_a[i] = 0;
    auto peak_b = peak_a;
    PeakArgs a;
    a.frame = frame.data();
    a.cx = w;
    a.cy = cy;
    a.text_first = 8;
    a.text_last = 10;
    a.planes = PlanesOf(format.format, w, cy);
    a.peak = peak_a.data();
    base.for_format(format, false).peak_hold(a, 0, cy);
    a.peak = peak_b.data();
    avx2.for_format(format, false).peak_hold(a, 0, cy);
    EXPECT_TRUE(peak_a == peak_b);
  }
}

// The peak-hold merge against the rule written out pixel by pixel: S takes F's compared value
// and the bytes that belong with it where F's value is higher, in the text rows only where S
// is not black.
std::vector<uint8_t> ReferencePeak(PixelFormat format, const std::vector<uint8_t>& f,
                                   std::vector<uint8_t> s, int cx, int cy, int text_first,
                                   int text_last) {
  const size_t pixels = static_cast<size_t>(cx) * cy;
  for (int y = 0; y < cy; ++y) {
    const bool text = y >= text_first && y <= text_last;
    for (int x = 0; x < cx; ++x) {
      const size_t i = static_cast<size_t>(y) * cx + x;
      std::vector<size_t> bytes;  // compared byte first
      int fv, sv;
      switch (format) {
        case PixelFormat::YUY2:
          bytes = {2 * i, 2 * i + 1};
          break;
        case PixelFormat::UYVY:
          bytes = {2 * i + 1, 2 * i};
          break;
        case PixelFormat::RGB24:
          bytes = {3 * i, 3 * i + 1, 3 * i + 2};
          break;
        case PixelFormat::RGB32:
          bytes = {4 * i, 4 * i + 1, 4 * i + 2};
          break;
        case PixelFormat::I420:
        case PixelFormat::YV12: {
          // An odd last row or column has no colour samples of its own.
          const size_t u = pixels + static_cast<size_t>(y / 2) * (cx / 2) + x / 2;
          bytes = {i};
          if (y < (cy & ~1) && x / 2 < cx / 2) bytes = {i, u, u + pixels / 4};
          break;
        }
        case PixelFormat::NV12: {
          const size_t uv = pixels + static_cast<size_t>(y / 2) * cx + (x / 2) * 2;
          bytes = {i};
          if (y < (cy & ~1) && x / 2 < cx / 2) bytes = {i, uv, uv + 1};
          break;
        }
        default:
          bytes = {i};
      }
      if (format == PixelFormat::RGB24 || format == PixelFormat::RGB32) {
        fv = f[bytes[0]] + f[bytes[1]] + f[bytes[2]];
        sv = s[bytes[0]] + s[bytes[1]] + s[bytes[2]];
      } else {
        fv = f[bytes[0]];
        sv = s[bytes[0]];
      }
      if (fv <= sv || (text && s[bytes[0]] == 0)) continue;
      for (size_t b : bytes) s[b] = f[b];
    }
  }
  return s;
}

TEST(WorkerBands, PeakHoldFollowsTheRule) {
  std::vector<const KernelSet*> sets = {&BaselineKernels()};
  if (__builtin_cpu_supports("avx2")) sets.push_back(&Avx2Kernels());
  testing::Lcg rng{7};
  const std::pair<int, int> sizes[] = {{40, 12}, {41, 13}};
  for (const KernelSet* k : sets) {
    for (const PixelFormatInfo& format : kLayouts) {
      for (auto [cx, cy] : sizes) {
        SCOPED_TRACE(std::string(k->name) + " peak " + format.name + " " + std::to_string(cx) +
                     "x" + std::to_string(cy));
        std::vector<uint8_t> frame(static_cast<size_t>(cx) * cy * 4), peak(frame.size());
        for (auto& b : frame) b = static_cast<uint8_t>(rng.Next() % 256);
        for (auto& b : peak) b = static_cast<uint8_t>(rng.Next() % 4 == 0 ? 0 : rng.Next() % 256);
        const auto expected = ReferencePeak(format.format, frame, peak, cx, cy, 8, 10);
        PeakArgs a;
        a.frame = frame.data();
        a.peak = peak.data();
        a.cx = cx;
        a.cy = cy;
        a.text_first = 8;
        a.text_last = 10;
        a.planes = PlanesOf(format.format, cx, cy);
        const FormatKernels loops = k->for_format(format, false);
        // Bands of 3 rows: colour rows of I420 and NV12 straddle band edges.
        for (int band = 0; band < 4; ++band) loops.peak_hold(a, 3 * band, 3 * band + 3);
        if (cy > 12) loops.peak_hold(a, 12, cy);
        EXPECT_TRUE(peak == expected);
      }
    }
  }
}

}  // namespace
}  // namespace orvanta::detect
