// Upload and "Clear" against a real FTP server on 127.0.0.1.
#include "products/ftp_upload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/text_utf.h"
#include "tests/ftp/ftp_test_server.h"

namespace orvanta::ftp {
namespace {

namespace fs = std::filesystem;
using testing::FtpTestServer;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::set<std::string> NamesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

// Short bounds keep the failure cases quick; the defaults are for real servers.
FtpTimeouts QuickTimeouts() {
  FtpTimeouts t;
  t.connect_ms = 2000;
  t.response_ms = 1000;
  t.accept_ms = 2000;
  t.total_ms = 4000;
  return t;
}

class FtpUploadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    base_ = testing::MakeTempDir("orvanta-ftp");
    ASSERT_FALSE(base_.empty());
    fs::create_directories(fs::path(base_) / "server");
    fs::create_directories(fs::path(base_) / "day");
    server_ = new FtpTestServer;
    std::string error;
    ASSERT_TRUE(server_->Start(base_ + "/server", &error)) << error;
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
    std::error_code ec;
    fs::remove_all(base_, ec);
  }

  void SetUp() override {
    ASSERT_NE(server_, nullptr);
    server_root_ = fs::path(base_) / "server";
    day_dir_ = fs::path(base_) / "day";
    for (const fs::path& dir : {server_root_, day_dir_}) {
      for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
    }
    fs::create_directories(server_root_ / "pub");
    ap_ = std::make_unique<AppParams>();
    SetField(ap_->ftp_server, u"127.0.0.1");
    SetField(ap_->ftp_uname, u"station");
    SetField(ap_->ftp_pw, u"s3cret");
    SetField(ap_->ftp_dir, u"pub");
    ap_->ftp_port = server_->port();
    ap_->ftp_passive = 1;
    ap_->ftp_rc = 8;
    ap_->ftp_cn = 1;
  }

  // A clip's two JPEGs in the day directory, with contents that tell the clip apart.
  ClipImages Clip(const std::string& tag, bool full = true, bool thumbnail = true,
                  int trig_kind = kTriggerVideo, const std::string& hhmm = "0000") {
    ClipImages clip;
    clip.hhmm = hhmm;
    clip.trig_kind = trig_kind;
    clip.day_dir = day_dir_.string();
    if (full) {
      clip.full_jpeg = (day_dir_ / ("M" + tag + "P.jpg")).string();
      WriteFile(clip.full_jpeg, "full " + tag);
    }
    if (thumbnail) {
      clip.thumbnail_jpeg = (day_dir_ / ("M" + tag + "T.jpg")).string();
      WriteFile(clip.thumbnail_jpeg, "thumb " + tag);
    }
    return clip;
  }

  std::string OnServer(const std::string& name) { return ReadFile(server_root_ / "pub" / name); }

  static std::set<std::string> ZavCopiesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const std::string& name : NamesIn(dir)) {
      if (name.rfind("zav", 0) == 0) names.insert(name);
    }
    return names;
  }

  static inline std::string base_;
  static inline FtpTestServer* server_ = nullptr;
  fs::path server_root_;
  fs::path day_dir_;
  std::unique_ptr<AppParams> ap_;
};

TEST_F(FtpUploadTest, FiveClipsRotateThroughThreeNames) {
  ap_->ftp_rc = 3;
  FtpUploader uploader;
  const int expected_number[] = {1, 2, 3, 1, 2};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    const std::string tag = "clip" + std::to_string(i);
    const FtpOutcome outcome = SendClipImages(uploader, *ap_, Clip(tag));
    EXPECT_EQ(outcome.result, FtpResult::Done);
    EXPECT_EQ(outcome.status_suffix, "");
    const std::string n = std::to_string(expected_number[i]);
    EXPECT_EQ(OnServer("zav" + n + ".jpg"), "full " + tag);
    EXPECT_EQ(OnServer("zavs" + n + ".jpg"), "thumb " + tag);
  }
  EXPECT_EQ(ap_->ftp_cn, 3);
  EXPECT_EQ(NamesIn(server_root_ / "pub"),
            (std::set<std::string>{"zav1.jpg", "zav2.jpg", "zav3.jpg", "zavs1.jpg", "zavs2.jpg",
                                   "zavs3.jpg"}));
  // The named copies are removed once sent; the clip's own images stay.
  EXPECT_TRUE(ZavCopiesIn(day_dir_).empty());
  EXPECT_TRUE(fs::exists(day_dir_ / "Mclip4P.jpg"));
}

TEST_F(FtpUploadTest, NumberAdvancesPerImageWhenOnlyOneImageIsSent) {
  struct Case {
    const char* what;
    bool full, thumbnail;
    const char* first;
    const char* second;
  } cases[] = {
      {"thumbnail upload off", true, false, "zav1.jpg", "zav2.jpg"},
      {"full-size upload off", false, true, "zavs1.jpg", "zavs2.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    FtpUploader uploader;
    EXPECT_EQ(SendClipImages(uploader, *ap_, Clip("a", c.full, c.thumbnail)).result,
              FtpResult::Done);
    EXPECT_EQ(SendClipImages(uploader, *ap_, Clip("b", c.full, c.thumbnail)).result,
              FtpResult::Done);
    EXPECT_EQ(NamesIn(server_root_ / "pub"), (std::set<std::string>{c.first, c.second}));
    EXPECT_EQ(OnServer(c.second), c.full ? "full b" : "thumb b");
    EXPECT_EQ(ap_->ftp_cn, 3);
  }
}

TEST_F(FtpUploadTest, TimerClipUsesHourMinuteNamesAndKeepsTheNumber) {
  ap_->ftp_cn = 5;
  FtpUploader uploader;
  const FtpOutcome outcome =
      SendClipImages(uploader, *ap_, Clip("t", true, true, kTriggerTimer, "2107"));
  EXPECT_EQ(outcome.result, FtpResult::Done);
  EXPECT_EQ(OnServer("zavT2107.jpg"), "full t");
  EXPECT_EQ(OnServer("zavsT2107.jpg"), "thumb t");
  EXPECT_EQ(ap_->ftp_cn, 5);
}

TEST_F(FtpUploadTest, ActiveAndPassiveModesBothUpload) {
  for (int passive : {0, 1}) {
    SCOPED_TRACE(passive);
    SetUp();
    ap_->ftp_passive = passive;
    SetField(ap_->ftp_dir, u"/pub");  // an absolute directory works as well as a relative one
    FtpUploader uploader;
    EXPECT_EQ(SendClipImages(uploader, *ap_, Clip("m", true, false)).result, FtpResult::Done);
    EXPECT_EQ(OnServer("zav1.jpg"), "full m");
  }
}

TEST_F(FtpUploadTest, FailureShowsStatusAndSilencesUploadsUntilDetectionStarts) {
  struct Case {
    const char* what;
    void (*spoil)(AppParams&);
    FtpResult result;
    const char* status;  // exact text, or nullptr for "-FTP:" and the client's error text
  } cases[] = {
      {"wrong password", [](AppParams& ap) { SetField(ap.ftp_pw, u"wrong"); },
       FtpResult::ConnectFailed, nullptr},
      {"nobody listening", [](AppParams& ap) { ap.ftp_port = testing::ClosedPort(); },
       FtpResult::ConnectFailed, nullptr},
      {"unknown host", [](AppParams& ap) { SetField(ap.ftp_server, u"no such host"); },
       FtpResult::ConnectFailed, nullptr},
      {"missing directory", [](AppParams& ap) { SetField(ap.ftp_dir, u"pub/missing"); },
       FtpResult::DirFailed, "-FTP:dir error"},
      {"read-only account",
       [](AppParams& ap) {
         SetField(ap.ftp_uname, u"reader");
         SetField(ap.ftp_pw, u"r3ad");
       },
       FtpResult::PutFailed, "-FTP:put error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    FtpUploader uploader(QuickTimeouts());
    AppParams good = *ap_;
    c.spoil(*ap_);

    const FtpOutcome failed = SendClipImages(uploader, *ap_, Clip("x"));
    EXPECT_EQ(failed.result, c.result);
    if (c.status) {
      EXPECT_EQ(failed.status_suffix, c.status);
    } else {
      EXPECT_EQ(failed.status_suffix.rfind("-FTP:", 0), 0u) << failed.status_suffix;
      EXPECT_GT(failed.status_suffix.size(), 5u);
      EXPECT_NE(failed.status_suffix, "-FTP:dir error");
    }
    EXPECT_EQ(uploader.ftp_failed(), 1);
    EXPECT_EQ(ap_->ftp_cn, 1);
    // The copy stays in the day directory when the transfer did not succeed.
    EXPECT_EQ(ZavCopiesIn(day_dir_), std::set<std::string>{"zav1.jpg"});

    // Even with the server fixed, nothing is sent until detection starts again.
    *ap_ = good;
    EXPECT_EQ(SendClipImages(uploader, *ap_, Clip("y")).result, FtpResult::Skipped);
    EXPECT_TRUE(NamesIn(server_root_ / "pub").empty());

    uploader.DetectionStarted();
    EXPECT_EQ(uploader.ftp_failed(), 0);
    EXPECT_EQ(SendClipImages(uploader, *ap_, Clip("z")).result, FtpResult::Done);
    EXPECT_EQ(OnServer("zav1.jpg"), "full z");
    EXPECT_EQ(OnServer("zavs1.jpg"), "thumb z");
  }
}

TEST_F(FtpUploadTest, SilentServerIsGivenUpWithinTheTimeouts) {
  testing::SilentListener silent;
  ASSERT_GT(silent.port(), 0);
  ap_->ftp_port = silent.port();
  FtpTimeouts bounds;
  bounds.connect_ms = 1000;
  bounds.response_ms = 1000;
  bounds.total_ms = 3000;
  FtpUploader uploader(bounds);

  const auto start = std::chrono::steady_clock::now();
  const FtpOutcome outcome = SendClipImages(uploader, *ap_, Clip("s"));
  const auto elapsed = std::chrono::steady_clock::now() - start;

  EXPECT_LT(elapsed, std::chrono::milliseconds(3500));
  EXPECT_EQ(outcome.result, FtpResult::ConnectFailed);
  EXPECT_EQ(outcome.status_suffix.rfind("-FTP:", 0), 0u);
  EXPECT_EQ(uploader.ftp_failed(), 1);
}

TEST_F(FtpUploadTest, ClearDeletesEveryZavFileOfTheDirectoryAndRestartsTheNumber) {
  const fs::path pub = server_root_ / "pub";
  for (const char* name : {"zav1.jpg", "zavs3.jpg", "zavT2107.jpg", "zav-notes.txt", "keep.jpg",
                           "my-zav.jpg", "Zav2.jpg"}) {
    WriteFile(pub / name, name);
  }
  fs::create_directory(pub / "zavdir");
  WriteFile(server_root_ / "zav9.jpg", "outside the configured directory");
  ap_->ftp_cn = 6;

  const FtpOutcome outcome = ClearServerImages(*ap_);
  EXPECT_EQ(outcome.result, FtpResult::Done);
  EXPECT_EQ(outcome.status_suffix, "");
  EXPECT_EQ(ap_->ftp_cn, 1);
  EXPECT_EQ(NamesIn(pub), (std::set<std::string>{"keep.jpg", "my-zav.jpg", "Zav2.jpg", "zavdir"}));
  EXPECT_TRUE(fs::exists(server_root_ / "zav9.jpg"));
}

TEST_F(FtpUploadTest, ClearThatCannotReachTheDirectoryDeletesNothing) {
  struct Case {
    const char* what;
    void (*spoil)(AppParams&);
    FtpResult result;
    const char* status;  // exact text, or nullptr for "-FTP:" and the client's error text
  } cases[] = {
      {"wrong password", [](AppParams& ap) { SetField(ap.ftp_pw, u"wrong"); },
       FtpResult::ConnectFailed, nullptr},
      // The log-in directory holds "zav" files too; they are not the configured ones.
      {"missing directory", [](AppParams& ap) { SetField(ap.ftp_dir, u"pub/missing"); },
       FtpResult::DirFailed, "-FTP:dir error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    WriteFile(server_root_ / "pub" / "zav1.jpg", "x");
    WriteFile(server_root_ / "zav2.jpg", "y");
    c.spoil(*ap_);
    ap_->ftp_cn = 4;
    const FtpOutcome outcome = ClearServerImages(*ap_, QuickTimeouts());
    EXPECT_EQ(outcome.result, c.result);
    if (c.status) {
      EXPECT_EQ(outcome.status_suffix, c.status);
    } else {
      EXPECT_EQ(outcome.status_suffix.rfind("-FTP:", 0), 0u) << outcome.status_suffix;
    }
    EXPECT_EQ(ap_->ftp_cn, 4);
    EXPECT_TRUE(fs::exists(server_root_ / "pub" / "zav1.jpg"));
    EXPECT_TRUE(fs::exists(server_root_ / "zav2.jpg"));
  }
}

TEST_F(FtpUploadTest, AccountTravelsScrambledThroughTheSettingsFile) {
  const std::string file = (fs::path(base_) / "ftp.zvi").string();
  auto saved = std::make_unique<AppContext>();
  SetDefaults(*saved);
  saved->state.installationLabel = u"station-7";
  saved->state.settingsFileName = file;
  SetField(saved->ap.db_dir, Utf8ToUtf16(day_dir_.string()));
  for (auto field :
       {&AppParams::ftp_server, &AppParams::ftp_uname, &AppParams::ftp_pw, &AppParams::ftp_dir}) {
    std::copy(std::begin((*ap_).*field), std::end((*ap_).*field), std::begin(saved->ap.*field));
  }
  saved->ap.ftp_port = ap_->ftp_port;
  ASSERT_TRUE(SaveSettings(*saved));

  const std::string bytes = ReadFile(file);
  for (const std::u16string& secret : {std::u16string(u"s3cret"), std::u16string(u"station")}) {
    const std::string utf8 = Utf16ToUtf8(secret);
    std::string utf16le;
    for (char16_t unit : secret) utf16le += {static_cast<char>(unit), '\0'};
    EXPECT_EQ(bytes.find(utf8), std::string::npos) << utf8;
    EXPECT_EQ(bytes.find(utf16le), std::string::npos) << utf8;
  }

  auto loaded = std::make_unique<AppContext>();
  SetDefaults(*loaded);
  loaded->state.installationLabel = u"station-7";
  loaded->state.settingsFileName = file;
  ASSERT_TRUE(LoadSettings(*loaded));
  FtpUploader uploader;
  EXPECT_EQ(SendClipImages(uploader, loaded->ap, Clip("saved", true, false)).result,
            FtpResult::Done);
  EXPECT_EQ(OnServer("zav1.jpg"), "full saved");
}

TEST(FtpSpacing, MinimumMinutesBetweenUploads) {
  int32_t last = 0;
  EXPECT_TRUE(FtpAllowed(true, 10, 100, &last));
  EXPECT_FALSE(FtpAllowed(true, 10, 105, &last));
  EXPECT_TRUE(FtpAllowed(true, 10, 111, &last));
  EXPECT_EQ(last, 111);
  // Timer clips (minute stamp 0) always send and never move the stamp.
  EXPECT_TRUE(FtpAllowed(true, 10, 0, &last));
  EXPECT_EQ(last, 111);
  EXPECT_FALSE(FtpAllowed(false, 10, 500, &last));
  EXPECT_EQ(last, 0);
  EXPECT_TRUE(FtpAllowed(true, 0, 7, &last));
  EXPECT_EQ(last, 7);
  // Across New Year the stamp falls back; uploads go on at once.
  last = 525590;
  EXPECT_TRUE(FtpAllowed(true, 10, 3, &last));
  EXPECT_EQ(last, 3);
  EXPECT_FALSE(FtpAllowed(true, 10, 8, &last));
}

}  // namespace
}  // namespace orvanta::ftp
