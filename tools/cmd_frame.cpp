// zavip-tool frame: one frame of a clip as the replay page shows it, written as a PNG. The
// clip goes through the replay engine's own graph and filter; with --field the field view of
// that frame (even: the block's field 0, odd: field 1).
#include <gst/gst.h>
#include <unistd.h>

#include <QImage>
#include <cstdio>
#include <string>
#include <vector>

#include "app/app_params.h"
#include "app/messages.h"
#include "replay/replay_engine.h"
#include "tools/tool_args.h"
#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {

constexpr const char* kUsage = "frame --clip FILE.avi --at N [--field even|odd] --out FILE.png";

// The snapshot buffer is a bottom-up BGR bitmap; the PNG is upright RGB.
bool WritePng(const uint8_t* snapshot, int width, int height, const std::string& path) {
  QImage image(width, height, QImage::Format_RGB888);
  const size_t row_bytes = static_cast<size_t>(width) * 3;
  for (int row = 0; row < height; ++row) {
    const uint8_t* in = snapshot + row_bytes * (height - 1 - row);
    uchar* out = image.scanLine(row);
    for (int x = 0; x < width; ++x) {
      out[3 * x] = in[3 * x + 2];
      out[3 * x + 1] = in[3 * x + 1];
      out[3 * x + 2] = in[3 * x];
    }
  }
  return image.save(QString::fromStdString(path), "PNG");
}

int RunFrame(const std::vector<std::string>& args) {
  std::string clip, out, field;
  long long at = -1;
  const std::string bad = ReadOptions(
      args, {}, [&](const std::string& option, const std::string& value) -> std::string {
        if (option == "--clip") {
          clip = value;
        } else if (option == "--out") {
          out = value;
        } else if (option == "--at") {
          if (!ParseInt(value, at) || at < 0) return "--at: not a frame number: " + value;
        } else if (option == "--field") {
          if (value != "even" && value != "odd") return "--field: even or odd, not " + value;
          field = value;
        } else {
          return UnknownOption(option);
        }
        return "";
      });
  if (!bad.empty()) return Fail(bad + "\nusage: zavip-tool " + kUsage);
  if (clip.empty() || out.empty() || at < 0)
    return Fail(std::string("frame needs --clip, --at and --out\nusage: zavip-tool ") + kUsage);
  if (::access(clip.c_str(), R_OK) != 0) return Fail("cannot read the clip " + clip);

  gst_init(nullptr, nullptr);
  // The engine's messages are the tool's errors.
  std::string message;
  SetMessageHandler(
      {[&message](const std::string& text) {
         message += text;
         return 1;
       },
       [](const std::string& text) { std::fprintf(stderr, "zavip-tool: %s\n", text.c_str()); }});
  static AppContext app;
  SetDefaults(app.ap, app.ib, app.rib);
  char cwd[4096] = {};
  if (::getcwd(cwd, sizeof cwd)) app.state.startupDir = cwd;
  app.rib.deinterace = field.empty() ? 0 : 1;

  replay::ReplayHooks hooks;
  hooks.with_sound = false;
  replay::ReplayEngine engine(app, hooks);
  engine.SetReplayFile(clip);
  engine.Command(replay::kReplaySeek, 0);
  if (engine.state() == replay::kNoGraph)
    return Fail(message.empty() ? "cannot play " + clip : message);
  ReplayBlock& rb = engine.block();
  const int64_t frames =
      rb.frame_time > 0 ? (engine.duration() + rb.frame_time / 2) / rb.frame_time : 0;
  if (engine.duration() > 0 && at >= frames)
    return Fail("frame " + std::to_string(at) + " is past the end of " + clip + " (" +
                std::to_string(frames) + " frames)");
  rb.field_step = field.empty() ? 0 : 1;
  rb.field_odd = field == "odd" ? 1 : 0;
  if (!engine.MoveTo(at * rb.frame_time))
    return Fail(message.empty() ? "frame " + std::to_string(at) + " is past the end of " + clip
                                : message);
  if (!WritePng(rb.replay_snapshot, rb.clip_width, rb.clip_height, out))
    return Fail("cannot write " + out);
  std::printf("frame %lld of %s (%dx%d) -> %s\n", at, clip.c_str(), rb.clip_width, rb.clip_height,
              out.c_str());
  return 0;
}

const CommandRegistrar kRegistrar({"frame", kUsage, RunFrame});

}  // namespace
}  // namespace orvanta::tool
