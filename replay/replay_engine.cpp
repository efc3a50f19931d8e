#include "replay/replay_engine.h"

#include <sys/stat.h>

#include "app/messages.h"
#include "replay/replay_steps.h"

namespace orvanta::replay {
namespace {

constexpr size_t kReplayFileUnits = 1023;

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

ReplayEngine::ReplayEngine(AppContext& app, ReplayHooks hooks)
    : app_(app), rb_(app.rib), hooks_(std::move(hooks)) {}

ReplayEngine::~ReplayEngine() {
  Release();
}

void ReplayEngine::SetReplayFile(const std::string& path) {
  std::lock_guard lock(file_mu_);
  file_ = path.substr(0, kReplayFileUnits);
}

std::string ReplayEngine::replay_file() const {
  std::lock_guard lock(file_mu_);
  return file_;
}

bool ReplayEngine::Build() {
  if (graph_.built()) FatalError("DUPLICATED RPLAY START");
  ReplayGraphSetup setup;
  setup.file = replay_file();
  // A clip that is gone leaves the page on its still picture: no graph, no message.
  if (!FileExists(setup.file)) return false;
  setup.startup_dir = app_.state.startupDir;
  setup.rgb_only = rb_.deinterace != 0;
  setup.make_video_sink = hooks_.make_video_sink;
  setup.notify = hooks_.graph_notify;
  setup.with_sound = hooks_.with_sound;
  std::string error;
  if (!graph_.Build(setup, rb_, &error)) {
    ReportMessage("%s", error.c_str());
    state_ = kNoGraph;
    return false;
  }
  rb_.replay_pos = 0;
  if (hooks_.set_slider_range) hooks_.set_slider_range(graph_.duration() / 10000);
  return true;
}

bool ReplayEngine::Ensure() {
  if (state_ == kNoGraph && !graph_.built() && !Build()) return false;
  if (state_ == kStopped) {
    rb_.replay_pos = 0;
    graph_.SeekTo(0);
  }
  return true;
}

void ReplayEngine::Release() {
  state_ = kNoGraph;
  graph_.Release(rb_);
}

void ReplayEngine::ReadPositionForStep() {
  rb_.field_step = 0;
  // After a step or a seek the engine knows the frame it chose; a running or paused clip is
  // asked where it is.
  if (state_ == kRunning || state_ == kPaused) {
    graph_.Pause();
    rb_.replay_pos = graph_.Position();
  } else {
    graph_.Pause();
  }
}

bool ReplayEngine::MoveTo(int64_t position) {
  if (!Ensure()) return false;
  graph_.Pause();
  const int64_t previous = graph_.shown_frame() >= 0 ? rb_.replay_pos : -1;
  rb_.replay_pos = position;
  return FinishMove(previous);
}

bool ReplayEngine::FinishMove(int64_t previous) {
  rb_.replay_pos = ClampToClip(rb_.replay_pos, graph_.duration(), rb_.frame_time);
  media::Result r = graph_.SeekTo(rb_.replay_pos);
  bool shown = media::Succeeded(r) && graph_.shown_frame() >= 0;
  if (media::Succeeded(r) && !shown && previous >= 0 && previous != rb_.replay_pos) {
    // Past the last frame a cut-short clip really holds (its header promised more): the
    // picture stays on the frame it showed.
    rb_.replay_pos = previous;
    r = graph_.SeekTo(rb_.replay_pos);
  }
  if (media::Failed(r)) {
    std::string why = graph_.last_error_text();
    ReportMessage("UE064: Playback error (EC_ERRORABORT - 0x%08lx). Aborting...\r\n%s",
                  static_cast<unsigned long>(static_cast<uint32_t>(r)), why.c_str());
    Release();
    return false;
  }
  if (hooks_.set_slider) hooks_.set_slider(rb_.replay_pos / 10000);
  state_ = kPausedAtChosen;
  return shown;
}

void ReplayEngine::Command(int command, int64_t value) {
  int64_t previous = -1;
  switch (command) {
    case kReplayClose:
      rb_.field_step = 0;
      Release();
      break;
    case kReplayPlay:
      rb_.field_step = 0;
      if (state_ == kRunning || state_ == kPaused || state_ == kPausedAtChosen) {
        // Stopped means paused at the start: the graph keeps its decoders.
        graph_.Pause();
        state_ = kStopped;
      }
      if (!Ensure()) break;
      if (media::Succeeded(graph_.Run())) state_ = kRunning;
      break;
    case kReplayPause:
      rb_.field_step = 0;
      if (state_ == kRunning) {
        graph_.Pause();
        rb_.replay_pos = graph_.Position();
        state_ = kPaused;
      } else {
        if (!Ensure()) break;
        if (media::Succeeded(graph_.Run())) state_ = kRunning;
      }
      break;
    case kReplayStepForward:
    case kReplayStepBack:
      rb_.field_step = 0;
      if (!Ensure()) break;
      {
        const bool at_chosen = state_ == kPausedAtChosen && graph_.shown_frame() >= 0;
        ReadPositionForStep();
        previous = rb_.replay_pos;
        if (command == kReplayStepForward)
          StepForward(rb_, app_.ap.bbf);
        else
          StepBack(rb_, app_.ap.bbf);
        // On to the next frame from a frame the engine chose: the frame that follows is
        // already decoded, so no seek (which decodes an encoded clip again from its last key
        // frame) is needed.
        const bool next_frame =
            rb_.replay_pos == previous + rb_.frame_time &&
            rb_.replay_pos == ClampToClip(rb_.replay_pos, graph_.duration(), rb_.frame_time);
        if (at_chosen && next_frame && !graph_.has_sound() && graph_.StepToNextFrame()) {
          if (hooks_.set_slider) hooks_.set_slider(rb_.replay_pos / 10000);
          state_ = kPausedAtChosen;
        } else {
          FinishMove(previous);
        }
      }
      break;
    case kReplaySeek:
      rb_.field_step = 0;
      if (state_ != kPaused) {
        if (!Ensure()) break;
        graph_.Pause();
      }
      previous = graph_.shown_frame() >= 0 ? rb_.replay_pos : -1;
      SeekPosition(rb_, value);
      FinishMove(previous);
      break;
    case kShutdown:
      Release();
      break;
    default:
      break;
  }
  if (hooks_.command_done) hooks_.command_done(command);
}

void ReplayEngine::HandleGraphEvents() {
  for (const media::GraphEvent& event : graph_.TakeEvents()) {
    if (event.code == media::kEventComplete) {
      // The clip has played to its end: stopped, and ">" plays it again from the start.
      if (media::Succeeded(graph_.Pause())) {
        state_ = kStopped;
        if (hooks_.set_play_text) hooks_.set_play_text(">");
      }
    } else if (event.code == media::kEventErrorAbort) {
      ReportMessage("UE064: Playback error (EC_ERRORABORT - 0x%08lx). Aborting...\r\n",
                    static_cast<unsigned long>(static_cast<uint32_t>(event.param1)));
      Release();
      return;
    }
  }
}

}  // namespace orvanta::replay
