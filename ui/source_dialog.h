// "Source settings": the kind of video source (a capture device, or a source element
// reading an RTSP camera or a video file), the devices, elements and decoders by name, the
// camera's account and address, the file, the audio source and the continuous detection
// mode. It edits private copies; only OK writes them to the settings, and the new source
// takes effect at the next graph start.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <string>
#include <vector>

#include "app/app_params.h"
#include "ui/source_choice.h"

namespace orvanta::ui {

class SourceDialog : public QDialog {
 public:
  explicit SourceDialog(AppContext& app, QWidget* parent = nullptr);

  const SourceChoice& choice() const { return choice_; }

 private:
  void FillLists();
  void ShowMode();
  void OnContinuous(bool checked);
  void OnPickFile();
  void OnOk();
  QComboBox* List(const char* id, const QString& name);
  QLineEdit* Edit(const char* id, const QString& name);
  void Fill(QComboBox* list, const std::vector<std::string>& entries, const std::string& name);

  AppContext& app_;
  SourceChoice choice_;
  QRadioButton* device_mode_;
  QRadioButton* filter_mode_;
  QRadioButton* rtsp_;
  QRadioButton* file_;
  QComboBox* video_device_;
  QComboBox* device_decoder_;
  QComboBox* source_filter_;
  QComboBox* filter_decoder_;
  QComboBox* audio_device_;
  QComboBox* audio_decoder_;
  QLineEdit* uname_;
  QLineEdit* pword_;
  QLineEdit* ip_;
  QLineEdit* file_edit_;
  QPushButton* pick_file_;
  QCheckBox* continuous_;
  QLabel* input_name_;
};

}  // namespace orvanta::ui
