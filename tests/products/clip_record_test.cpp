#include "products/clip_record.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/app_params.h"
#include "app/clip_kinds.h"
#include "app/text_utf.h"
#include "tests/products/temp_dir.h"

namespace orvanta {
namespace {

using testing::TempDir;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at));
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// A station at UTC+9 with a known clip: 2024-01-02 02:10:05.678, three frames.
struct KnownClip {
  std::vector<TimeLogEntry> log = {
      {1704161405, 678, 33}, {1704161405, 711, 33}, {1704161405, 745, 34}};
  ClipRecordInputs in;
  KnownClip() {
    in.trig_sec = 1704161405;  // 2024-01-02 02:10:05 as the frame clock reads it
    in.trig_ms = 678;
    in.trig_kind = kTriggerVideo;
    in.clip_frames = 43;
    in.trig_dlev = 37;
    in.late_frames = 2;
    in.fourcc = "YUY2";
    in.fourcc_original = "";
    in.timelog = log;
    in.avg_time_per_frame = 333667;
    in.cx = 1920;
    in.cy = 1080;
    in.fps = 29.97;
    in.fs_head = 20;
    in.fs_tail = 25;
    in.fs_diff = 1;
    in.si_y0 = 1;
    in.si_on = 1;
    in.si_fonty = 24;
    in.font_scale = 2;
    in.dsize = 3;
    in.interlace = 1;
    in.bbf = 0;
    in.dv_out_codec = "AVI(uncompressed)";
    in.inputname = "0:Sky Camera";
    in.ccode = "JP";
    in.lid = "TK01";
    in.oname = "Hanako";
    in.cid = "C1";
    in.cname = "WAT-910HX";
    in.lname = "f0.95";
    in.hname = "PC1";
    in.comment = "test_site";
    in.lng = 139.7;
    in.lat = 35.65;
    in.alt = 12.34;
    in.gioidh = 36.7;
    in.tz_bias = -32400;
  }
};

TEST(ClipRecordTest, RecordLineByLine) {
  KnownClip clip;
  const std::vector<std::string> expected = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>",
      "<orvanta_record version=\"322\"",
      " y=\"2024\" mo=\"01\" d=\"02\" h=\"02\" m=\"10\" s=\"05.67\" trig=\"1\" frames=\"43\"",
      " lng=\"139.7000\" lat=\"35.6500\" alt=\"12.3\"  gioidh=\"36.7\" tz=\"32400\" u2=\"501\"",
      " cx=\"1920\" cy=\"1080\" fps=\"29.970\" fps_setting=\"29.970\" "
      "AvgTimePerFrame_setting=\"333667\" ",
      " head=\"20\" tail=\"25\" diff=\"1\" sipos=\"1\" sisize=\"48\" dlev=\"37\" dsize=\"3\"",
      " countrycode=\"JP\" lid=\"TK01\" observer=\"Hanako\" sid=\"C1\" cam=\"WAT-910HX\" "
      "lens=\"f0.95\" cap=\"PC1\"",
      " comment=\"test_site\" interlace=\"1\" bbf=\"0\" dropframe=\"2\" ",
      " fourcc=\"YUY2\" fourcc_original=\"\" avi_write_codec=\"AVI(uncompressed)\" ",
      " source_type=\"device\" source_name=\"0:Sky Camera\">",
      "    <orvanta_timelog hit=\"3\">",
      "     <ov_t fno=\"1\"  sec=\"1704161405\" msec=\"678\" fmsec=\"33\"></ov_t>",
      "     <ov_t fno=\"2\"  sec=\"1704161405\" msec=\"711\" fmsec=\"33\"></ov_t>",
      "     <ov_t fno=\"3\"  sec=\"1704161405\" msec=\"745\" fmsec=\"34\"></ov_t>",
      "    </orvanta_timelog>",
      "</orvanta_record>",
  };
  const std::string text = FormatClipRecord(clip.in, 29.97);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(text.find("\n\n"), std::string::npos);
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
  for (const std::string& line : lines) EXPECT_EQ(line.find('\n'), std::string::npos);
}

TEST(ClipRecordTest, SourceKindsTimeZoneAndTextOff) {
  KnownClip clip;
  clip.in.timelog = {};
  clip.in.si_on = 0;
  clip.in.si_utc = 1;
  std::string text = FormatClipRecord(clip.in, 29.97);
  EXPECT_NE(text.find(" tz=\"0\" "), std::string::npos);
  EXPECT_NE(text.find(" sisize=\"0\" dlev=\"37\""), std::string::npos);
  EXPECT_EQ(text.find("orvanta_timelog"), std::string::npos);

  clip.in.filterinmode = 1;
  clip.in.rtspinmode = 1;
  text = FormatClipRecord(clip.in, 29.97);
  EXPECT_EQ(Lines(text)[1], "<orvanta_V5_record version=\"500\"");
  EXPECT_NE(text.find(" source_type=\"rtsp\" source_name=\"0:Sky Camera\">\r\n"),
            std::string::npos);
  EXPECT_EQ(Lines(text).back(), "</orvanta_V5_record>");
  clip.in.rtspinmode = 0;
  EXPECT_NE(FormatClipRecord(clip.in, 29.97).find(" source_type=\"url\" "), std::string::npos);
}

TEST(ClipRecordTest, InputsFromBlockAndParameters) {
  auto block = std::make_unique<DetectionBlock>();
  auto ap = std::make_unique<AppParams>();
  SetField(block->lid, u"TK01");
  SetField(block->cname, u"\u661f\u7a7a");  // camera names may be any text
  SetField(ap->ccode, u"JP");
  block->timelog[0] = {1704161405, 678, 33};
  block->timelog_count = 1;
  ClipRecordInputs in = ClipRecordInputsFrom(*block, *ap, -32400);
  EXPECT_EQ(in.lid, "TK01");
  EXPECT_EQ(in.cname, "\xE6\x98\x9F\xE7\xA9\xBA");
  EXPECT_EQ(in.ccode, "JP");
  EXPECT_EQ(in.tz_bias, -32400);
  ASSERT_EQ(in.timelog.size(), 1u);
  EXPECT_EQ(in.timelog[0].ms, 678);
  // A damaged count never reads past the log.
  block->timelog_count = 5000;
  EXPECT_EQ(ClipRecordInputsFrom(*block, *ap, 0).timelog.size(), 2000u);
  block->timelog_count = -3;
  EXPECT_TRUE(ClipRecordInputsFrom(*block, *ap, 0).timelog.empty());
}

TEST(ClipRecordTest, TextValuesAreEscaped) {
  KnownClip clip;
  clip.in.comment = "a<b>&\"c\"";
  clip.in.inputname = "rtsp://cam/?a=1&b=2";
  const std::string text = FormatClipRecord(clip.in, 29.97);
  EXPECT_NE(text.find(" comment=\"a&lt;b&gt;&amp;&quot;c&quot;\" "), std::string::npos);
  EXPECT_NE(text.find("source_name=\"rtsp://cam/?a=1&amp;b=2\""), std::string::npos);
}

// Time logs of n frames evenly spread at the given rate.
std::vector<TimeLogEntry> Log(int n, double rate) {
  std::vector<TimeLogEntry> log;
  for (int i = 0; i < n; ++i) {
    const int64_t ms = static_cast<int64_t>(i * 1000.0 / rate + 0.5);
    log.push_back(
        {static_cast<uint64_t>(1700000000 + ms / 1000), static_cast<int32_t>(ms % 1000), 0});
  }
  return log;
}

TEST(ClipRecordTest, FrameRateRules) {
  struct Case {
    const char* what;
    std::vector<TimeLogEntry> log;
    double fps_setting;
    int32_t duration;
    double rate;
    int32_t avi_us;
  };
  const Case cases[] = {
      {"one frame, nothing known", Log(1, 25), 0, 0, 19.99, 0},
      {"setting wins", Log(30, 25), 29.97, 333333, 29.97, 0},
      {"nominal confirmed", Log(60, 29.5), 0, 333333, 30.0, 0},
      {"measured differs from nominal", Log(290, 28.9), 0, 333333, 28.9, 34602},
      {"measured only", Log(290, 28.9), 0, 0, 28.9, 34602},
      // Equal first and last stamps: the rate is unknown, the station goes on.
      {"equal stamps, nominal known", {{1700000000, 5, 0}, {1700000000, 5, 0}}, 0, 400000, 25.0, 0},
      {"equal stamps, nothing known", {{1700000000, 5, 0}, {1700000000, 5, 0}}, 0, 0, 19.99, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FrameRateChoice got = ChooseFrameRate(c.log, c.fps_setting, c.duration);
    EXPECT_NEAR(got.rate, c.rate, 0.0005);
    EXPECT_EQ(got.avi_us, c.avi_us);
  }
}

TEST(ClipRecordTest, WriteCreatesRecordBesideClip) {
  TempDir dir;
  KnownClip clip;
  const std::string video = dir / "M20240102_021005_JPTK01_C1.avi";
  EXPECT_EQ(ClipProductPath(video, ".xml"), dir / "M20240102_021005_JPTK01_C1.xml");
  const ClipRecordOutcome out = WriteClipRecord(ClipProductPath(video, ".xml"), video, clip.in);
  EXPECT_TRUE(out.written);
  EXPECT_EQ(testing::ReadAll(ClipProductPath(video, ".xml")), FormatClipRecord(clip.in, 29.97));

  // No directory: no record, and nothing to report.
  const ClipRecordOutcome none = WriteClipRecord(dir / "missing/x.xml", video, clip.in);
  EXPECT_FALSE(none.written);
  EXPECT_EQ(none.message, "");
}

}  // namespace
}  // namespace orvanta
