// The "Replay" page of the right sheet: a clip chosen on the DB page, first as its still
// image with the detection map's overlays, then its video played, paused, stepped by frame or
// field and positioned, with single frames saved as images. The video is the replay thread's:
// the page posts its commands and shows the frames the replay graph's picture sink hands it.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "app/app_params.h"
#include "products/image24.h"
#include "products/replay_still.h"
#include "replay/replay_engine.h"
#include "ui/video_area.h"

namespace orvanta::replay {
class CReplayThread;
}

namespace orvanta::ui {

// What the clip list knows of one clip.
struct ReplayClipInfo {
  std::string directory;
  bool has_video = false;
  ClipStills stills;
  // From the clip list's ten media marks ('A' at 0: the video file).
  static ReplayClipInfo FromMarks(std::string directory, std::string_view marks);
};

class ReplayPage : public QWidget {
 public:
  explicit ReplayPage(AppContext& app, QWidget* parent = nullptr);
  ~ReplayPage() override;

  // Adds the page's seams to the replay thread's hooks: the picture sink, the slider, the
  // play button's text (safe from the replay thread).
  void FillHooks(replay::ReplayHooks& hooks);
  // The thread the page drives; its graph events (1215) come to the page.
  void SetReplayThread(replay::CReplayThread* thread) { thread_ = thread; }

  // The DB page's selection changed: `index` into its clip list (outside it: no clip).
  void SelectClip(int index, const QString& name);
  // ">": pause while the video runs, else play on (the DB list's Space key too).
  void PlayPause();
  void ShowStill();
  // Stops the video: the timer off, the graph closed (before a clip's files are deleted).
  void StopReplay();
  // The page's picture grey, as when no clip is chosen (a new frame size may follow).
  void FillGrey();
  void StopTimer() { timer_.stop(); }

  // The clip list's entry; nothing when the index is outside the list.
  std::function<std::optional<ReplayClipInfo>(int index)> clip_info;
  // The DB page selects the previous / next clip.
  std::function<void()> prev_clip, next_clip;
  // The DB page: whether it is showing, make it the left sheet's page, focus its list.
  std::function<bool()> db_page_showing;
  std::function<void()> show_db_page;
  std::function<void()> focus_db_list;
  // "1:N": the main window fits itself to the video.
  std::function<void()> fit_window;

  VideoArea* video() const { return video_; }
  const Image24& still_image() const { return image_; }
  const QTimer& replay_timer() const { return timer_; }
  const std::string& replay_cache_file() const { return cache_file_; }
  // Commands posted to the replay thread, and those it has carried out (tests wait on them).
  int commands_posted() const { return commands_posted_; }
  int commands_done() const { return commands_done_.load(); }
  int replay_state() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void customEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Post(int command, int64_t value = 0);
  bool VideoOpen() const;
  bool PrepareReplayFile();
  void DeleteCacheCopy();
  void ShowImage();
  void PlayFromStart();
  void StepForward();
  void StepBack();
  void SeekHead();
  void SaveSnapshot();
  void StartTimer(int period_ms);
  void OnTimer();
  void SetPlayText(const QString& text);
  void SetSlider(int64_t ms);
  void LoadChecks();

  AppContext& app_;
  replay::CReplayThread* thread_ = nullptr;
  QPushButton* prev_;
  QPushButton* next_;
  QPushButton* still_;
  QCheckBox* area_mask_;
  QCheckBox* scl_mask_;
  QCheckBox* hit_mark_;
  QCheckBox* deinterlace_;
  QLineEdit* base_field_;
  QPushButton* one_to_n_;
  VideoArea* video_;
  QSlider* slider_;
  QPushButton* play_start_;
  QPushButton* step_back_;
  QPushButton* play_;
  QPushButton* step_forward_;
  QPushButton* head_;
  QPushButton* snapshot_;
  QTimer timer_;

  bool showing_ = false;
  bool clip_selected_ = false;
  std::string clip_name_;
  std::string base_path_;
  std::string clip_video_path_;
  bool clip_has_video_ = false;
  ClipStills stills_;
  std::string cache_file_;     // our copy of the clip in the replay cache
  bool cache_failed_ = false;  // the copy failed once: the clip itself is played
  Image24 image_;              // the replay page image
  bool setting_slider_ = false;
  // Set from the first video command on a clip until the page closes the graph: a graph may
  // be on its way while the thread still reads state 0.
  bool video_posted_ = false;
  // Frames reach the picture only while the video is on; the still takes over at once.
  std::mutex frame_mu_;
  bool frames_on_ = false;
  int commands_posted_ = 0;
  std::atomic<int> commands_done_{0};
};

}  // namespace orvanta::ui
