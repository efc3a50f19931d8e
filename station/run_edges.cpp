#include "station/run_edges.h"

#include <QObject>
#include <QTimer>
#include <chrono>

#include "app/messages.h"
#include "app/text_utf.h"
#include "capture/live_controller.h"
#include "capture/live_thread.h"
#include "clipnaming/left_recordings.h"
#include "detectfilter/shared_field.h"
#include "products/clip_products.h"

namespace orvanta::station {
namespace {

// How long a clip cut short may take to reach its end (it needs one more frame), and how
// long the live thread may take to finish or remove its recording at the end.
constexpr std::chrono::milliseconds kCutClipWait{5000};
constexpr int kShutdownWaitMs = 5000;

}  // namespace

void MendLeftRecordingsAtStart(const AppContext& app) {
  const ClipRecordInputs known = ClipRecordInputsFrom(app.ib, app.ap, app.state.tz_bias);
  for (const LeftRecording& left : MendLeftRecordings(FieldUtf8(app.ap.db_dir), known))
    ReportMessage("%s", left.message.c_str());
}

void EndAfterClip(capture::LiveController& page, const DetectionBlock& block,
                  capture::CLiveThread& live, QObject* context, std::function<void()> end_run) {
  if (!page.CutClipShort()) {
    end_run();
    return;
  }
  const int clip_no = LoadShared(block.clip_no);
  auto* poll = new QTimer(context);
  const auto deadline = std::chrono::steady_clock::now() + kCutClipWait;
  QObject::connect(poll, &QTimer::timeout, context, [=, &page, &live] {
    // The clip's end reaches the live thread once its last frames are in the file.
    const bool recording = page.CutClipShort();
    const bool finished = !recording && live.finished_clip_no() - clip_no >= 0;
    if (!finished && std::chrono::steady_clock::now() < deadline) return;
    poll->stop();
    poll->deleteLater();
    // A clip the source left hanging keeps what it has, as after a drop.
    if (!finished) live.MarkSourceLost();
    end_run();
  });
  poll->start(20);
}

bool ShutDownLiveThread(capture::CLiveThread& live) {
  live.Post(capture::kShutdown);
  if (live.Wait(kShutdownWaitMs)) return true;
  ReportMessage("The video source does not answer; the station ends without closing it");
  return false;
}

}  // namespace orvanta::station
