// Loading and saving whole settings files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <regex>

#include "app/bitmap_fonts.h"
#include "app/font_size.h"
#include "app/profiles.h"
#include "app/scramble.h"
#include "app/settings_keys.h"
#include "app/text_utf.h"
#include "tests/app/test_support.h"

namespace orvanta::testing {
namespace {

using LoadSaveTest = SettingsTest;

// Records of a file as (key, value bytes) in file order.
std::vector<std::pair<std::string, std::string>> Records(const std::string& file) {
  std::vector<std::pair<std::string, std::string>> records;
  size_t at = 0;
  while (at + 20 <= file.size()) {
    int32_t length;
    std::memcpy(&length, file.data() + at + 16, 4);
    records.emplace_back(std::string(file.data() + at, strnlen(file.data() + at, 16)),
                         file.substr(at + 20, static_cast<size_t>(length)));
    at += 20 + static_cast<size_t>(length);
  }
  EXPECT_EQ(at, file.size());
  return records;
}

TEST_F(LoadSaveTest, FirstStartWithoutAFile) {
  auto app = NewApp();
  EXPECT_FALSE(LoadSettings(*app));
  EXPECT_TRUE(reports_.empty());  // the default name is not reported
  EXPECT_EQ(app->ib.cx, 2560);
  EXPECT_EQ(app->ib.cy, 1440);
  EXPECT_EQ(app->ib.fs_head, 20);
  EXPECT_EQ(app->ib.fs_tail, 20);
  EXPECT_EQ(app->ib.dlev, 50);
  EXPECT_EQ(app->ap.lng, 139.0);
  EXPECT_EQ(app->ap.lat, 35.0);
  EXPECT_EQ(app->ap.alt, 0.0);
  EXPECT_EQ(FieldUtf8(app->ap.db_dir), (dir_ / "Documents").string());
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "Documents"));
  EXPECT_TRUE(std::regex_match(FieldUtf8(app->ap.installdate), std::regex(" \\d{8}_\\d{6}")));

  // Missing, empty, a directory, a FIFO: all unreadable, none blocks.
  WriteBytes(dir_ / "empty.zvi", "");
  ASSERT_EQ(::mkfifo((dir_ / "fifo.zvi").c_str(), 0600), 0);
  for (const char* name : {"night.zvi", "empty.zvi", "Documents", "fifo.zvi"}) {
    SCOPED_TRACE(name);
    reports_.clear();
    app->state.settingsFileName = name;
    app->ib.dlev = 77;
    EXPECT_FALSE(LoadSettings(*app));
    EXPECT_EQ(reports_, std::vector<std::string>{std::string("UM071: Cannot read ") + name +
                                                 " Default value used"});
    EXPECT_EQ(app->ib.dlev, 77);
  }
}

TEST_F(LoadSaveTest, SaveWritesEveryKeyInOrder) {
  auto app = NewApp();
  LoadSettings(*app);
  app->state.settingsFileName = "out.zvi";
  ASSERT_TRUE(SaveSettings(*app));
  const std::string file = ReadBytes(dir_ / "out.zvi");
  EXPECT_EQ(file.substr(0, 24), Record("VERSION", IntValue(501)));

  const auto records = Records(file);
  std::vector<const SettingsKey*> keys;
  for (auto group : {MainKeys(), GroupKeys()}) {
    for (const SettingsKey& key : group) keys.push_back(&key);
  }
  ASSERT_EQ(records.size(), keys.size() + 1);
  for (size_t i = 0; i < keys.size(); ++i) {
    const SettingsKey& key = *keys[i];
    const auto& [stored_key, value] = records[i + 1];
    SCOPED_TRACE(key.name);
    EXPECT_EQ(stored_key, std::string(key.name).substr(0, 15));
    if (key.type == KeyType::Int) {
      EXPECT_EQ(value, IntValue(key.Int(*app)));
    }
    if (key.type == KeyType::Double) {
      EXPECT_EQ(value, DoubleValue(key.Double(*app)));
    }
    if (key.type == KeyType::Text || key.type == KeyType::TextKeep) {
      std::string expected = Utf16Value(FieldText(key.Text(*app), key.units));
      expected.resize((expected.size() + 3) & ~size_t{3}, '\0');
      EXPECT_EQ(value, expected);
    }
  }
  // A few defaults straight from the bytes.
  auto value_of = [&](const std::string& key) {
    for (const auto& [k, v] : records) {
      if (k == key) return v;
    }
    return std::string("absent");
  };
  EXPECT_EQ(value_of("IF.dlev"), IntValue(50));
  EXPECT_EQ(value_of("IF.si_offset"), IntValue(-33));
  EXPECT_EQ(value_of("AP.lng"), DoubleValue(139.0));
  EXPECT_EQ(value_of("AP.dv_audio_dev"), Utf16Value(u"--") + std::string(2, '\0'));
  EXPECT_EQ(value_of("AP.dareafname"), Utf16Value(u"DA-ALL.bmp") + std::string(2, '\0'));
  // The empty RTSP password is stored as the 4 symbols of the empty text.
  EXPECT_EQ(value_of("AP.rtsp_pword").size(), 8u);
}

TEST_F(LoadSaveTest, LoadAndSaveReproduceTheFileByteForByte) {
  auto app = NewApp();
  LoadSettings(*app);
  app->state.installationLabel = u"station-7";
  app->ib.dlev = 33;
  app->ib.fps = 29.97;
  app->ib.continuousdetection = 1;
  app->ap.sd[1].on = 1;
  app->ap.lng = -70.7366;
  app->ap.gioidh = 36.5;
  SetField(app->ap.oname, u"Ōta_観測");
  SetField(app->ib.lid, u"TK0001");
  SetField(app->ap.sd[0].zvi, u"dusk.zvi");
  SetField(app->ap.ftp_server, u"ftp.example.org");
  SetField(app->ap.ftp_pw, u"p@ss:wörd");
  SetField(app->ap.rtsp_pword, u"camera-secret");
  app->state.settingsFileName = "first.zvi";
  ASSERT_TRUE(SaveSettings(*app));

  auto again = NewApp();
  again->state.installationLabel = u"station-7";
  again->state.settingsFileName = "first.zvi";
  ASSERT_TRUE(LoadSettings(*again));
  EXPECT_EQ(FieldUtf8(again->ap.oname), "Ōta_観測");
  EXPECT_EQ(FieldUtf8(again->ap.ftp_pw), "p@ss:wörd");
  EXPECT_EQ(FieldUtf8(again->ap.rtsp_pword), "camera-secret");
  EXPECT_EQ(again->ib.fps, 29.97);
  again->state.settingsFileName = "second.zvi";
  ASSERT_TRUE(SaveSettings(*again));
  EXPECT_EQ(ReadBytes(dir_ / "first.zvi"), ReadBytes(dir_ / "second.zvi"));
  EXPECT_EQ(ReadBytes(dir_ / "first.zvi").find("camera-secret"), std::string::npos);
}

TEST_F(LoadSaveTest, FieldRulesOfALoad) {
  const std::string version = Record("VERSION", IntValue(501));
  const std::string docs = (dir_ / "Documents").string();
  std::filesystem::create_directories(dir_ / "cache");
  {
    SCOPED_TRACE("coordinates");
    auto app = LoadBytes(version + Record("AP.lat", DoubleValue(0.0)) +
                         Record("AP.alt", DoubleValue(812.5)));
    EXPECT_EQ(app->ap.lng, 139.0);  // absent
    EXPECT_EQ(app->ap.lat, 35.0);   // stored 0.0
    EXPECT_EQ(app->ap.alt, 812.5);
    EXPECT_EQ(app->ap.gioidh, 0.0);
  }
  {
    SCOPED_TRACE("camera id, window, directories");
    auto app = LoadBytes(
        version + Record("IF.cid", Utf16Value(u"ABC")) + Record("AP.dlgrect.top", IntValue(-5)) +
        Record("AP.db_dir", Utf16Value(u"/no/such/dir")) +
        Record("AP.cache_dir", Utf16Value(Utf8ToUtf16((dir_ / "cache").string()))));
    EXPECT_EQ(FieldUtf8(app->ib.cid), "AB");
    EXPECT_EQ(app->ap.dlgrect.top, 100);
    EXPECT_EQ(app->ap.dlgrect.left, 20);
    EXPECT_EQ(app->ap.dlgrect.bottom, 725);
    EXPECT_EQ(app->ap.dlgrect.right, 1009);
    EXPECT_EQ(FieldUtf8(app->ap.db_dir), docs);
    EXPECT_EQ(FieldUtf8(app->ap.cache_dir), (dir_ / "cache").string());
    auto gone = LoadBytes(version + Record("AP.cache_dir", Utf16Value(u"/no/cache")));
    EXPECT_EQ(FieldUtf8(gone->ap.cache_dir), "");
  }
  struct FormatCase {
    std::u16string forcc;
    int32_t index;
  };
  for (const FormatCase& c : {FormatCase{u"YUY2", 10}, FormatCase{u"uyvyR", 13},
                              FormatCase{u"yuy2", 0}, FormatCase{u"MJPG", 0}}) {
    SCOPED_TRACE(Utf16ToUtf8(c.forcc));
    auto app = LoadBytes(version + Record("AP.forcc", Utf16Value(c.forcc)));
    EXPECT_EQ(app->state.forcc_index, c.index);
  }
  {
    SCOPED_TRACE("site text lengths");
    auto ten = LoadBytes(version + Record("IF.lid", Utf16Value(u"ABCDEFGHIJ")));
    EXPECT_EQ(FieldUtf8(ten->ib.lid), "ABCDEFGHIJ");
    EXPECT_THROW(LoadBytes(version + Record("AP.oname", Utf16Value(std::u16string(30, u'x')))),
                 FatalExitCalled);
    EXPECT_EQ(fatals_, std::vector<std::string>{"UE0105: invalid length"});
  }
}

TEST_F(LoadSaveTest, InstallDateKeysTheRtspPassword) {
  const std::string version = Record("VERSION", IntValue(501));
  const std::string symbols = ScrambleText(u" 20240101_000000", u"secret");
  const std::string stored = symbols + std::string(symbols.size() % 2 + 2, '\0');
  auto app = LoadBytes(version + Record("AP.installdate", Utf16Value(u" 20240101_000000")) +
                       Record("AP.rtsp_pword", stored));
  EXPECT_EQ(FieldUtf8(app->ap.rtsp_pword), "secret");

  // A profile without an install date gets a new one and no password.
  auto fresh = NewApp();
  SetField(fresh->ap.rtsp_pword, u"kept?");
  WriteBytes(dir_ / "profile.zvi", version + Record("AP.rtsp_pword", stored));
  fresh->state.settingsFileName = "profile.zvi";
  LoadSettings(*fresh);
  EXPECT_NE(FieldUtf8(fresh->ap.installdate), "");
  EXPECT_EQ(FieldUtf8(fresh->ap.rtsp_pword), "");

  // Foreign symbols leave the field as it was.
  auto foreign = LoadBytes(version + Record("AP.installdate", Utf16Value(u" 20240101_000000")) +
                           Record("AP.rtsp_pword", std::string("K7Q2abc!") + '\0' + '\0'));
  EXPECT_EQ(FieldUtf8(foreign->ap.rtsp_pword), "");
}

TEST_F(LoadSaveTest, TemplateCarriesNoMachineSettings) {
  auto station = NewApp();
  LoadSettings(*station);
  station->ib.dlev = 61;
  SetField(station->ap.oname, u"Sato");
  SetField(station->ap.dv_video_device, u"0:USB camera");
  SetField(station->ap.rtsp_ip, u"10.0.0.9");
  SetField(station->ap.rtsp_pword, u"pw");
  SetField(station->ap.ftp_uname, u"sato");
  station->ap.lng = 10.5;
  station->state.saveAsTemplate = 1;
  ASSERT_TRUE(SaveProfile(*station, "template.zvi"));
  EXPECT_EQ(station->state.settingsFileName, "Settings.zvi");

  const auto records = Records(ReadBytes(dir_ / "template.zvi"));
  std::vector<std::string> tail;
  for (size_t i = records.size() - 29; i < records.size(); ++i) tail.push_back(records[i].first);
  EXPECT_EQ(
      tail,
      (std::vector<std::string>{
          "AP.db_dir",       "AP.db2_dir",      "AP.cache_dir",  "AP.video_device", "AP.v_s_filter",
          "AP.v_s_decoder",  "AP.v_d_decoder",  "AP.rtsp_uname", "AP.rtsp_pword",   "AP.rtsp_ip",
          "AP.audio_device", "AP.dv_out_codec", "AP.dareafname", "AP.ccode",        "IF.lid",
          "IF.cid",          "AP.oname",        "AP.cname",      "AP.lname",        "AP.hname",
          "AP.comment",      "AP.lng",          "AP.lat",        "AP.alt",          "AP.gioidh",
          "AP.ftp_server",   "AP.ftp_uname",    "AP.ftp_dir",    "AP.ftp_pw"}));

  // Another machine loads it: detection settings come, its own machine settings stay.
  auto other = NewApp();
  LoadSettings(*other);
  SetField(other->ap.oname, u"Kanda");
  SetField(other->ap.dv_video_device, u"1:Night cam");
  SetField(other->ap.ftp_uname, u"kanda");
  SetField(other->ap.rtsp_pword, u"own");
  other->ap.lng = 135.0;
  other->ap.gioidh = 40.0;
  ASSERT_TRUE(LoadProfile(*other, "template.zvi"));
  EXPECT_EQ(other->ib.dlev, 61);
  EXPECT_EQ(FieldUtf8(other->ap.oname), "Kanda");
  EXPECT_EQ(FieldUtf8(other->ap.dv_video_device), "1:Night cam");
  EXPECT_EQ(FieldUtf8(other->ap.ftp_uname), "kanda");
  EXPECT_EQ(FieldUtf8(other->ap.rtsp_pword), "own");
  EXPECT_EQ(FieldUtf8(other->ap.rtsp_ip), "");
  EXPECT_EQ(other->ap.lng, 135.0);
  EXPECT_EQ(other->ap.gioidh, 0.0);
}

TEST_F(LoadSaveTest, SwitchProfileLoadsOnlyAnotherName) {
  auto app = NewApp();
  LoadSettings(*app);
  app->ib.dlev = 12;
  ASSERT_TRUE(SaveProfile(*app, "dusk.zvi"));
  app->ib.dlev = 50;
  EXPECT_FALSE(SwitchProfile(*app, u""));
  EXPECT_FALSE(SwitchProfile(*app, u"Settings.zvi"));
  EXPECT_EQ(app->ib.dlev, 50);
  EXPECT_TRUE(SwitchProfile(*app, u"dusk.zvi"));
  EXPECT_EQ(app->ib.dlev, 12);
  EXPECT_EQ(app->state.settingsFileName, "Settings.zvi");
}

TEST_F(LoadSaveTest, UnwritableFileIsReportedAndLeftAlone) {
  auto app = NewApp();
  LoadSettings(*app);
  app->state.settingsFileName = "no-such-dir/out.zvi";
  EXPECT_FALSE(SaveSettings(*app));
  EXPECT_EQ(reports_, std::vector<std::string>{"UE070: Cannot write no-such-dir/out.zvi"});
}

TEST_F(LoadSaveTest, FatalErrorSavesOnlyWhileAGraphErrorIsPending) {
  AppContext& app = TheApp();
  SetDefaults(app);
  app.state.startupDir = dir_.string();
  app.state.settingsFileName = "fatal.zvi";
  app.ap.md_autorun = 1;
  try {
    FatalError("UE0001: CoInitialize Failed");
  } catch (const FatalExitCalled& e) {
    EXPECT_EQ(e.code, -9);
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "fatal.zvi"));

  app.state.graph_error = 3;
  EXPECT_THROW(FatalError("UE%04d: timing", 42), FatalExitCalled);
  auto loaded = NewApp();
  loaded->state.settingsFileName = "fatal.zvi";
  ASSERT_TRUE(LoadSettings(*loaded));
  EXPECT_EQ(loaded->ap.md_autorun, 0);
  EXPECT_EQ(fatals_, (std::vector<std::string>{"UE0001: CoInitialize Failed", "UE0042: timing"}));
}

TEST_F(LoadSaveTest, DamagedFilesLoadWhatPrecedesTheDamage) {
  std::string file = Record("VERSION", IntValue(501)) + Record("IF.dlev", IntValue(70)) +
                     Record("IF.dsize", IntValue(9));
  file.resize(file.size() - 2);  // the last record is cut
  auto app = LoadBytes(file);
  EXPECT_EQ(app->ib.dlev, 70);
  EXPECT_EQ(app->ib.dsize, 3);
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0],
            "UE0106: test.zvi is damaged after byte 48; the settings from there on are ignored");
}

}  // namespace
}  // namespace orvanta::testing

namespace orvanta::testing {
namespace {

TEST(FontSizeTest, GlyphSizeScaleAndTextPosition) {
  struct Case {
    int size;
    int cy, y0;
    int fontx, fonty, scale, y0_after;
  };
  const Case cases[] = {
      {0, 1440, 1, 5, 9, 1, 1},   {1, 1440, 1, 8, 15, 1, 1},
      {2, 1440, 1, 14, 24, 1, 1}, {3, 1440, 1, 14, 24, 2, 1},
      {3, 60, 40, 14, 24, 2, 10},  // lowered to 60 - (48 + 2)
      {2, 30, 29, 14, 24, 1, 4},  {7, 1440, 1, 5, 9, 2, 1},
      {3, 16, 5, 14, 24, 2, 0},  // a picture lower than the text: 0, not below
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    auto ib = std::make_unique<DetectionBlock>();
    ib->cy = c.cy;
    ib->si_y0 = c.y0;
    ApplyFontSize(c.size, *ib);
    EXPECT_EQ(ib->font, FontForSize(c.size).table);  // the filter draws with it
    EXPECT_EQ(ib->si_fontx, c.fontx);
    EXPECT_EQ(ib->si_fonty, c.fonty);
    EXPECT_EQ(ib->font_scale, c.scale);
    EXPECT_EQ(ib->si_y0, c.y0_after);
  }
}

}  // namespace
}  // namespace orvanta::testing
