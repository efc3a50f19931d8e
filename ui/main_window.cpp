#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>

#include "schedule/housekeeping.h"

namespace orvanta::ui {
namespace {

// The input page's right edge in the left sheet; the input page sets the sheet layout from
// it when it is created.
constexpr int kInputPageRight = 316;

QWidget* Page(const char* id, const char* caption, QWidget* parent) {
  auto* page = new QWidget(parent);
  page->setObjectName(QString::fromLatin1(id));
  page->setAccessibleName(QString::fromLatin1(caption));
  return page;
}

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
  left_->addTab(Page("id131", "Input", left_), QStringLiteral("Input"));
  layout_.FromInputPage(kInputPageRight);
  operation_page_ = new OperationPage(app, left_);
  operation_page_->resizing = [this] { return resizing_; };
  operation_page_->before_read_settings = [&state] { FillPageImagesGrey(state); };
  left_->addTab(operation_page_, QStringLiteral("Operation"));
  profile_page_ = new ProfilePage(app, left_);
  profile_page_->resizing = [this] { return resizing_; };
  left_->addTab(profile_page_, QStringLiteral("Profile"));
  left_->addTab(Page("id134", "DB", left_), QStringLiteral("DB"));

  right_ = new QTabWidget(this);
  right_->setObjectName(QStringLiteral("sheet_right"));
  right_->setAccessibleName(QStringLiteral("Video"));
  live_page_ = new LivePage(app, state, right_);
  live_page_->setAccessibleName(QStringLiteral("Live"));
  live_page_->resizing = [this] { return resizing_; };
  live_page_->fit_window = [this] { FitWindowToVideo(); };
  right_->addTab(live_page_, QStringLiteral("Live"));
  right_->addTab(Page("id130", "Replay", right_), QStringLiteral("Replay"));

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
  if (!live_page_->isVisible()) return;  // the replay page's video area comes with it
  const QPoint at = live_page_->video()->mapTo(this, QPoint(0, 0));
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
  StorePlacement();
  schedule::CleanReplayCache(app_.ap);
  event->accept();
}

}  // namespace orvanta::ui
