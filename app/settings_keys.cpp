#include "app/settings_keys.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "app/scramble.h"
#include "app/settings_ranges.h"
#include "app/text_utf.h"

namespace orvanta {
namespace {

#define ORV_FIELD(expr) [](AppContext& a) -> void* { return &a.expr; }
#define IF_INT(name)                                    \
  SettingsKey {                                         \
    "IF." #name, KeyType::Int, 4, 0, ORV_FIELD(ib.name) \
  }
#define AP_INT(key, expr)                       \
  SettingsKey {                                 \
    key, KeyType::Int, 4, 0, ORV_FIELD(ap.expr) \
  }
#define AP_DOUBLE(name, rule)                                                             \
  SettingsKey {                                                                           \
    "AP." #name, KeyType::Double, 8, 0, ORV_FIELD(ap.name), ScrambleKeyString::None, rule \
  }
#define TEXT(key, type, cap, units, expr)                                         \
  SettingsKey {                                                                   \
    key, KeyType::type, cap, units, [](AppContext& a) -> void* { return a.expr; } \
  }
#define AP_PATH(key, expr) TEXT(key, Text, 2048, kPathUnits, ap.expr)
#define AP_SCRAMBLED(name, by)                                                  \
  SettingsKey {                                                                 \
    "AP." #name, KeyType::Scrambled, 2000, kScrambledUnits,                     \
        [](AppContext& a) -> void* { return a.ap.name; }, ScrambleKeyString::by \
  }

const SettingsKey kMainKeys[] = {
    IF_INT(cy),
    IF_INT(cx),
    SettingsKey{"IF.fps", KeyType::Double, 8, 0, ORV_FIELD(ib.fps)},
    IF_INT(fs_head),
    IF_INT(fs_tail),
    IF_INT(fs_diff),
    IF_INT(si_area),
    IF_INT(si_maskw),
    IF_INT(si_maskb),
    IF_INT(si_y0),
    IF_INT(si_cdate),
    IF_INT(si_on),
    IF_INT(si_utc),
    IF_INT(si_fontx),
    IF_INT(si_fonty),
    IF_INT(si_offset),
    IF_INT(dsize),
    IF_INT(dlev),
    IF_INT(alev),
    IF_INT(atrigger),
    IF_INT(dmin),
    IF_INT(dminsize),
    IF_INT(dmaxsec),
    IF_INT(nt_on),
    IF_INT(nt_ratio),
    IF_INT(nt_delta),
    IF_INT(nt_min),
    IF_INT(sm_on),
    IF_INT(sm_on2),
    IF_INT(sm_level),
    IF_INT(sm_size),
    IF_INT(so_on),
    IF_INT(so_on2),
    IF_INT(so_vel),
    IF_INT(so_size),
    IF_INT(brightonly),
    IF_INT(bolevel),
    IF_INT(im_snap),
    IF_INT(im_peak),
    IF_INT(im_map),
    IF_INT(ignoredf),
    IF_INT(filterinmode),
    IF_INT(continuousdetection),
    IF_INT(rtspinmode),
    SettingsKey{"RIF.deinterace", KeyType::Int, 4, 0, ORV_FIELD(rib.deinterace)},
    TEXT("AP.installdate", Text, 40, kInstallDateUnits, ap.installdate),
    AP_INT("AP.si_fontsize", si_fontsize),
    AP_INT("AP.dlgrect.top", dlgrect.top),
    AP_INT("AP.dlgrect.left", dlgrect.left),
    AP_INT("AP.dlgrect.bottom", dlgrect.bottom),
    AP_INT("AP.dlgrect.right", dlgrect.right),
    AP_INT("AP.showcmd", showcmd),
    AP_INT("AP.me_dlgrect.top", me_dlgrect.top),
    AP_INT("AP.me_dlgrect.left", me_dlgrect.left),
    AP_INT("AP.me_dlgrect.bottom", me_dlgrect.bottom),
    AP_INT("AP.me_dlgrect.right", me_dlgrect.right),
    AP_INT("AP.vpin", vpin),
    AP_INT("AP.apin", apin),
    AP_INT("AP.md_autorun", md_autorun),
    AP_INT("AP.ttrig", ttrig),
    AP_INT("AP.ttrig_on", ttrig_on),
    AP_INT("AP.tt_sonly", tt_sonly),
    AP_INT("AP.sunset", sunset),
    AP_INT("AP.sd[0].on", sd[0].on),
    AP_INT("AP.sd[0].h1", sd[0].h1),
    AP_INT("AP.sd[0].m1", sd[0].m1),
    AP_INT("AP.sd[0].o1", sd[0].o1),
    AP_INT("AP.sd[0].h2", sd[0].h2),
    AP_INT("AP.sd[0].m2", sd[0].m2),
    AP_INT("AP.sd[0].o2", sd[0].o2),
    AP_INT("AP.sd[1].on", sd[1].on),
    AP_INT("AP.sd[1].h1", sd[1].h1),
    AP_INT("AP.sd[1].m1", sd[1].m1),
    AP_INT("AP.sd[1].o1", sd[1].o1),
    AP_INT("AP.sd[1].h2", sd[1].h2),
    AP_INT("AP.sd[1].m2", sd[1].m2),
    AP_INT("AP.sd[1].o2", sd[1].o2),
    AP_INT("AP.limit_MB", limit_MB),
    AP_INT("AP.limit_stop", limit_stop),
    AP_INT("AP.limit_delday", limit_delday),
    AP_INT("AP.leavelong", leavelong),
    AP_INT("AP.bmp", bmp),
    AP_INT("AP.jpg", jpg),
    AP_INT("AP.beep", beep),
    AP_INT("AP.nottrash", nottrash),
    AP_INT("AP.action", action),
    AP_INT("AP.db_y", db_y),
    AP_INT("AP.db_m", db_m),
    AP_INT("AP.db_d", db_d),
    AP_INT("AP.db_latest", db_latest),
    AP_INT("AP.db_days", db_days),
    AP_INT("AP.db_night", db_night),
    AP_INT("AP.db_ymddir", db_ymddir),
    AP_INT("AP.si_yyyymmdd", si_yyyymmdd),
    AP_INT("AP.si_hhmmss", si_hhmmss),
    AP_INT("AP.r_amask", r_amask),
    AP_INT("AP.r_smask", r_smask),
    AP_INT("AP.r_hmark", r_hmark),
    AP_INT("AP.smspeed", smspeed),
    AP_INT("AP.thumbnail", thumbnail),
    AP_INT("AP.sj_cx", sj_cx),
    AP_INT("AP.sj_cy", sj_cy),
    AP_INT("AP.tmark", tmark),
    AP_INT("AP.me_lev", me_lev),
    AP_INT("AP.me_ratio", me_ratio),
    AP_INT("AP.startreplay", startreplay),
    AP_INT("AP.shutdown", shutdown),
    AP_INT("AP.moveclips", moveclips),
    AP_INT("AP.onesecwakeup", onesecwakeup),
    AP_INT("AP.VMR9", VMR9),
    TEXT("IF.si_format", Text, 512, 256, ib.si_format),
    AP_PATH("AP.sd[0].zvi", sd[0].zvi),
    AP_PATH("AP.sd[1].zvi", sd[1].zvi),
    AP_PATH("AP.snd", snd),
    AP_PATH("AP.bat", bat),
    AP_PATH("AP.infname", infname),
    AP_PATH("AP.inputname", inputname),
    TEXT("AP.forcc", Text, 16, kForccUnits, ap.forcc),
    AP_INT("AP.ftp_on", ftp_on),
    AP_INT("AP.ftp_jpg", ftp_jpg),
    AP_INT("AP.ftp_small", ftp_small),
    AP_INT("AP.ftp_rc", ftp_rc),
    AP_INT("AP.ftp_cn", ftp_cn),
    AP_INT("AP.ftp_passive", ftp_passive),
    AP_INT("AP.ftp_port", ftp_port),
    AP_INT("AP.ftp_minmin", ftp_minmin),
    AP_INT("AP.interlace", interlace),
    AP_INT("AP.bbf", bbf),
    AP_INT("AP.timestamp", timestamp),
};

const SettingsKey kGroupKeys[] = {
    AP_PATH("AP.db_dir", db_dir),
    AP_PATH("AP.db2_dir", db2_dir),
    AP_PATH("AP.cache_dir", cache_dir),
    AP_PATH("AP.dv_video_device", dv_video_device),
    AP_PATH("AP.dv_v_s_filter", dv_v_s_filter),
    AP_PATH("AP.dv_v_s_decoder", dv_v_s_decoder),
    AP_PATH("AP.dv_v_d_decoder", dv_v_d_decoder),
    AP_PATH("AP.dv_audio_device", dv_audio_device),
    AP_PATH("AP.dv_a_decoder", dv_a_decoder),
    AP_PATH("AP.rtsp_uname", rtsp_uname),
    AP_PATH("AP.rtsp_ip", rtsp_ip),
    AP_PATH("AP.dv_out_codec", dv_out_codec),
    AP_PATH("AP.dareafname", dareafname),
    TEXT("AP.ccode", TextKeep, 62, kSiteUnits, ap.ccode),
    TEXT("IF.lid", TextKeep, 24, 13, ib.lid),
    TEXT("IF.cid", TextKeep, 8, 4, ib.cid),
    TEXT("AP.oname", TextKeep, 62, kSiteUnits, ap.oname),
    TEXT("AP.cname", TextKeep, 62, 32, ib.cname),
    TEXT("AP.lname", TextKeep, 62, 32, ib.lname),
    TEXT("AP.hname", TextKeep, 62, kSiteUnits, ap.hname),
    TEXT("AP.comment", TextKeep, 160, kCommentUnits, ap.comment),
    AP_DOUBLE(lng, DoubleRule::NonzeroOnly),
    AP_DOUBLE(lat, DoubleRule::NonzeroOnly),
    AP_DOUBLE(alt, DoubleRule::NonzeroOnly),
    AP_DOUBLE(gioidh, DoubleRule::ZeroWhenAbsent),
    AP_SCRAMBLED(ftp_server, InstallationLabel),
    AP_SCRAMBLED(ftp_uname, InstallationLabel),
    AP_SCRAMBLED(ftp_dir, InstallationLabel),
    AP_SCRAMBLED(ftp_pw, InstallationLabel),
    AP_SCRAMBLED(rtsp_pword, InstallDate),
};

#undef AP_SCRAMBLED
#undef AP_PATH
#undef TEXT
#undef AP_DOUBLE
#undef AP_INT
#undef IF_INT
#undef ORV_FIELD

bool SameKey(std::string_view a, std::string_view b) {
  return a.substr(0, CAppUty::kKeyChars) == b.substr(0, CAppUty::kKeyChars);
}
}  // namespace

std::span<const SettingsKey> MainKeys() {
  return kMainKeys;
}
std::span<const SettingsKey> GroupKeys() {
  return kGroupKeys;
}

const SettingsKey* FindSettingsKey(std::string_view name) {
  for (auto keys : {MainKeys(), GroupKeys()}) {
    for (const SettingsKey& key : keys) {
      if (SameKey(name, key.name)) return &key;
    }
  }
  return nullptr;
}

size_t TextRecordLength(size_t units) {
  return (2 * units + 2 + 3) & ~size_t{3};
}

bool TextFits(const SettingsKey& key, std::u16string_view text) {
  if (text.find(u'\0') != std::u16string_view::npos) return false;
  if (text.size() + 1 > key.units) return false;
  if (key.type == KeyType::Scrambled) {
    // The symbols are stored as a text record, two symbols to a unit.
    const size_t symbols = ScrambleText(u"", text).size();
    return TextRecordLength((symbols + 1) / 2) <= key.capacity;
  }
  return TextRecordLength(text.size()) <= key.capacity;
}

std::string FormatValue(AppContext& app, const SettingsKey& key) {
  switch (key.type) {
    case KeyType::Int:
      return std::to_string(key.Int(app));
    case KeyType::Double: {
      char buffer[64];
      const auto result = std::to_chars(buffer, buffer + sizeof buffer, key.Double(app));
      return std::string(buffer, result.ptr);
    }
    default:
      return FieldUtf8(key.Text(app), key.units);
  }
}

namespace {
bool RefuseOutOfRange(const SettingsKey& key, double value, std::string_view text,
                      std::string* error) {
  if (InRange(key, value)) return false;
  *error = std::string(key.name) + " must be " + RangeText(key) + ", not " + std::string(text);
  return true;
}
}  // namespace

bool ParseValue(AppContext& app, const SettingsKey& key, std::string_view text,
                std::string* error) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  switch (key.type) {
    case KeyType::Int: {
      int32_t value = 0;
      const auto result = std::from_chars(first, last, value);
      if (text.empty() || result.ec != std::errc() || result.ptr != last) {
        *error = "not a 32-bit integer: " + std::string(text);
        return false;
      }
      if (RefuseOutOfRange(key, value, text, error)) return false;
      key.Int(app) = value;
      return true;
    }
    case KeyType::Double: {
      double value = 0;
      const auto result = std::from_chars(first, last, value);
      if (text.empty() || result.ec != std::errc() || result.ptr != last || !std::isfinite(value)) {
        *error = "not a finite number: " + std::string(text);
        return false;
      }
      if (RefuseOutOfRange(key, value, text, error)) return false;
      key.Double(app) = value;
      return true;
    }
    default: {
      const std::u16string value = Utf8ToUtf16(text);
      if (!TextFits(key, value)) {
        *error = std::string("text too long for ") + key.name;
        return false;
      }
      SetField(key.Text(app), key.units, value);
      return true;
    }
  }
}

}  // namespace orvanta
