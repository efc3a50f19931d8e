#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/app_params.h"
#include "app/messages.h"
#include "app/scramble.h"
#include "app/settings_file.h"
#include "app/settings_keys.h"
#include "app/settings_ranges.h"
#include "app/text_utf.h"
#include "app/timezone.h"
#include "app/user_dirs.h"

namespace orvanta {
namespace {
constexpr const char* kDefaultSettingsFile = "Settings.zvi";
constexpr const char16_t* kUncompressedName = u"AVI(uncompressed)";
constexpr const char16_t* kDefaultAreaMask = u"DA-ALL.bmp";
constexpr size_t kSymbolCapacity = 2000;
constexpr size_t kUnscrambleCapacity = 2048;

std::u16string KeyString(const AppContext& app, ScrambleKeyString which) {
  if (which == ScrambleKeyString::InstallDate) return FieldText(app.ap.installdate);
  return app.state.installationLabel;
}

std::string IntBytes(int32_t v) {
  std::string b(4, '\0');
  for (int i = 0; i < 4; ++i) b[i] = static_cast<char>(static_cast<uint32_t>(v) >> (8 * i));
  return b;
}

std::string DoubleBytes(double v) {
  std::string b(8, '\0');
  std::memcpy(b.data(), &v, 8);
  return b;
}

std::string TextBytes(std::u16string_view text) {
  std::string b;
  for (char16_t u : text) {
    b.push_back(static_cast<char>(u & 0xFF));
    b.push_back(static_cast<char>(u >> 8));
  }
  b.append(2, '\0');
  return b;
}

// Symbols are stored as a text record: taken in pairs as UTF-16 units, then
// the terminating zero unit.
std::string SymbolBytes(const std::string& symbols) {
  std::string b = symbols;
  if (b.size() % 2 != 0) b.push_back('\0');
  b.append(2, '\0');
  return b;
}

std::string FieldBytes(AppContext& app, const SettingsKey& key) {
  switch (key.type) {
    case KeyType::Int:
      return IntBytes(key.Int(app));
    case KeyType::Double:
      return DoubleBytes(key.Double(app));
    case KeyType::Scrambled:
      return SymbolBytes(
          ScrambleText(KeyString(app, key.scramble_key), FieldText(key.Text(app), key.units)));
    default:
      return TextBytes(FieldText(key.Text(app), key.units));
  }
}

void ReadKey(AppContext& app, const SettingsKey& key) {
  CAppUty& uty = app.uty;
  switch (key.type) {
    case KeyType::Int:
      uty.GetInt(key.name, &key.Int(app));
      break;
    case KeyType::Double: {
      double value = 0.0;
      const bool found = uty.GetDouble(key.name, &value) == 8;
      if (key.double_rule == DoubleRule::Always && found) key.Double(app) = value;
      if (key.double_rule == DoubleRule::NonzeroOnly && found && value != 0.0) {
        key.Double(app) = value;
      }
      if (key.double_rule == DoubleRule::ZeroWhenAbsent) key.Double(app) = found ? value : 0.0;
      break;
    }
    case KeyType::Text:
      uty.GetValue(key.name, key.Text(app), key.capacity, false);
      key.Text(app)[key.units - 1] = u'\0';
      break;
    case KeyType::TextKeep:
      uty.GetTextKeep(key.name, key.Text(app), key.capacity);
      key.Text(app)[key.units - 1] = u'\0';
      break;
    case KeyType::Scrambled:
      break;  // after installdate, see ReadScrambled
  }
}

void ReadScrambled(AppContext& app, const SettingsKey& key) {
  // Symbols are ASCII bytes in every file version, so they are taken as
  // stored, never widened.
  char symbols[kSymbolCapacity + 1] = {};
  if (app.uty.GetValue(key.name, symbols, kSymbolCapacity, true) == 0) return;
  const std::string bytes =
      UnscrambleText(KeyString(app, key.scramble_key), symbols, kUnscrambleCapacity);
  if (bytes.empty() || bytes[0] == '\0') return;
  SetField(key.Text(app), key.units, UnscrambledToText(bytes));
}

int32_t FormatIndex(const char16_t* forcc) {
  const std::u16string name = FieldText(forcc, kForccUnits);
  for (int i = 0; i < kInputFormatCount; ++i) {
    if (name == kInputFormatNames[i]) return i;
  }
  return 0;
}

void SetDocumentsFolderIfEmpty(AppParams& ap) {
  if (ap.db_dir[0] == u'\0') SetField(ap.db_dir, Utf8ToUtf16(DocumentsFolder()));
}
}  // namespace

AppContext& TheApp() {
  static AppContext app;
  return app;
}

void SetDefaults(AppParams& ap, DetectionBlock& ib, ReplayBlock& rib) {
  ap = AppParams{};
  ib.cy = 1440;
  ib.cx = 2560;
  ib.fps = 0.0;
  ib.fs_head = 20;
  ib.fs_tail = 20;
  ib.fs_diff = 1;
  ib.si_area = 0;
  ib.si_maskw = 0;
  ib.si_maskb = 0;
  ib.si_y0 = 1;
  ib.si_cdate = 0;
  ib.si_on = 1;
  ib.si_utc = 0;
  ib.si_fontx = 14;
  ib.si_fonty = 24;
  ib.font_scale = 1;
  ib.si_offset = -33;
  ib.dsize = 3;
  ib.dlev = 50;
  ib.alev = 5000;
  ib.atrigger = 0;
  ib.dmin = 2;
  ib.dminsize = 100;
  ib.dmaxsec = 0;
  ib.nt_on = 1;
  ib.nt_ratio = 120;
  ib.nt_delta = 20;
  ib.nt_min = 10;
  ib.sm_on = 1;
  ib.sm_on2 = 0;
  ib.sm_level = 120;
  ib.sm_size = 8;
  ib.so_on = 1;
  ib.so_on2 = 0;
  ib.so_vel = 36;
  ib.so_size = 36;
  ib.brightonly = 1;
  ib.bolevel = 2;
  ib.im_snap = 0;
  ib.im_peak = 1;
  ib.im_map = 1;
  ib.ignoredf = 0;
  ib.filterinmode = 0;
  ib.continuousdetection = 0;
  ib.rtspinmode = 1;
  SetField(ib.si_format, u"%T%M %pfps %y-%Y %F %L %c %I OrvantaIP");
  SetField(ib.lid, u"");
  SetField(ib.cid, u"");
  SetField(ib.cname, u"");
  SetField(ib.lname, u"");
  rib.deinterace = 0;

  ap.si_fontsize = 2;
  ap.dlgrect = {100, 20, 1250, 1920};
  ap.showcmd = 1;
  ap.me_dlgrect = {120, 40, 1270, 1940};
  ap.ttrig = 60;
  ap.sunset = 1;
  ap.sd[0] = ScheduleWindow{0, 6, 0, -25, 17, 0, 25, {}};
  ap.sd[1] = ScheduleWindow{0, 18, 0, 30, 5, 0, -30, {}};
  ap.limit_MB = 1000;
  ap.limit_stop = 1;
  ap.leavelong = 1;
  ap.jpg = 1;
  ap.nottrash = 1;
  ap.db_y = 2011;
  ap.db_m = 1;
  ap.db_d = 1;
  ap.db_latest = 1;
  ap.db_days = 1;
  ap.db_night = 1;
  ap.db_ymddir = 1;
  ap.si_yyyymmdd = 20111231;
  ap.si_hhmmss = 235959;
  ap.r_hmark = 1;
  ap.smspeed = 2;
  ap.sj_cx = 200;
  ap.sj_cy = 150;
  ap.tmark = 1;
  ap.me_lev = 20;
  ap.me_ratio = 90;
  SetField(ap.bat, u"Action.sh %X");
  ap.ftp_jpg = 1;
  ap.ftp_small = 1;
  ap.ftp_rc = 8;
  ap.ftp_cn = 1;
  ap.ftp_passive = 1;
  ap.ftp_port = 21;
  ap.ftp_minmin = 3;
  SetField(ap.dv_v_s_decoder, u"--");
  SetField(ap.dv_v_d_decoder, u"--");
  SetField(ap.dv_audio_device, u"--");
  SetField(ap.dv_out_codec, kUncompressedName);
  SetField(ap.dareafname, kDefaultAreaMask);
  ap.lng = 139.0;
  ap.lat = 35.0;
}

void SetDefaults(AppContext& app) {
  SetDefaults(app.ap, app.ib, app.rib);
  AppState& st = app.state;
  st.settingsFileName = kDefaultSettingsFile;
  st.saveAsTemplate = 0;
  st.forcc_index = 0;
  const TimeZone zone = LocalTimeZone();
  st.tz_bias = zone.bias;
  st.tz_dst = zone.dst;
  SetField(st.uncompressed_name, kUncompressedName);
  SetField(st.out_ext, u".avi");
}

std::u16string MakeInstallDate() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[64];
  std::snprintf(text, sizeof text, " %04d%02d%02d_%02d%02d%02d", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return Utf8ToUtf16(text);
}

void ApplyMissingSettingsFile(AppContext& app) {
  SetDocumentsFolderIfEmpty(app.ap);
  if (app.ap.installdate[0] == u'\0') {
    SetField(app.ap.installdate, MakeInstallDate());
    SetField(app.ap.rtsp_pword, u"");
  }
}

bool LoadSettings(AppContext& app) {
  app.uty.SetStartupDir(app.state.startupDir);
  const ReadResult read = app.uty.ReadFile(app.state.settingsFileName);
  if (!read.ok()) {
    if (app.state.settingsFileName != kDefaultSettingsFile) {
      ReportMessage("UM071: Cannot read %s Default value used", app.state.settingsFileName.c_str());
    }
    ApplyMissingSettingsFile(app);
    return false;
  }
  ApplyLoadedImage(app);
  return true;
}

void ApplyLoadedImage(AppContext& app) {
  AppParams& ap = app.ap;
  for (auto keys : {MainKeys(), GroupKeys()}) {
    for (const SettingsKey& key : keys) ReadKey(app, key);
  }
  // A value no part of the station can work with (a hand-edited or damaged file) is put
  // back to its default; the rest of the file stands.
  const std::string replaced = ReplaceOutOfRange(app);
  if (!replaced.empty()) {
    ReportMessage("UE0107: %s holds values out of range: %s", app.state.settingsFileName.c_str(),
                  replaced.c_str());
  }
  app.state.forcc_index = FormatIndex(ap.forcc);
  // A password scrambled under another file's install date cannot be read:
  // a file without one gets a new date and no password.
  const bool new_install_date = ap.installdate[0] == u'\0';
  if (new_install_date) {
    SetField(ap.installdate, MakeInstallDate());
    SetField(ap.rtsp_pword, u"");
  }
  for (const SettingsKey& key : GroupKeys()) {
    if (key.type != KeyType::Scrambled) continue;
    if (key.scramble_key == ScrambleKeyString::InstallDate && new_install_date) continue;
    ReadScrambled(app, key);
  }
  std::fill(std::begin(app.ib.cid) + 2, std::end(app.ib.cid), u'\0');

  if (ap.db_dir[0] == u'\0' || !PathExists(FieldUtf8(ap.db_dir))) {
    SetField(ap.db_dir, Utf8ToUtf16(DocumentsFolder()));
  }
  if (!PathExists(FieldUtf8(ap.cache_dir))) SetField(ap.cache_dir, u"");
  if (ap.dlgrect.top < 0) ap.dlgrect = {100, 20, 725, 1009};

  if (app.uty.damaged()) {
    ReportMessage("UE0106: %s is damaged after byte %zu; the settings from there on are ignored",
                  app.state.settingsFileName.c_str(), app.uty.damaged_at());
  }
  if (app.state.on_loaded) app.state.on_loaded(app);
}

std::vector<SaveRecord> BuildSaveRecords(AppContext& app) {
  std::vector<SaveRecord> records;
  records.push_back({kVersionKey, IntBytes(kSettingsVersion)});
  for (const SettingsKey& key : MainKeys()) records.push_back({key.name, FieldBytes(app, key)});
  if (!app.state.saveAsTemplate) {
    for (const SettingsKey& key : GroupKeys()) records.push_back({key.name, FieldBytes(app, key)});
    return records;
  }
  // A template carries no paths, no site and no account: the machine that
  // loads it keeps its own. The source selection goes under keys that no
  // load looks up, so the loading machine keeps its devices too.
  const std::string empty = TextBytes(u"");
  const std::string dashes = TextBytes(u"--");
  const std::string scrambled_empty = SymbolBytes(ScrambleText(app.state.installationLabel, u""));
  const std::string zero = DoubleBytes(0.0);
  records.insert(records.end(),
                 {{"AP.db_dir", empty},
                  {"AP.db2_dir", empty},
                  {"AP.cache_dir", empty},
                  {"AP.video_device", empty},
                  {"AP.v_s_filter", empty},
                  {"AP.v_s_decoder", dashes},
                  {"AP.v_d_decoder", dashes},
                  {"AP.rtsp_uname", empty},
                  {"AP.rtsp_pword", empty},
                  {"AP.rtsp_ip", empty},
                  {"AP.audio_device", dashes},
                  {"AP.dv_out_codec", TextBytes(FieldText(app.state.uncompressed_name))},
                  {"AP.dareafname", TextBytes(kDefaultAreaMask)},
                  {"AP.ccode", empty},
                  {"IF.lid", empty},
                  {"IF.cid", empty},
                  {"AP.oname", empty},
                  {"AP.cname", empty},
                  {"AP.lname", empty},
                  {"AP.hname", empty},
                  {"AP.comment", empty},
                  {"AP.lng", zero},
                  {"AP.lat", zero},
                  {"AP.alt", zero},
                  {"AP.gioidh", zero},
                  {"AP.ftp_server", scrambled_empty},
                  {"AP.ftp_uname", scrambled_empty},
                  {"AP.ftp_dir", scrambled_empty},
                  {"AP.ftp_pw", scrambled_empty}});
  return records;
}

bool RecordsFit(const std::vector<SaveRecord>& records) {
  size_t at = 0;
  for (const SaveRecord& r : records) {
    const size_t length = (r.bytes.size() + 3) & ~size_t{3};
    if (at >= CAppUty::kRecordStartLimit ||
        length > CAppUty::kImageBytes - CAppUty::kHeaderBytes - at) {
      return false;
    }
    at += CAppUty::kHeaderBytes + length;
  }
  return true;
}

bool SaveSettings(AppContext& app) {
  app.uty.SetStartupDir(app.state.startupDir);
  app.uty.Rewind();
  if (app.state.graph_error.load() != 0) app.ap.md_autorun = 0;
  for (const SaveRecord& r : BuildSaveRecords(app)) {
    app.uty.PutValue(r.key.c_str(), r.bytes.data(), r.bytes.size());
  }
  return app.uty.WriteFile(app.state.settingsFileName);
}

}  // namespace orvanta
