// The detect-area editor "Orvanta Detect Area Editor": the station's last picture with the
// mask over it, painted with rectangles, lines and a round pen, or set automatically from
// the picture's dark parts or from the hot pixels of chosen clips; "Save" writes a new mask
// file whose name becomes "AP.dareafname". The painting itself is products/mask_painting;
// the dialog draws and routes the mouse.
#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <string>
#include <vector>

#include "app/app_params.h"
#include "capture/capture_state.h"
#include "products/image24.h"
#include "products/mask_painting.h"

namespace orvanta::ui {

class MaskImageArea;

class DetectAreaDialog : public QDialog {
 public:
  // Edits a copy of the state's work image (a fresh whole-picture mask when that is not of
  // the frame size); the copy goes back to the state when the editor closes, saved or not.
  DetectAreaDialog(AppContext& app, capture::CaptureState& state, QWidget* parent = nullptr);

  // The detection maps (M.bmp paths) of the clips ticked on the DB page, for Ctrl + "set".
  // Unset while no clip list exists.
  std::function<std::vector<std::string>()> ticked_clip_maps;

  const Image24& work_image() const { return work_; }
  bool changed() const { return changed_; }
  MaskImageArea* image_area() const { return area_; }

  // The mouse on the image area, in picture coordinates (the area maps widget points).
  void Press(PicturePoint p, Qt::MouseButton button);
  void Move(PicturePoint p, Qt::MouseButtons buttons);
  void Release(PicturePoint p, Qt::MouseButton button);
  // A rectangle dragged over the picture, ended with `button` released.
  void RectDragged(PicturePoint a, PicturePoint b, Qt::MouseButton button);

  // "Cancel", Escape and the window's close box: asks when there are unsaved edits.
  void reject() override;

 private:
  void OnSet();
  void AutoSet(bool tell_without_picture);
  void HotPixels();
  void OnSave();
  void SetLevel(QLineEdit* edit, int32_t& field, int value, bool rewrite);
  void Changed();
  void StoreRect();
  void PlaceAtSavedRect();
  MaskColour ColourOf(Qt::MouseButton button) const;

  AppContext& app_;
  capture::CaptureState& state_;
  Image24 work_;
  bool changed_ = false;
  MaskColour colour_ = MaskColour::Mask;
  int shape_ = 1;  // 0 Rect, 1 Line, 2 Pen
  MaskBrush brush_ = MaskBrush::L;
  bool line_started_ = false;
  PicturePoint line_start_;
  MaskImageArea* area_;
  QLineEdit* lev_edit_;
  QLineEdit* ratio_edit_;
  QPushButton* set_;
};

// The input page's "Edit": reads the mask file in force into the work image (a file that
// cannot be read gives its message and the whole picture), then runs the editor. True when
// the editor ended with "Save".
bool EditDetectArea(AppContext& app, capture::CaptureState& state, QWidget* parent,
                    std::function<std::vector<std::string>()> ticked_clip_maps = {});

}  // namespace orvanta::ui
