// The clip database page "DB": the clips of a span of days or nights found in the clip
// directory, one row per clip with its kinds of file and size; ticks, stepping through the
// rows while the replay page shows each, deleting clips (to the trash unless nottrash), and
// tidying the clip tree. The walk and the rows are the plain ClipList.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/app_params.h"
#include "ui/clip_list.h"
#include "ui/clip_list_model.h"

namespace orvanta::ui {

class DbPage : public QWidget {
 public:
  explicit DbPage(AppContext& app, QWidget* parent = nullptr);

  // The replay page: opens entry `index` of the clip list (-1 and an empty name: none).
  std::function<void(int index, const std::string& name)> select_clip;
  std::function<void()> replay_play_pause;  // Space in the list
  std::function<void()> close_replay;       // before clips are deleted
  std::function<bool()> replay_showing;     // the Replay page is the right sheet's page
  std::function<void()> show_replay_page;   // makes it so
  std::function<bool()> window_resizing;    // the main window is being resized

  // The clip table the replay page reads an entry's directory and marks from.
  const ClipList& clip_list() const { return list_; }
  bool showing() const { return showing_; }

  // Rebuilds the list and opens its first row (the schedule's daily change, after moves).
  void ReReadClipList();
  // "Next" and "Prev" (also the replay page's buttons).
  void Next();
  void Prev();
  // A clip just finished under its final name (on the GUI thread).
  void AddNewClip(const std::string& path);
  // A finished clip's images are made: with "latest" down and the page showing, the last
  // row is opened.
  void OpenLatestClip();
  // Paths of the ticked clips' detection maps (M.bmp), for the hot-pixel mask.
  std::vector<std::string> TickedClipMaps() const;

  QTreeView* list_view() const { return view_; }
  ClipListModel* model() const { return model_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Rebuild();
  void PlaySelectedClip();
  int SelectedRow() const;
  void SelectRow(int row);
  void ClearLatest();
  void ShowCount();
  void ShowDate();
  void ShowSettings();
  void DeleteClipRow(int row);
  void DeleteTicked();
  void DeleteSelected();
  void CleanDir();
  void ChooseDir();
  void SetLatestDays();
  void ToggleNight();
  void DateEdited(int field, const QString& text);
  void StepDate(int field, int delta);
  void DaysEdited(const QString& text);
  void StoreDays(int days);
  void TickSelected(bool ticked);
  void TickAll(bool ticked);
  void TickTimerClips();
  void ToggleFollowLatest();
  void OpenLastRow();
  void FocusList();

  AppContext& app_;
  ClipList list_;
  ClipListModel* model_;
  QTreeView* view_;
  QLineEdit* dir_edit_;
  QCheckBox* ymd_check_;
  QLineEdit* date_edits_[3];
  QLineEdit* days_edit_;
  QCheckBox* latest_days_check_;
  QCheckBox* night_check_;
  QLabel* count_label_;
  QPushButton* latest_button_;
  bool follow_latest_ = false;
  bool showing_ = false;
  bool shown_once_ = false;
};

}  // namespace orvanta::ui
