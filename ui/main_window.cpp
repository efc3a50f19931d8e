#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <algorithm>

#include "schedule/housekeeping.h"
#include "ui/detect_area_dialog.h"

namespace orvanta::ui {
namespace {

// "Read Settings" may bring another frame size: the pages' images start again grey.
void FillPageImagesGrey(capture::CaptureState& state) {
  for (Image24* image : {&state.live_image, &state.work_image})
    std::fill(image->bgr.begin(), image->bgr.end(), uint8_t{128});
}

}  // namespace

MainWindow::MainWindow(AppContext& app, capture::CaptureState& state, QWidget* parent)
    : QWidget(parent), app_(app) {
  setObjectName(QStringLiteral("id102"));
  setWindowTitle(QStringLiteral("OrvantaIP"));
  left_ = new QTabWidget(this);
  left_->setObjectName(QStringLiteral("sheet_left"));
  left_->setAccessibleName(QStringLiteral("Settings"));
  input_page_ = new InputPage(app, state, left_);
  input_page_->setAccessibleName(QStringLiteral("Input"));
  input_page_->resizing = [this] { return resizing_; };
  left_->addTab(input_page_, QStringLiteral("Input"));
  // The input page's right edge in the left sheet sets the sheet layout.
  layout_.FromInputPage(input_page_->RightEdge());
  operation_page_ = new OperationPage(app, left_);
  operation_page_->resizing = [this] { return resizing_; };
  operation_page_->before_read_settings = [this, &state] {
    FillPageImagesGrey(state);
    replay_page_->FillGrey();
  };
  left_->addTab(operation_page_, QStringLiteral("Operation"));
  profile_page_ = new ProfilePage(app, left_);
  profile_page_->resizing = [this] { return resizing_; };
  left_->addTab(profile_page_, QStringLiteral("Profile"));
  db_page_ = new DbPage(app, left_);
  left_->addTab(db_page_, QStringLiteral("DB"));

  right_ = new QTabWidget(this);
  right_->setObjectName(QStringLiteral("sheet_right"));
  right_->setAccessibleName(QStringLiteral("Video"));
  live_page_ = new LivePage(app, state, right_);
  live_page_->setAccessibleName(QStringLiteral("Live"));
  live_page_->resizing = [this] { return resizing_; };
  live_page_->fit_window = [this] { FitWindowToVideo(); };
  input_page_->frame_size_changed = [this] {
    live_page_->video()->SetVideoSize(app_.ib.cx, app_.ib.cy);
    live_page_->video()->update();
  };
  right_->addTab(live_page_, QStringLiteral("Live"));
  replay_page_ = new ReplayPage(app, right_);
  replay_page_->fit_window = [this] { FitWindowToVideo(); };
  replay_page_->db_page_showing = [this] { return left_->currentWidget() == db_page_; };
  replay_page_->show_db_page = [this] { left_->setCurrentWidget(db_page_); };
  right_->addTab(replay_page_, QStringLiteral("Replay"));
  db_page_->window_resizing = [this] { return resizing_; };
  db_page_->replay_showing = [this] {
    return right_->currentWidget() == replay_page_ && right_->isVisible();
  };
  db_page_->show_replay_page = [this] { right_->setCurrentWidget(replay_page_); };
  // The clip list is the DB page's; the replay page shows the row it selects and steps
  // through the list with it.
  replay_page_->clip_info = [this](int index) -> std::optional<ReplayClipInfo> {
    const ClipList& list = db_page_->clip_list();
    if (index < 0 || index >= list.entry_count()) return std::nullopt;
    return ReplayClipInfo::FromMarks(list.DirectoryOf(index),
                                     ClipList::MarksText(list.entry(index).marks));
  };
  replay_page_->prev_clip = [this] { db_page_->Prev(); };
  replay_page_->next_clip = [this] { db_page_->Next(); };
  replay_page_->focus_db_list = [this] { db_page_->list_view()->setFocus(); };
  db_page_->select_clip = [this](int index, const std::string& name) {
    replay_page_->SelectClip(index, QString::fromStdString(name));
  };
  operation_page_->reread_clip_list = [this] { db_page_->ReReadClipList(); };
  db_page_->replay_play_pause = [this] { replay_page_->PlayPause(); };
  db_page_->close_replay = [this] { replay_page_->StopReplay(); };
  // The hot-pixel mask takes the detection maps of the clips ticked on the DB page.
  input_page_->open_detect_area = [this, &state] {
    EditDetectArea(app_, state, this, [this] { return db_page_->TickedClipMaps(); });
  };

  setMinimumSize(kMinWindowWidth, layout_.min_height);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  resizing_ = true;
  const int h = height() - 2;
  left_->setGeometry(2, 2, layout_.left_width, h);
  right_->setGeometry(layout_.right_x, 2, width() - layout_.right_x - 2, h);
  resizing_ = false;
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  // A click beside the sheets plays or pauses the replay, as a click on its picture does.
  if (event->button() == Qt::LeftButton && replay_page_->isVisible()) replay_page_->PlayPause();
  QWidget::mousePressEvent(event);
}

void MainWindow::ShowAtSavedPlacement() {
  const WindowRect& r = app_.ap.dlgrect;
  PixelRect place{r.left, r.top, std::max(r.right - r.left, kMinWindowWidth),
                  std::max(r.bottom - r.top, layout_.min_height)};
  // Settings carried over from a larger screen must not open the window out of reach.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect room = screen->availableGeometry();
    place = PlaceOnScreen(place, {room.x(), room.y(), room.width(), room.height()},
                          {kMinWindowWidth, layout_.min_height});
  }
  setGeometry(place.left, place.top, place.width, place.height);
  switch (app_.ap.showcmd) {
    case kShowMaximized:
      showMaximized();
      break;
    case kShowMinimized:
    case 6:  // minimise
    case 7:  // minimised, not active
      showMinimized();
      break;
    default:
      show();
  }
}

void MainWindow::StorePlacement() {
  const bool normal = !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized));
  const QRect r = normal ? geometry() : normalGeometry();
  if (r.isValid()) {
    app_.ap.dlgrect.left = r.left();
    app_.ap.dlgrect.top = r.top();
    app_.ap.dlgrect.right = r.left() + r.width();
    app_.ap.dlgrect.bottom = r.top() + r.height();
  }
  if (windowState() & Qt::WindowMinimized) {
    app_.ap.showcmd = kShowMinimized;
  } else if (windowState() & Qt::WindowMaximized) {
    app_.ap.showcmd = kShowMaximized;
  } else {
    app_.ap.showcmd = kShowNormal;
  }
}

void MainWindow::FitWindowToVideo() {
  const VideoArea* video = live_page_->isVisible()     ? live_page_->video()
                           : replay_page_->isVisible() ? replay_page_->video()
                                                       : nullptr;
  if (!video) return;
  const QPoint at = video->mapTo(this, QPoint(0, 0));
  const PixelSize size =
      ui::FitWindowToVideo(app_.ib.cx, app_.ib.cy, at.x(), at.y(), width(), layout_.min_height);
  if (windowState() & Qt::WindowMaximized) showNormal();
  resize(size.width, size.height);
}

void MainWindow::CloseWithoutAsking() {
  closing_without_asking_ = true;
  // An unattended station must end even when a message waits for a user who is not there.
  while (QWidget* modal = QApplication::activeModalWidget()) {
    if (!modal->close()) break;
  }
  close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  capture::LiveController* live = live_page_->controller();
  if (!closing_without_asking_ && live && live->live_state() == capture::kDetecting) {
    QMessageBox ask(QMessageBox::NoIcon, QStringLiteral("Orvanta"),
                    QStringLiteral("OrvantaIP is running  QUIT?"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    ask.setObjectName(QStringLiteral("quit_prompt"));
    // A signal to end that comes while the question waits closes the window all the same.
    if (ask.exec() != QMessageBox::Ok && !closing_without_asking_) {
      event->ignore();
      return;
    }
  }
  if (on_closing) on_closing();
  live_page_->StopRefresh();
  replay_page_->StopTimer();
  StorePlacement();
  schedule::CleanReplayCache(app_.ap);
  event->accept();
}

}  // namespace orvanta::ui
