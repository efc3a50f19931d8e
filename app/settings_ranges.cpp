#include "app/settings_ranges.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace orvanta {
namespace {

struct KeyRange {
  const char* key;
  ValueRange range;
};

constexpr ValueRange kFlag{0, 1};
constexpr ValueRange kFrameSide{kMinFrameSide, kMaxFrameSide};
// fs_head + fs_diff + dmin + 15 must stay below the ring's 500 slots; each alone may use
// nearly all of it, the sum is the host's check.
constexpr ValueRange kRingPart{1, 480};
constexpr ValueRange kLevel{0, 255};
constexpr ValueRange kScreen{-32768, 32767};
constexpr ValueRange kHour{0, 23};
constexpr ValueRange kMinute{0, 59};
constexpr ValueRange kSunOffset{-1000, 1000};  // minutes after sunrise or sunset

const KeyRange kRanges[] = {
    {"IF.cy", kFrameSide},
    {"IF.cx", kFrameSide},
    {"IF.fps", {0, 1000}},  // 0: the source's own rate
    {"IF.fs_head", {0, 480}},
    {"IF.fs_tail", {0, 100000}},
    {"IF.fs_diff", kRingPart},
    {"IF.si_area", kFlag},
    {"IF.si_maskw", kFlag},
    {"IF.si_maskb", kFlag},
    {"IF.si_y0", {0, kMaxFrameSide}},
    {"IF.si_cdate", kFlag},
    {"IF.si_on", kFlag},
    {"IF.si_utc", kFlag},
    {"IF.si_fontx", {1, 64}},
    {"IF.si_fonty", {1, 64}},
    {"IF.si_offset", {-86400000, 86400000}},  // milliseconds: a day either way
    {"IF.dsize", {1, 1310720}},               // the live page's edit (its slider ends at 21500)
    {"IF.dlev", {1, 255}},
    {"IF.alev", {0, 32767}},  // peak of 16-bit samples
    {"IF.atrigger", kFlag},
    {"IF.dmin", kRingPart},
    {"IF.dminsize", {0, double{kMaxFrameSide} * kMaxFrameSide}},  // 0: off
    {"IF.dmaxsec", {0, 86400}},                                   // 0: no limit
    {"IF.nt_on", kFlag},
    {"IF.nt_ratio", {0, 1000}},
    {"IF.nt_delta", {0, 254}},
    {"IF.nt_min", {1, 254}},
    {"IF.sm_on", kFlag},
    {"IF.sm_on2", kFlag},
    {"IF.sm_level", {0, 1000}},
    {"IF.sm_size", {1, 11}},
    {"IF.so_on", kFlag},
    {"IF.so_on2", kFlag},
    {"IF.so_vel", {0, 100000}},
    {"IF.so_size", {1, 1000}},
    {"IF.brightonly", kFlag},
    {"IF.bolevel", kLevel},
    {"IF.im_snap", kFlag},
    {"IF.im_peak", kFlag},
    {"IF.im_map", kFlag},
    {"IF.ignoredf", kFlag},
    {"IF.filterinmode", kFlag},
    {"IF.continuousdetection", kFlag},
    {"IF.rtspinmode", kFlag},
    {"RIF.deinterace", kFlag},
    {"AP.si_fontsize", {0, 3}},
    {"AP.dlgrect.top", kScreen},
    {"AP.dlgrect.left", kScreen},
    {"AP.dlgrect.bottom", kScreen},
    {"AP.dlgrect.right", kScreen},
    {"AP.showcmd", {0, 11}},
    {"AP.me_dlgrect.top", kScreen},
    {"AP.me_dlgrect.left", kScreen},
    {"AP.me_dlgrect.bottom", kScreen},
    {"AP.me_dlgrect.right", kScreen},
    {"AP.vpin", {0, 255}},
    {"AP.apin", {0, 255}},
    {"AP.md_autorun", kFlag},
    {"AP.ttrig", {1, 3000}},  // minutes; the schedule divides by it
    {"AP.ttrig_on", kFlag},
    {"AP.tt_sonly", kFlag},
    {"AP.sunset", kFlag},
    {"AP.sd[0].on", kFlag},
    {"AP.sd[0].h1", kHour},
    {"AP.sd[0].m1", kMinute},
    {"AP.sd[0].o1", kSunOffset},
    {"AP.sd[0].h2", kHour},
    {"AP.sd[0].m2", kMinute},
    {"AP.sd[0].o2", kSunOffset},
    {"AP.sd[1].on", kFlag},
    {"AP.sd[1].h1", kHour},
    {"AP.sd[1].m1", kMinute},
    {"AP.sd[1].o1", kSunOffset},
    {"AP.sd[1].h2", kHour},
    {"AP.sd[1].m2", kMinute},
    {"AP.sd[1].o2", kSunOffset},
    {"AP.limit_MB", {-1000000000, 2147483647}},  // MiB; below 0 never makes room
    {"AP.limit_stop", kFlag},
    {"AP.limit_delday", kFlag},
    {"AP.leavelong", kFlag},
    {"AP.bmp", kFlag},
    {"AP.jpg", kFlag},
    {"AP.beep", kFlag},
    {"AP.nottrash", kFlag},
    {"AP.action", kFlag},
    {"AP.db_y", {1970, 9999}},
    {"AP.db_m", {1, 12}},
    {"AP.db_d", {1, 31}},
    {"AP.db_latest", kFlag},
    {"AP.db_days", {1, 36600}},
    {"AP.db_night", kFlag},
    {"AP.db_ymddir", kFlag},
    {"AP.si_yyyymmdd", {19700101, 99991231}},
    {"AP.si_hhmmss", {0, 235959}},
    {"AP.r_amask", kFlag},
    {"AP.r_smask", kFlag},
    {"AP.r_hmark", kFlag},
    {"AP.smspeed", {0, 6}},  // 1..6 choose the averaging weights, 0 keeps the filter's
    {"AP.thumbnail", kFlag},
    {"AP.sj_cx", {1, kMaxFrameSide}},
    {"AP.sj_cy", {1, kMaxFrameSide}},
    {"AP.tmark", kFlag},
    {"AP.me_lev", kLevel},
    {"AP.me_ratio", kLevel},
    {"AP.startreplay", kFlag},
    {"AP.shutdown", kFlag},
    {"AP.moveclips", kFlag},
    {"AP.onesecwakeup", kFlag},
    {"AP.VMR9", kFlag},
    {"AP.ftp_on", kFlag},
    {"AP.ftp_jpg", kFlag},
    {"AP.ftp_small", kFlag},
    {"AP.ftp_rc", {1, 9999}},
    {"AP.ftp_cn", {1, 9999}},
    {"AP.ftp_passive", kFlag},
    {"AP.ftp_port", {1, 65535}},
    {"AP.ftp_minmin", {0, 7200}},  // typed; the up-down stops at a day
    {"AP.interlace", kFlag},
    {"AP.bbf", kFlag},
    {"AP.timestamp", kFlag},
    {"AP.lng", {-180, 180}},
    {"AP.lat", {-90, 90}},
    {"AP.alt", {-1000, 20000}},  // metres
    {"AP.gioidh", {-200, 200}},
};

double Value(AppContext& app, const SettingsKey& key) {
  return key.type == KeyType::Int ? key.Int(app) : key.Double(app);
}

void SetValue(AppContext& app, const SettingsKey& key, double value) {
  if (key.type == KeyType::Int) {
    key.Int(app) = static_cast<int32_t>(value);
  } else {
    key.Double(app) = value;
  }
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

}  // namespace

std::optional<ValueRange> RangeOf(const SettingsKey& key) {
  if (key.type != KeyType::Int && key.type != KeyType::Double) return std::nullopt;
  for (const KeyRange& r : kRanges) {
    if (std::strcmp(r.key, key.name) == 0) return r.range;
  }
  return std::nullopt;
}

bool InRange(const SettingsKey& key, double value) {
  const std::optional<ValueRange> range = RangeOf(key);
  return !range || (value >= range->min && value <= range->max);
}

double ClampToRange(const SettingsKey& key, double value) {
  const std::optional<ValueRange> range = RangeOf(key);
  if (!range) return value;
  if (std::isnan(value)) return range->min;
  return std::clamp(value, range->min, range->max);
}

std::string RangeText(const SettingsKey& key) {
  const std::optional<ValueRange> range = RangeOf(key);
  return range ? Number(range->min) + " to " + Number(range->max) : std::string();
}

bool FrameSizeTaken(int64_t width, int64_t height) {
  return width >= kMinFrameSide && width <= kMaxFrameSide && height >= kMinFrameSide &&
         height <= kMaxFrameSide;
}

std::string FrameSizeRefusal(int64_t width, int64_t height) {
  char text[200];
  std::snprintf(text, sizeof text,
                "the frame size %lld x %lld is not taken: width and height must each be %d to %d "
                "pixels",
                static_cast<long long>(width), static_cast<long long>(height), kMinFrameSide,
                kMaxFrameSide);
  return text;
}

std::string ReplaceOutOfRange(AppContext& app) {
  std::string report;
  std::unique_ptr<AppContext> defaults;  // made only when a value needs one
  for (auto keys : {MainKeys(), GroupKeys()}) {
    for (const SettingsKey& key : keys) {
      if (!RangeOf(key)) continue;
      const double value = Value(app, key);
      if (InRange(key, value)) continue;
      if (!defaults) {
        defaults = std::make_unique<AppContext>();
        SetDefaults(defaults->ap, defaults->ib, defaults->rib);
      }
      const double fallback = Value(*defaults, key);
      SetValue(app, key, fallback);
      if (!report.empty()) report += "; ";
      report += std::string(key.name) + "=" + Number(value) + " (" + RangeText(key) + "), " +
                Number(fallback) + " used";
    }
  }
  return report;
}

}  // namespace orvanta
