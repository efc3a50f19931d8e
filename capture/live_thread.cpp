#include "capture/live_thread.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "app/clip_kinds.h"
#include "app/messages.h"
#include "app/text_utf.h"
#include "capture/clip_end_rules.h"
#include "capture/graph_error_log.h"
#include "clipnaming/clip_name.h"
#include "clipnaming/left_recordings.h"
#include "detectfilter/shared_field.h"
#include "products/avi_mend.h"
#include "products/clip_products.h"
#include "products/compose_image.h"
#include "products/ftp_upload.h"

namespace orvanta::capture {
namespace {

void Pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

CLiveThread::CLiveThread(AppContext& app, CaptureState& state, CaptureHooks& hooks,
                         LiveController& page)
    : app_(app),
      ib_(app.ib),
      ap_(app.ap),
      state_(state),
      hooks_(hooks),
      page_(page),
      graph_(app, state, hooks),
      uploader_(std::make_unique<ftp::FtpUploader>()) {
  hooks_.clip_end = [this](std::shared_ptr<FinishedClip> clip) { PostClipEnd(std::move(clip)); };
  if (!hooks_.stop_action) hooks_.stop_action = [this] { page_.Stop(); };
  if (!hooks_.detect_action) hooks_.detect_action = [this] { page_.Detect(); };
  if (!hooks_.preview_action) hooks_.preview_action = [this] { page_.Preview(); };
}

CLiveThread::~CLiveThread() {
  if (thread_.isRunning()) {
    Post(kShutdown);
    thread_.wait();
  }
}

void CLiveThread::Start() {
  moveToThread(&thread_);
  QObject::connect(&thread_, &QThread::started,
                   [this] { ib_.host_thread_id = static_cast<int32_t>(::syscall(SYS_gettid)); });
  thread_.start();
}

void CLiveThread::Post(int command) {
  QCoreApplication::postEvent(this, new LiveCommandEvent(command));
}

void CLiveThread::PostClipEnd(std::shared_ptr<FinishedClip> clip) {
  QCoreApplication::postEvent(this, new ClipEndEvent(std::move(clip)));
}

void CLiveThread::PostTask(std::function<void()> task) {
  QCoreApplication::postEvent(this, new LiveTaskEvent(std::move(task)));
}

void CLiveThread::Wait() {
  thread_.wait();
}

bool CLiveThread::Wait(int ms) {
  return thread_.wait(QDeadlineTimer(ms));
}

void CLiveThread::customEvent(QEvent* event) {
  if (event->type() == static_cast<QEvent::Type>(kClipEndEvent)) {
    FinishClip(static_cast<ClipEndEvent*>(event)->clip());
    return;
  }
  if (event->type() == static_cast<QEvent::Type>(kLiveTaskEvent)) {
    static_cast<LiveTaskEvent*>(event)->Run();
    return;
  }
  if (event->type() != static_cast<QEvent::Type>(kLiveCommandEvent)) return;
  switch (static_cast<LiveCommandEvent*>(event)->command()) {
    case kStartGraph:
      StartCapture();
      break;
    case kStopGraph:
      StopCapture();
      break;
    case kDetectOn:
      StoreShared(ib_.timer_rec, 0);
      StoreShared(ib_.detect_on, 1);
      break;
    case kDetectOff:
      StoreShared(ib_.detect_on, 0);
      break;
    case kForceRecOn:
      StoreShared(ib_.force_rec, 1);
      break;
    case kForceRecOff:
      StoreShared(ib_.force_rec, 0);
      break;
    case kShutdown:
      StopCapture();
      state_.live_done = 1;
      thread_.quit();
      break;
    default:
      break;
  }
}

void CLiveThread::StartCapture() {
  StoreShared(ib_.timer_rec, 0);
  FrameClockSettings clock{ib_.si_cdate != 0, ib_.si_utc != 0,    ap_.si_yyyymmdd,
                           ap_.si_hhmmss,     app_.state.tz_bias, app_.state.tz_dst};
  ib_.time_offset = FrameClockOffset(clock, static_cast<int64_t>(std::time(nullptr)));
  if (!graph_.BuildLiveGraph()) return;
  // Detection armed by the page is on before the first frame, so that no frame of the
  // source passes unexamined (hosting the filter has just cleared it).
  if (page_.live_state() == kDetecting) StoreShared(ib_.detect_on, 1);
  media::Result r = graph_.Run();
  if (media::Failed(r))
    ReportMessage("UE041: Couldn't run the graph! hr=0x%x", static_cast<unsigned>(r));
}

void CLiveThread::DeleteRecordingFile() {
  if (state_.rec_file.empty()) return;
  std::remove(state_.rec_file.c_str());
  state_.rec_file.clear();
}

// The clip's file could not be finished by its writer (the disk filled up): it keeps the
// frames that reached it, and the clip's record and listing say as many.
void CLiveThread::MendUnfinishedFile(FinishedClip& clip) {
  if (state_.rec_file.empty()) return;
  Result<AviFacts> facts = MendAvi(state_.rec_file);
  if (!facts) {
    ReportMessage("The recording file %s could not be finished: %s", state_.rec_file.c_str(),
                  facts.message().c_str());
    DeleteRecordingFile();
    return;
  }
  clip.block.clip_frames = static_cast<int32_t>(facts->frames);
  clip.delivered = static_cast<int>(facts->frames);
}

// A clip cut off by a streaming error (a full disk, a source gone) keeps what was written:
// the file is mended, named as a clip and given its record.
void CLiveThread::KeepCutOffRecording() {
  const LeftRecording kept =
      MendRecording(state_.rec_file, ClipRecordInputsFrom(ib_, ap_, app_.state.tz_bias));
  state_.rec_file.clear();
  ReportMessage("%s", kept.message.c_str());
  if (!kept.clip.empty() && hooks_.add_new_clip) hooks_.add_new_clip(kept.clip);
}

void CLiveThread::StopCapture() {
  StoreShared(ib_.output_hold, 1);
  const bool cut_off =
      source_lost_.exchange(false) || (graph_.exists() && graph_.stopped_by_error());
  if (graph_.exists()) {
    media::Result r = graph_.Stop();
    if (ib_.snap_valid && ib_.snapshot) {
      state_.live_image.Resize(ib_.cx, ib_.cy);
      ComposeSnapshotImage(ib_, state_.live_image);
      ib_.snap_valid = 0;
    }
    if (media::Failed(r))
      ReportMessage("UE004: DxErr Couldn't stop the graph!  hr=0x%x", static_cast<unsigned>(r));
    state_.rec_mode = 0;
    graph_.ReleaseLiveGraph();
  }
  // The file of a clip that ended just before the stop is kept for its ClipEnd, even when a
  // next clip had already started; one that never got a clip frame (opened after the last
  // clip) goes like an unfinished one.
  if (graph_.recording_finished()) return;
  if (cut_off && graph_.recording_has_frames() && !state_.rec_file.empty()) {
    KeepCutOffRecording();
    return;
  }
  if (ib_.end_status == kClipNone || !graph_.recording_has_frames()) DeleteRecordingFile();
}

// The detection filter has gone on detecting since the clip ended; its recording outputs
// wait for a new branch. The old branch is finished and its file renamed first, the new
// one is put in place next, and only then are the clip's images, record, uploads and
// action made from the clip's own copy of the block, so that none of that holds up the
// recording of a following clip.
void CLiveThread::FinishClip(FinishedClip& clip) {
  // After a stop the clip's file, finished by the stop, is still turned into a clip; with
  // no file there is nothing to finish.
  const bool running = graph_.exists();
  if (!running && state_.rec_file.empty()) return;
  const DetectionBlock& cb = clip.block;
  // A camera in filter mode is reopened after every clip unless it runs continuously; a
  // file is never reopened (it would start again from its beginning).
  const bool restart_whole =
      running && ib_.filterinmode && !ib_.continuousdetection && ib_.rtspinmode;
  int resume = 0;
  if (restart_whole) {
    resume = page_.live_state();
    graph_.Stop();
    if (hooks_.stop_action) hooks_.stop_action();
  } else if (running) {
    graph_.TearDownRecordBranch();
  }
  const int end_status = cb.end_status;
  if (end_status != kClipFinished) DeleteRecordingFile();
  if (end_status == kClipFinished && graph_.recording_unfinished()) MendUnfinishedFile(clip);

  std::string final_path;
  ClipNameParts parts;
  if (end_status != kClipNone) {
    const std::string old_name = state_.rec_file;
    ClipNameSettings names = ClipNameSettingsFrom(
        ap_, cb, RecordingExtension(state_.rec_mode, FieldUtf8(app_.state.out_ext)));
    parts = ClipName(names, static_cast<int64_t>(cb.trig_sec), 'M', ClipSeparator(cb.trig_kind));
    final_path = parts.path;
    const bool keep_video = !(cb.trig_kind == kTriggerTimer && ap_.tt_sonly);
    if (end_status == kClipFinished) {
      if (!keep_video) {
        if (!old_name.empty()) std::remove(old_name.c_str());
      } else if (old_name != final_path && !old_name.empty()) {
        std::rename(old_name.c_str(), final_path.c_str());
      }
      if (hooks_.add_new_clip) hooks_.add_new_clip(final_path);
    }
    state_.last_clip = final_path;
    state_.rec_file.clear();
  }

  if (running && !restart_whole) RecordNextClip();
  if (end_status != kClipNone) ReportClipProducts(clip, final_path, parts);
  finished_clip_no_ = cb.clip_no;
  if (restart_whole) {
    Pause(100);
    if (resume == kDetecting) {
      if (hooks_.detect_action) hooks_.detect_action();
    } else if (hooks_.preview_action) {
      hooks_.preview_action();
    }
  }
}

// A new recording branch for the next clip, and the filter run again, which lets the clip
// frames waiting since the last clip's end flow into it.
void CLiveThread::RecordNextClip() {
  if (!graph_.BuildRecordBranch()) {
    if (hooks_.stop_action) hooks_.stop_action();
    return;
  }
  media::Result first = graph_.Run();
  if (!media::Failed(first)) return;
  AppendRestartLog(app_.state.startupDir, first);
  Pause(100);
  StopCapture();
  Pause(100);
  if (graph_.BuildLiveGraph() && media::Failed(graph_.Run()))
    ReportMessage("Couldn't restart the graph!  hr=0x%x", static_cast<unsigned>(first));
}

// The clip's images, uploads and record are made from its own copy of the block; what
// they have to say is reported here, and the action command started from here.
void CLiveThread::ReportClipProducts(FinishedClip& clip, const std::string& final_path,
                                     const ClipNameParts& parts) {
  const ClipProductsRequest request{clip.block,
                                    ap_,
                                    *uploader_,
                                    state_.live_image,
                                    state_.last_ftp_minute,
                                    final_path,
                                    parts.minute_stamp,
                                    parts.hhmm,
                                    DayDir(),
                                    app_.state.tz_bias};
  const ClipProductsOutcome outcome = MakeClipProducts(request);
  for (const std::string& message : outcome.messages) ReportMessage("%s", message.c_str());
  if (!outcome.ftp_status_suffix.empty()) page_.set_status_suffix(outcome.ftp_status_suffix);
  if (outcome.images_made && hooks_.open_latest_clip) hooks_.open_latest_clip();
  if (!outcome.finished) return;
  if (ap_.action && !FieldUtf8(ap_.bat).empty()) RunActionCommand(final_path);
  if (hooks_.clip_finished) hooks_.clip_finished(outcome.clip_path, clip);
}

void CLiveThread::RunActionCommand(const std::string& final_path) {
  ActionCommand command = ParseActionCommand(FieldUtf8(ap_.bat), final_path);
  std::string program = command.program;
  // A program named without a directory is looked for in the start-up directory first.
  if (program.find('/') == std::string::npos) {
    const std::string local = app_.state.startupDir + "/" + program;
    if (::access(local.c_str(), X_OK) == 0) program = local;
  }
  QStringList arguments;
  for (const auto& a : command.arguments) arguments << QString::fromStdString(a);
  QProcess::startDetached(QString::fromStdString(program), arguments);
}

}  // namespace orvanta::capture
