// The "Input" page of the left sheet: the source and recording choices, the frame size and
// rate, the clip's head and tail, the video trigger with its masks, the optional triggers
// and the superimposed text. Every control writes its setting at once. While a graph runs
// the controls that shape it are disabled and the capture input lists enabled; while idle
// the reverse.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/app_params.h"
#include "capture/capture_state.h"
#include "capture/live_controller.h"
#include "ui/input_values.h"
#include "ui/up_down.h"

namespace orvanta::ui {

class InputPage : public QWidget {
 public:
  InputPage(AppContext& app, capture::CaptureState& state, QWidget* parent = nullptr);

  // The page's right edge in its sheet: the sheet layout is made from it.
  int RightEdge() const;

  // Adds the page's seams to the controller's hooks: the control states and the codec list
  // follow the live page's actions (safe from any thread).
  void FillHooks(capture::LivePageHooks& hooks);
  void SetController(const capture::LiveController* controller) { controller_ = controller; }

  // "Edit": the detect area editor, run modally.
  std::function<void()> open_detect_area;
  // "set": the property pages of the video device (0), the audio source (1) or the
  // compressor (2).
  std::function<void(int which)> show_properties;
  // The frame size changed: the pages showing the picture take the new size.
  std::function<void()> frame_size_changed;
  // Runs a task on the live thread, in order with its commands (the page images are its).
  std::function<void(std::function<void()>)> on_live_thread;
  // Set while the main window lays out its sheets: showing the page then only lays out.
  std::function<bool()> resizing;

  // Every control from its setting.
  void LoadControls();
  // The control states: a graph running (Detect or Preview) or idle.
  void SetRunning(bool running);
  // The compressor list again from the settings.
  void FillCodecs();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Number {
    QLineEdit* edit = nullptr;
    UpDown* updown = nullptr;
    int32_t* field = nullptr;
    IntRange range;
    int step = 1;
    int updown_lo = 0;
    std::function<IntRange()> dynamic_range;  // a range that follows other fields
    std::function<void()> after;              // runs after a new value is stored
  };
  struct Check {
    QCheckBox* box = nullptr;
    int32_t* field = nullptr;
    std::function<void()> after;
  };

  Number& AddNumber(QGridLayout* grid, int row, int col, const char* caption, const char* id,
                    const char* updown_id, int32_t* field, const char* key);
  Check& AddCheck(const char* caption, const char* id, int32_t* field);
  QLabel* Label(const char* caption, QWidget* buddy);
  // Widgets side by side across the group's width.
  void Row(QGridLayout* grid, int row, const std::vector<QWidget*>& widgets);
  QLineEdit* AddText(const char* id, const QString& name, int max_chars);
  QPushButton* AddButton(const char* caption, const char* id, const QString& name);
  void OnNumberText(Number& n, const QString& text);
  void StoreNumber(Number& n, int value);
  void OnFont(int size);
  void OnFrameSize();
  void OnSourceSettings();
  void OnChooseAreaFile();
  void OnEditArea();
  void FillCaptureInputs();
  void OnPinChosen(bool video, int index);
  void ShowSourceNames();
  // Controls enabled by another control's value: the interval by its check, the field
  // order by "Interlace".
  void SyncDependentControls();
  void OnGui(std::function<void()> work);
  QWidget* Find(const char* id) const;
  Number* NumberOf(const char* id);

  AppContext& app_;
  capture::CaptureState& state_;
  const capture::LiveController* controller_ = nullptr;
  QScrollArea* scroll_;
  QWidget* body_;
  std::vector<std::unique_ptr<Number>> numbers_;
  std::vector<std::unique_ptr<Check>> checks_;
  QLineEdit* video_name_;
  QLineEdit* audio_name_;
  QPushButton* source_settings_;
  QComboBox* video_pins_;
  QComboBox* audio_pins_;
  QPushButton* video_props_;
  QPushButton* audio_props_;
  QLineEdit* fps_;
  QComboBox* fourcc_;
  QComboBox* codec_;
  QPushButton* codec_props_;
  QLineEdit* suffix_;
  QLineEdit* area_name_;
  QPushButton* area_file_;
  QPushButton* area_edit_;
  QLineEdit* si_format_;
  QButtonGroup* font_;
  QLineEdit* date_pair_;
  QCheckBox* interlace_;
  QCheckBox* bbf_;
  QCheckBox* sonly_;
  Number* ttrig_;
  bool running_ = false;
};

}  // namespace orvanta::ui
