// Every application parameter of the station (the AP. settings keys) and the
// process-wide state around the settings file. A field bears the name of its
// key without the "AP." prefix; IF. keys live in the DetectionBlock and
// "RIF.deinterace" in the ReplayBlock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "app/app_uty.h"
#include "detectfilter/zavipf.h"
#include "replayfilter/zaviprf.h"

namespace orvanta {

inline constexpr int kSettingsVersion = 501;
inline constexpr int kOldFormatVersion = 470;  // below: one byte per text character

// Capacities of the text fields in UTF-16 units (terminator included).
inline constexpr int kPathUnits = 1024;       // every "text 2048" key
inline constexpr int kScrambledUnits = 1024;  // FTP account fields, RTSP password
inline constexpr int kInstallDateUnits = 20;
inline constexpr int kForccUnits = 8;
inline constexpr int kSiteUnits = 32;     // ccode, oname, hname (and cname, lname in the block)
inline constexpr int kCommentUnits = 80;  // comment

// A window rectangle in screen pixels ("AP.dlgrect.top" sets dlgrect.top).
struct WindowRect {
  int32_t top;
  int32_t left;
  int32_t bottom;
  int32_t right;
};

// One of the two daily detection windows ("AP.sd[0].h1" sets sd[0].h1).
struct ScheduleWindow {
  int32_t on;
  int32_t h1, m1, o1;        // start hour, minute, minutes after sunrise/sunset
  int32_t h2, m2, o2;        // end hour, minute, minutes after sunset/sunrise
  char16_t zvi[kPathUnits];  // profile loaded when the window begins
};

struct AppParams {
  // Made once per settings file; the scrambling key of the RTSP password.
  char16_t installdate[kInstallDateUnits];
  int32_t si_fontsize;
  WindowRect dlgrect;
  int32_t showcmd;
  WindowRect me_dlgrect;
  int32_t vpin;
  int32_t apin;
  int32_t md_autorun;
  int32_t ttrig;
  int32_t ttrig_on;
  int32_t tt_sonly;
  int32_t sunset;
  ScheduleWindow sd[2];
  int32_t limit_MB;
  int32_t limit_stop;
  int32_t limit_delday;
  int32_t leavelong;
  int32_t bmp;
  int32_t jpg;
  int32_t beep;
  int32_t nottrash;
  int32_t action;
  int32_t db_y;
  int32_t db_m;
  int32_t db_d;
  int32_t db_latest;
  int32_t db_days;
  int32_t db_night;
  int32_t db_ymddir;
  int32_t si_yyyymmdd;
  int32_t si_hhmmss;
  int32_t r_amask;
  int32_t r_smask;
  int32_t r_hmark;
  int32_t smspeed;
  int32_t thumbnail;
  int32_t sj_cx;
  int32_t sj_cy;
  int32_t tmark;
  int32_t me_lev;
  int32_t me_ratio;
  int32_t startreplay;
  int32_t shutdown;
  int32_t moveclips;
  int32_t onesecwakeup;
  int32_t VMR9;
  char16_t snd[kPathUnits];
  char16_t bat[kPathUnits];
  char16_t infname[kPathUnits];
  char16_t inputname[kPathUnits];
  char16_t forcc[kForccUnits];
  int32_t ftp_on;
  int32_t ftp_jpg;
  int32_t ftp_small;
  int32_t ftp_rc;
  int32_t ftp_cn;
  int32_t ftp_passive;
  int32_t ftp_port;
  int32_t ftp_minmin;
  int32_t interlace;
  int32_t bbf;
  int32_t timestamp;

  // Paths, source selection, site and account.
  char16_t db_dir[kPathUnits];
  char16_t db2_dir[kPathUnits];
  char16_t cache_dir[kPathUnits];
  char16_t dv_video_device[kPathUnits];
  char16_t dv_v_s_filter[kPathUnits];
  char16_t dv_v_s_decoder[kPathUnits];
  char16_t dv_v_d_decoder[kPathUnits];
  char16_t dv_audio_device[kPathUnits];
  char16_t dv_a_decoder[kPathUnits];
  char16_t rtsp_uname[kPathUnits];
  char16_t rtsp_ip[kPathUnits];
  char16_t dv_out_codec[kPathUnits];
  char16_t dareafname[kPathUnits];
  char16_t ccode[kSiteUnits];
  char16_t oname[kSiteUnits];
  char16_t cname[kSiteUnits];  // lid, cid, cname of the camera also sit in the block
  char16_t lname[kSiteUnits];
  char16_t hname[kSiteUnits];
  char16_t comment[kCommentUnits];
  double lng;
  double lat;
  double alt;
  double gioidh;
  char16_t ftp_server[kScrambledUnits];
  char16_t ftp_uname[kScrambledUnits];
  char16_t ftp_dir[kScrambledUnits];
  char16_t ftp_pw[kScrambledUnits];
  char16_t rtsp_pword[kScrambledUnits];
};

// Input format names that "AP.forcc" selects from; index 0 is "auto".
inline constexpr const char16_t* kInputFormatNames[] = {
    u"auto", u"DVSD", u"I420", u"IYUV",  u"NV12", u"RGB8",  u"RGB24", u"RGB32",
    u"Y800", u"YV12", u"YUY2", u"yuy2R", u"UYVY", u"uyvyR", u""};
inline constexpr int kInputFormatCount = 14;

struct AppContext;

// State around the settings file that no key persists.
struct AppState {
  std::string startupDir;  // working directory, read once at start
  std::string settingsFileName = "Settings.zvi";
  int32_t saveAsTemplate = 0;           // "as template" of the Operation page
  std::u16string installationLabel;     // key string of the FTP account fields
  int32_t forcc_index = 0;              // index into kInputFormatNames
  char16_t uncompressed_name[32] = {};  // first entry of the codec list
  char16_t out_ext[8] = {};             // extension of compressed recordings
  int32_t tz_bias = 0;                  // seconds west of UTC, DST included
  int32_t tz_dst = 0;                   // daylight saving time was in force
  std::atomic<int32_t> graph_error{0};  // written by the capture engine
  // Runs at the end of every successful load: pages refresh, the schedule
  // recomputes its sun times, the codec list is refilled.
  std::function<void(AppContext&)> on_loaded;
};

// Everything the settings file reads and writes, plus its record buffer.
// The program has one (TheApp()); tests make their own.
struct AppContext {
  AppParams ap{};
  DetectionBlock ib{};
  ReplayBlock rib{};
  AppState state;
  CAppUty uty;
};

// The program's one instance of the parameters.
AppContext& TheApp();

// Defaults of every parameter (the settings keys' defaults).
void SetDefaults(AppParams& ap, DetectionBlock& ib, ReplayBlock& rib);
// The above plus the start-up values: settingsFileName, time zone, format
// table, codec entry name, cleared installdate/accounts/saveAsTemplate.
void SetDefaults(AppContext& app);
// Reads state.settingsFileName and applies it. False when the file could not
// be read (defaults kept, UM071 reported for a non-default name).
bool LoadSettings(AppContext& app);
// Writes everything to state.settingsFileName (a template when
// state.saveAsTemplate is set). False when the file could not be written.
bool SaveSettings(AppContext& app);

}  // namespace orvanta
