// The detect-area editor under the offscreen platform: the mouse routed to the painting,
// "set" and Ctrl + "set", Save through the real file dialog, Cancel and the close box, and
// the opening with a mask file that cannot be read.
#include "ui/detect_area_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/text_utf.h"
#include "products/auto_mask.h"
#include "products/bmp_file.h"
#include "ui/mask_image_area.h"
#include "ui/up_down.h"

using orvanta::AppContext;
using orvanta::Image24;
using orvanta::IsMasked;
using orvanta::MaskBrush;
using orvanta::PicturePoint;
using orvanta::capture::CaptureState;
using orvanta::ui::DetectAreaDialog;

namespace {

constexpr int kCx = 320;
constexpr int kCy = 180;

// Grey 60 sky with a dark top-left corner: "set" has something to mask.
Image24 Sky() {
  Image24 sky;
  sky.Resize(kCx, kCy);
  for (int y = 0; y < kCy; ++y)
    for (int x = 0; x < kCx; ++x) {
      uint8_t* p = sky.row(kCy - 1 - y) + 3 * x;
      p[0] = p[1] = p[2] = (x < 40 && y < 30) ? 5 : 60;
    }
  return sky;
}

int CountMasked(const Image24& mask) {
  int n = 0;
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) n += IsMasked(mask, {x, y});
  return n;
}

struct Station {
  std::unique_ptr<AppContext> app = std::make_unique<AppContext>();
  CaptureState state;
  QTemporaryDir dir;
  std::vector<std::string> messages;
  orvanta::MessageHandler before;

  Station() {
    orvanta::SetDefaults(*app);
    app->ib.cx = kCx;
    app->ib.cy = kCy;
    app->state.startupDir = dir.path().toStdString();
    app->ap.me_dlgrect = {10, 10, 490, 790};  // top, left, bottom, right
    state.live_image = Sky();
    before = orvanta::SetMessageHandler({[this](const std::string& text) {
                                           messages.push_back(text);
                                           return 1;
                                         },
                                         [](const std::string&) {}});
  }
  ~Station() { orvanta::SetMessageHandler(before); }
  std::string dareafname() const { return orvanta::FieldUtf8(app->ap.dareafname); }
  std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
};

template <typename T = QWidget>
T* Find(QWidget* root, const char* id) {
  T* w = root->findChild<T*>(QString::fromLatin1(id));
  if (!w) qFatal("no control %s", id);
  return w;
}

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons held) {
  QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

// A press at `a`, a move to `b` with the button held and a release there.
void Drag(DetectAreaDialog& d, PicturePoint a, PicturePoint b,
          Qt::MouseButton button = Qt::LeftButton) {
  auto* area = d.image_area();
  Mouse(area, QEvent::MouseButtonPress, area->ToWidget(a), button, button);
  Mouse(area, QEvent::MouseMove, area->ToWidget(b), Qt::NoButton, button);
  Mouse(area, QEvent::MouseButtonRelease, area->ToWidget(b), button, Qt::NoButton);
}

// Runs `answer` on the next modal window once it is up.
template <typename T>
void WhenUp(std::function<void(T*)> answer) {
  QTimer::singleShot(0, [answer] {
    if (auto* w = dynamic_cast<T*>(QApplication::activeModalWidget())) answer(w);
  });
}

void AnswerBox(QMessageBox::StandardButton button, QString* asked) {
  WhenUp<QMessageBox>([button, asked](QMessageBox* box) {
    *asked = box->text();
    box->button(button)->click();
  });
}

// The file dialog of Save, answered with `path`; its proposed name goes to `proposed`.
void AnswerSave(const QString& path, QString* proposed) {
  WhenUp<QFileDialog>([path, proposed](QFileDialog* ask) {
    if (proposed) *proposed = ask->selectedFiles().value(0);
    ask->selectFile(path);
    static_cast<QDialog*>(ask)->accept();  // QFileDialog keeps its override protected
  });
}

}  // namespace

class DetectAreaDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void MouseIsRoutedToTheShapes() {
    Station s;
    DetectAreaDialog d(*s.app, s.state);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QCOMPARE(CountMasked(d.work_image()), 0);
    QVERIFY(!d.changed());

    // Rect: columns up to the right edge, rows through the bottom edge.
    QTest::mouseClick(Find(&d, "id1235"), Qt::LeftButton);
    Drag(d, {10, 20}, {50, 60});
    QCOMPARE(CountMasked(d.work_image()), 40 * 41);
    QVERIFY(IsMasked(d.work_image(), {10, 20}) && IsMasked(d.work_image(), {49, 60}));
    QVERIFY(!IsMasked(d.work_image(), {50, 60}) && !IsMasked(d.work_image(), {10, 61}));
    QVERIFY(d.changed());
    // The right button paints the other colour.
    Drag(d, {20, 30}, {30, 40}, Qt::RightButton);
    QCOMPARE(CountMasked(d.work_image()), 40 * 41 - 10 * 11);

    // Line (the initial shape's group): a click without movement paints nothing.
    QTest::mouseClick(Find(&d, "id1251"), Qt::LeftButton);
    QTest::mouseClick(Find(&d, "id1236"), Qt::LeftButton);  // brush S
    const int before = CountMasked(d.work_image());
    Drag(d, {200, 100}, {200, 100});
    QCOMPARE(CountMasked(d.work_image()), before);
    Drag(d, {100, 150}, {299, 150});
    QCOMPARE(CountMasked(d.work_image()), before + 200);

    // Pen with brush M: a disc at the press.
    QTest::mouseClick(Find(&d, "id1252"), Qt::LeftButton);
    QTest::mouseClick(Find(&d, "id1238"), Qt::LeftButton);
    auto* area = d.image_area();
    Mouse(area, QEvent::MouseButtonPress, area->ToWidget({250, 40}), Qt::LeftButton,
          Qt::LeftButton);
    QCOMPARE(CountMasked(d.work_image()), before + 200 + 21);
    Mouse(area, QEvent::MouseButtonRelease, area->ToWidget({250, 40}), Qt::LeftButton,
          Qt::NoButton);

    // All Mask, All Detect.
    QTest::mouseClick(Find(&d, "id1191"), Qt::LeftButton);
    QCOMPARE(CountMasked(d.work_image()), kCx * kCy);
    QTest::mouseClick(Find(&d, "id1232"), Qt::LeftButton);
    QCOMPARE(CountMasked(d.work_image()), 0);
    QString asked;
    AnswerBox(QMessageBox::Ok, &asked);
    d.reject();
  }

  void SaveWritesANewMaskFileThatBecomesTheName() {
    Station s;
    DetectAreaDialog d(*s.app, s.state);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QTest::mouseClick(Find(&d, "id1235"), Qt::LeftButton);
    Drag(d, {0, 150}, {kCx - 1, kCy - 1});  // the bottom rows (a horizon)

    // The reserved name and another directory keep the editor open with a message.
    AnswerSave(QString::fromStdString(s.Path("DA-ALL.bmp")), nullptr);
    QTest::mouseClick(Find(&d, "id1"), Qt::LeftButton);
    QVERIFY(d.isVisible());
    QCOMPARE(s.messages.back().substr(0, 6), std::string("UM025:"));
    QTemporaryDir elsewhere;
    AnswerSave(elsewhere.filePath("DA320-180.bmp"), nullptr);
    QTest::mouseClick(Find(&d, "id1"), Qt::LeftButton);
    QVERIFY(d.isVisible());
    QVERIFY(s.messages.back().find("start-up directory") != std::string::npos);
    QVERIFY(!QFile::exists(elsewhere.filePath("DA320-180.bmp")));
    QCOMPARE(s.dareafname(), std::string("DA-ALL.bmp"));

    QString proposed;
    AnswerSave(QString::fromStdString(s.Path("DA320-180.bmp")), &proposed);
    d.move(40, 50);
    QTest::mouseClick(Find(&d, "id1"), Qt::LeftButton);
    QCOMPARE(QFileInfo(proposed).fileName(), QStringLiteral("DA320-180.bmp"));
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(s.dareafname(), std::string("DA320-180.bmp"));
    auto written = orvanta::ReadBmp24(s.Path("DA320-180.bmp"));
    QVERIFY(written.ok());
    QVERIFY(written->bgr == d.work_image().bgr);
    QVERIFY(s.state.work_image.bgr == d.work_image().bgr);
    QCOMPARE(s.app->ap.me_dlgrect.left, d.geometry().left());
    QCOMPARE(s.app->ap.me_dlgrect.bottom, d.geometry().top() + d.geometry().height());

    // Opened again, the saved file is what the editor shows.
    s.state.work_image = Image24{};
    bool reopened_with_mask = false;
    WhenUp<DetectAreaDialog>([&reopened_with_mask](DetectAreaDialog* again) {
      reopened_with_mask = IsMasked(again->work_image(), {5, 170});
      again->reject();
    });
    QVERIFY(!orvanta::ui::EditDetectArea(*s.app, s.state, nullptr));
    QVERIFY(reopened_with_mask);
  }

  void CancelAndTheCloseBoxChangeNoSetting() {
    Station s;
    s.app->ap.me_lev = 20;
    auto d = std::make_unique<DetectAreaDialog>(*s.app, s.state);
    d->show();
    QVERIFY(QTest::qWaitForWindowExposed(d.get()));
    Drag(*d, {10, 10}, {100, 100});  // a line
    const int painted = CountMasked(d->work_image());
    QVERIFY(painted > 0);

    QString asked;
    AnswerBox(QMessageBox::Cancel, &asked);
    QTest::mouseClick(Find(d.get(), "id2"), Qt::LeftButton);
    QCOMPARE(asked, QStringLiteral("Not Saved OK?"));
    QVERIFY(d->isVisible());
    AnswerBox(QMessageBox::Ok, &asked);
    d->close();  // the window's close box
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(QDialog::Rejected));
    QCOMPARE(s.dareafname(), std::string("DA-ALL.bmp"));
    QCOMPARE(QDir(s.dir.path()).entryList(QDir::Files), QStringList());
    // The edits stay in memory: with no file to load, the next opening starts from them.
    QCOMPARE(CountMasked(s.state.work_image), painted);

    // Nothing changed: no question.
    asked.clear();
    DetectAreaDialog unchanged(*s.app, s.state);
    unchanged.show();
    QTest::mouseClick(Find(&unchanged, "id2"), Qt::LeftButton);
    QVERIFY(!unchanged.isVisible());
    QVERIFY(asked.isEmpty());
  }

  void SetMasksTheDarkPartsAndCtrlSetTheHotPixels() {
    Station s;
    DetectAreaDialog d(*s.app, s.state);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QTest::mouseClick(Find(&d, "id1343"), Qt::LeftButton);
    QVERIFY(d.work_image().bgr ==
            orvanta::AutoSetMask(s.state.live_image, {20, 90, MaskBrush::L}).bgr);
    QVERIFY(IsMasked(d.work_image(), {0, 0}) && !IsMasked(d.work_image(), {200, 100}));

    // Another level masks afresh, the hand painting gone; a value out of range is clamped.
    QTest::mouseClick(Find(&d, "id1252"), Qt::LeftButton);
    Drag(d, {200, 100}, {200, 100});
    QVERIFY(IsMasked(d.work_image(), {200, 100}));
    auto* lev = Find<QLineEdit>(&d, "id1339");
    lev->selectAll();
    QTest::keyClicks(lev, "61");
    QCOMPARE(s.app->ap.me_lev, 61);
    QVERIFY(d.work_image().bgr ==
            orvanta::AutoSetMask(s.state.live_image, {61, 90, MaskBrush::L}).bgr);
    QCOMPARE(CountMasked(d.work_image()), kCx * kCy);  // all of the grey 60 sky
    auto* ratio = Find<QLineEdit>(&d, "id1341");
    ratio->selectAll();
    QTest::keyClicks(ratio, "300");
    QCOMPARE(s.app->ap.me_ratio, 255);
    QCOMPARE(ratio->text(), QStringLiteral("255"));
    QTest::mouseClick(Find(&d, "id1232"), Qt::LeftButton);  // All Detect

    // Ctrl + "set": no clip list yet, an empty tick list, then two ticked clips' maps.
    QString asked;
    AnswerBox(QMessageBox::Ok, &asked);
    QTest::mouseClick(Find(&d, "id1343"), Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(asked, QStringLiteral("Area mask will be added hot pixel mask from listed clips OK?"));
    QCOMPARE(s.messages.back(), std::string("Please listup clips in DB sheet"));
    std::vector<std::string> ticked;
    d.ticked_clip_maps = [&ticked] { return ticked; };
    AnswerBox(QMessageBox::Ok, &asked);
    QTest::mouseClick(Find(&d, "id1343"), Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(s.messages.back(), std::string("Please check more than 1 clip in DB sheet"));
    QCOMPARE(CountMasked(d.work_image()), 0);
    for (auto [name, value] : {std::pair{"1M.bmp", 5}, std::pair{"2M.bmp", 3}}) {
      Image24 map;
      map.Resize(kCx, kCy);
      map.row(kCy - 1)[0] = static_cast<uint8_t>(value);  // picture pixel (0, 0)
      map.row(kCy - 1)[3] = 2;                            // (1, 0): quiet in the second
      if (value == 5) map.row(kCy - 1)[3] = 5;
      QVERIFY(orvanta::WriteBmp24(s.Path(name), map).ok());
      ticked.push_back(s.Path(name));
    }
    AnswerBox(QMessageBox::Ok, &asked);
    QTest::mouseClick(Find(&d, "id1343"), Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(CountMasked(d.work_image()), 1);
    QVERIFY(IsMasked(d.work_image(), {0, 0}));
    AnswerBox(QMessageBox::Ok, &asked);
    d.reject();
  }

  void AMaskFileThatCannotBeReadOpensTheWholePicture() {
    Station s;
    // What an earlier editing left in memory must not pass for the unreadable file.
    s.state.work_image = orvanta::WholePictureMask(kCx, kCy);
    orvanta::FillMask(s.state.work_image, orvanta::MaskColour::Mask);
    orvanta::SetField(s.app->ap.dareafname, u"DA-gone.bmp");
    int masked_at_open = -1;
    auto close_it = [&masked_at_open](DetectAreaDialog* d) {
      masked_at_open = CountMasked(d->work_image());
      d->reject();
    };
    WhenUp<DetectAreaDialog>(close_it);
    QVERIFY(!orvanta::ui::EditDetectArea(*s.app, s.state, nullptr));
    QCOMPARE(masked_at_open, 0);
    QCOMPARE(s.messages.back(), std::string("UM026: Cannot read Area Mask DA-gone.bmp "));
    QCOMPARE(s.dareafname(), std::string("DA-gone.bmp"));

    // A mask of another frame size: its message, and the whole picture in force.
    Image24 small = orvanta::WholePictureMask(64, 36);
    QVERIFY(orvanta::WriteBmp24(s.Path("DA64-36.bmp"), small).ok());
    orvanta::SetField(s.app->ap.dareafname, u"DA64-36.bmp");
    WhenUp<DetectAreaDialog>(close_it);
    QVERIFY(!orvanta::ui::EditDetectArea(*s.app, s.state, nullptr));
    QCOMPARE(masked_at_open, 0);
    QCOMPARE(s.messages.back(), std::string("UM027: Area Mask File size not matched ... ignored"));
    QCOMPARE(s.dareafname(), std::string("DA-ALL.bmp"));
  }

  void EveryControlIsNamed() {
    Station s;
    DetectAreaDialog d(*s.app, s.state);
    d.show();
    QCOMPARE(d.windowTitle(), QStringLiteral("Orvanta Detect Area Editor"));
    int controls = 0;
    for (QWidget* w : d.findChildren<QWidget*>()) {
      const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                           dynamic_cast<orvanta::ui::UpDown*>(w) ||
                           dynamic_cast<orvanta::ui::MaskImageArea*>(w);
      if (!control) continue;
      ++controls;
      const auto* button = qobject_cast<QAbstractButton*>(w);
      const QString name =
          w->accessibleName().isEmpty() && button ? button->text() : w->accessibleName();
      QVERIFY2(!name.isEmpty(), qPrintable(w->objectName()));
    }
    QVERIFY(controls >= 19);
    // The initial radio states: Mask, Line, L.
    for (const char* id : {"id1234", "id1251", "id1239"})
      QVERIFY2(Find<QPushButton>(&d, id)->isChecked(), id);
  }
};

QTEST_MAIN(DetectAreaDialogTest)
#include "detect_area_dialog_test.moc"
