#include "products/clip_record.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <optional>

#include "app/file_owner.h"
#include "products/avi_frame_rate.h"

namespace orvanta {
namespace {

constexpr int kRecordU2 = 501;
constexpr double kFallbackRate = 19.99;

void Appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Appendf(std::string& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (n > 0) {
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n) + 1);
    std::vsnprintf(out.data() + at, static_cast<size_t>(n) + 1, format, again);
    out.resize(at + static_cast<size_t>(n));
  }
  va_end(again);
}

// Texts go into attribute values; the site texts are free text of the user.
std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

FrameRateChoice ChooseFrameRate(std::span<const TimeLogEntry> timelog, double fps_setting,
                                int32_t avg_time_per_frame) {
  // Fewer than two stamps measure 0; equal first and last stamps measure
  // nothing at all (an odd clip must not stop the station).
  std::optional<double> measured = 0.0;
  if (timelog.size() >= 2) {
    const TimeLogEntry& first = timelog.front();
    const TimeLogEntry& last = timelog.back();
    const double span = (last.ms - first.ms) / 1000.0 +
                        static_cast<double>(static_cast<int64_t>(last.sec - first.sec));
    if (span >= 0.00001)
      measured = static_cast<double>(timelog.size() - 1) / span;
    else
      measured.reset();
  }
  if (fps_setting > 0.01) return {fps_setting, 0};
  if (avg_time_per_frame > 0) {
    const double nominal = 10000000.0 / avg_time_per_frame;
    const bool agrees = !measured || (*measured > nominal - 1 && *measured < nominal + 1);
    if (agrees && nominal >= 0.01) return {nominal, 0};
  }
  if (measured && *measured > 0.01) return {*measured, static_cast<int32_t>(1000000.0 / *measured)};
  return {kFallbackRate, 0};
}

std::string FormatClipRecord(const ClipRecordInputs& in, double rate) {
  const bool v5 = in.filterinmode != 0;
  std::string out;
  out.reserve(512 + in.timelog.size() * 72);
  Appendf(out, "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n");
  Appendf(out,
          v5 ? "<orvanta_V5_record version=\"500\"\r\n" : "<orvanta_record version=\"322\"\r\n");

  std::tm t{};
  const std::time_t trig = static_cast<std::time_t>(in.trig_sec);
  gmtime_r(&trig, &t);
  Appendf(out,
          " y=\"%04d\" mo=\"%02d\" d=\"%02d\" h=\"%02d\" m=\"%02d\" s=\"%02d.%02d\" trig=\"%d\" "
          "frames=\"%d\"\r\n",
          t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, in.trig_ms / 10,
          in.trig_kind, in.clip_frames);
  Appendf(out, " lng=\"%.4f\" lat=\"%.4f\" alt=\"%.1f\"  gioidh=\"%.1f\" tz=\"%d\" u2=\"%d\"\r\n",
          in.lng, in.lat, in.alt, in.gioidh, in.si_utc ? 0 : -in.tz_bias, kRecordU2);
  Appendf(out,
          " cx=\"%d\" cy=\"%d\" fps=\"%.3f\" fps_setting=\"%.3f\" AvgTimePerFrame_setting=\"%d\" "
          "\r\n head=\"%d\" tail=\"%d\" diff=\"%d\" sipos=\"%d\" sisize=\"%d\"",
          in.cx, in.cy, rate, in.fps, in.avg_time_per_frame, in.fs_head, in.fs_tail, in.fs_diff,
          in.si_y0, in.font_scale * in.si_on * in.si_fonty);
  Appendf(out, " dlev=\"%d\" dsize=\"%d\"\r\n", in.trig_dlev, in.dsize);
  Appendf(out,
          " countrycode=\"%s\" lid=\"%s\" observer=\"%s\" sid=\"%s\" cam=\"%s\" lens=\"%s\" "
          "cap=\"%s\"\r\n comment=\"%s\" interlace=\"%d\" bbf=\"%d\" dropframe=\"%d\" \r\n "
          "fourcc=\"%s\" fourcc_original=\"%s\" avi_write_codec=\"%s\" \r\n",
          Escaped(in.ccode).c_str(), Escaped(in.lid).c_str(), Escaped(in.oname).c_str(),
          Escaped(in.cid).c_str(), Escaped(in.cname).c_str(), Escaped(in.lname).c_str(),
          Escaped(in.hname).c_str(), Escaped(in.comment).c_str(), in.interlace, in.bbf,
          in.late_frames, Escaped(in.fourcc).c_str(), Escaped(in.fourcc_original).c_str(),
          Escaped(in.dv_out_codec).c_str());
  const char* source = !v5 ? "device" : in.rtspinmode ? "rtsp" : "url";
  Appendf(out, " source_type=\"%s\" source_name=\"%s\"", source, Escaped(in.inputname).c_str());
  Appendf(out, ">\r\n");
  if (!in.timelog.empty()) {
    Appendf(out, "    <orvanta_timelog hit=\"%d\">\r\n", static_cast<int>(in.timelog.size()));
    int fno = 0;
    for (const TimeLogEntry& e : in.timelog)
      Appendf(out, "     <ov_t fno=\"%d\"  sec=\"%lld\" msec=\"%d\" fmsec=\"%d\"></ov_t>\r\n",
              ++fno, static_cast<long long>(e.sec), e.ms, e.gap_ms);
    Appendf(out, "    </orvanta_timelog>\r\n");
  }
  Appendf(out, v5 ? "</orvanta_V5_record>\r\n" : "</orvanta_record>\r\n");
  return out;
}

ClipRecordOutcome WriteClipRecord(const std::string& xml_path, const std::string& video_path,
                                  const ClipRecordInputs& in) {
  ClipRecordOutcome outcome;
  outcome.rate = ChooseFrameRate(in.timelog, in.fps, in.avg_time_per_frame);
  if (outcome.rate.avi_us > 0)
    outcome.message = FixAviFrameRate(video_path, outcome.rate.avi_us).message;
  outcome.written = WriteWholeFile(xml_path, FormatClipRecord(in, outcome.rate.rate),
                                   {.whole_or_nothing = true}) == WriteFailure::None;
  return outcome;
}

std::string ClipProductPath(const std::string& video_path, const std::string& suffix) {
  const size_t keep = video_path.size() >= 4 ? video_path.size() - 4 : 0;
  return video_path.substr(0, keep) + suffix;
}

}  // namespace orvanta
