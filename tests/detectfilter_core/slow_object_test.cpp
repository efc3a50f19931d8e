// The slow-object veto: which clips a slow object may end. Each case draws lights on a flat
// sky frame by frame; like the station, the host runs the core again after every clip.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <vector>

#include "detectfilter/core/detect_core.h"
#include "tests/support/frames.h"
#include "tests/support/test_station.h"

namespace orvanta::detect {
namespace {

using testing::Picture;
using testing::SteppingClock;
using testing::TestStation;

constexpr int kCx = 256;
constexpr int kCy = 64;

// A 3x3 light with its corner at (x, y); brightness 0 draws nothing.
void Light(Picture& p, int x, int y, int v) {
  if (v <= 0 || x < 2 || y < 0 || x + 3 > kCx || y + 3 > kCy) return;
  p.Fill(x, y, 3, 3, static_cast<uint8_t>(std::min(v, 255)));
}

// Brightness at frame t of a light that goes from `from` to `to` over frames t0..t1.
int Ramp(int t, int t0, int t1, int from, int to) {
  if (t <= t0) return from;
  if (t >= t1) return to;
  return from + (to - from) * (t - t0) / (t1 - t0);
}

struct Clip {
  int end_status;
  int first;  // first and last input frame delivered into the clip
  int last;
  bool operator==(const Clip& o) const {
    return end_status == o.end_status && first == o.first && last == o.last;
  }
};

std::ostream& operator<<(std::ostream& out, const Clip& c) {
  return out << "{" << c.end_status << ", " << c.first << ".." << c.last << "}";
}

// Frames 0..frames-1 drawn by `draw`, detection armed from frame `armed_from`: the clips made.
std::vector<Clip> Watch(const std::function<void(int, Picture&)>& draw, int frames, int armed_from,
                        int dmin) {
  TestStation st(kCx, kCy, PixelFormat::Y800, [dmin](DetectionBlock& b) {
    b.dmin = dmin;
    b.sm_on = b.nt_on = b.brightonly = b.si_on = b.im_peak = 0;
    b.so_size = 8;
    b.so_vel = 60;
    b.fs_head = 5;
    b.fs_tail = 5;
    b.host_thread_id = 1;
  });
  DetectCore core(SteppingClock{});
  std::vector<Clip> clips;
  Clip clip{0, -1, -1};
  core.SetOutputs(CoreOutputs{nullptr,
                              [&](const OutFrame& f) {
                                const int k = f.data[0] | f.data[1] << 8;
                                if (clip.first < 0) clip.first = k;
                                clip.last = k;
                                return true;
                              },
                              [&] {
                                clip.end_status = st.b().end_status;
                                clips.push_back(clip);
                                clip = Clip{0, -1, -1};
                              }});
  core.AttachBlock(&st.b());
  core.SetMediaType(VideoFormat{PixelFormat::Y800, kCx, kCy, 333667});
  core.Run();
  for (int k = 0; k < frames; ++k) {
    Picture p(kCx, kCy, 10);
    p.Set(0, 0, static_cast<uint8_t>(k & 255));
    p.Set(1, 0, static_cast<uint8_t>(k >> 8));
    draw(k, p);
    st.b().detect_on = k >= armed_from;
    auto frame = testing::Encode(p, PixelFormat::Y800);
    core.ReceiveVideo(frame.data(), frame.size(), SampleTimes{});
  }
  if (clip.first >= 0) clips.push_back(clip);  // still recording: end_status 0
  return clips;
}

// At 33 ms a frame, 1 pixel a frame is 30 pixels per second: slow for so_vel 60. Tracked
// from frame 1 (frame 0 has no reference), a steady light is judged on its first frame after
// 3 s, frame 92; a clip it ends there has delivered the frames up to 7 (fs_head + dmin) back.
void SteadyLight(int k, Picture& p) {
  Light(p, 20 + k, 30, 200);
}

// A meteor: 3 pixels a frame across and 4 down, frames from..from+11, well away from the
// steady light.
void Meteor(int k, Picture& p, int from) {
  if (k >= from && k < from + 12) Light(p, 200 - 3 * (k - from), 4 + 4 * (k - from), 220);
}

struct VetoCase {
  const char* name;
  std::function<void(int, Picture&)> draw;
  int frames;
  int armed_from;
  std::vector<Clip> clips;
  int dmin = 2;
};

TEST(SlowObjectVeto, EndsOnlyTheClipOfASteadySlowLight) {
  const std::vector<VetoCase> cases = {
      // Nav lights or a satellite: it makes the clip and ends it when judged slow.
      {"steady light ends its own clip", SteadyLight, 200, 20, {{-2, 15, 85}}},
      // A lone flash elsewhere during the clip would not have made a clip of its own.
      {"steady light and a lone flash",
       [](int k, Picture& p) {
         SteadyLight(k, p);
         if (k == 60) Light(p, 200, 10, 220);
       },
       200,
       20,
       {{-2, 15, 85}}},
      // A satellite out of the earth's shadow brightens for 1 s, then holds: judged 3 s after
      // its light stopped rising.
      {"satellite fading in ends its own clip",
       [](int k, Picture& p) { Light(p, 20 + k, 30, Ramp(k, 0, 30, 70, 200)); },
       200,
       20,
       {{-2, 15, 108}}},
      // An aircraft tracked before a meteor, turning slow during the meteor's clip: the clip
      // holds the meteor, so it runs to its normal end.
      {"aircraft during a meteor's clip",
       [](int k, Picture& p) {
         SteadyLight(k, p);
         Meteor(k, p, 85);
       },
       200,
       85,
       {{1, 80, 101}}},
      // The first meteor's box is still in the table when the second one crosses it 3.3 s
      // after the first was tracked: that is a new object, not the old one turned slow.
      {"meteor crossing the box an earlier meteor left",
       [](int k, Picture& p) {
         if (k < 20) Light(p, 20 + 3 * k / 2, 30, 220);
         if (k >= 100 && k < 116) Light(p, 46, 4 * (k - 100), 220);
       },
       200,
       0,
       {{1, 0, 24}, {1, 95, 120}}},
      // A slow fireball brightens for 1.5 s, holds for 1.3 s and fades for 2 s.
      {"fireball brightening and fading",
       [](int k, Picture& p) {
         const int v = k < 85 ? Ramp(k, 0, 45, 70, 200) : Ramp(k, 85, 145, 200, 0);
         Light(p, 20 + k, 30, v);
       },
       200,
       0,
       {{1, 0, 132}}},
      // Beyond the top of the scale for 3 s: how bright it really is, and so whether it holds
      // steady, cannot be told until it fades.
      {"fireball at the top of the scale",
       [](int k, Picture& p) {
         const int v = k < 120 ? Ramp(k, 0, 30, 100, 255) : Ramp(k, 120, 160, 255, 0);
         Light(p, 20 + k, 30, v);
       },
       200,
       0,
       {{1, 0, 155}}},
      // An aircraft seen only by its strobe, once a second, drifting 6 pixels a flash. With
      // dmin 1 every flash makes a clip until the light, blinking at a steady rate, has been
      // judged slow, a little over 3 s after its history began.
      {"strobe of a slow aircraft",
       [](int k, Picture& p) {
         if (k % 30 == 0) Light(p, 20 + k / 5, 30, 200);
       },
       300,
       0,
       {{1, 25, 35}, {1, 55, 65}, {1, 85, 95}, {1, 115, 125}, {1, 145, 155}, {1, 175, 185}},
       1},
  };
  for (const VetoCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Watch(c.draw, c.frames, c.armed_from, c.dmin), c.clips);
  }
}

}  // namespace
}  // namespace orvanta::detect
