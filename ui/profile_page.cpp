#include "ui/profile_page.h"

#include <QGridLayout>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cstdio>

#include "app/text_utf.h"
#include "ui/setting_controls.h"
#include "ui/station_page_rules.h"

namespace orvanta::ui {

ProfilePage::ProfilePage(AppContext& app, QWidget* parent) : QWidget(parent), app_(app) {
  setObjectName(QStringLiteral("id137"));
  setAccessibleName(QStringLiteral("Profile"));
  struct Row {
    const char *id, *caption, *key, *format;
  };
  static constexpr Row kRows[] = {
      {"id1261", "Observer name", "AP.oname", nullptr},
      {"id1266", "Country Code (2AN)", "AP.ccode", nullptr},
      {"id1262", "Location ID (max12AN)", "IF.lid", nullptr},
      {"id1263", "Longitude(E+)", "AP.lng", "%.4f"},
      {"id1264", "Latitude(N+)", "AP.lat", "%.4f"},
      {"id1265", "Altitude(m)", "AP.alt", "%.1f"},
      {"id1370", "Gioid Height(m)", "AP.gioidh", "%.1f"},
      {"id1109", "Camera ID(max2AN)", "IF.cid", nullptr},
      {"id1267", "Camera name", "AP.cname", nullptr},
      {"id1268", "Lens name", "AP.lname", nullptr},
      {"id1269", "Capture eq. name", "AP.hname", nullptr},
      {"id1270", "Comment", "AP.comment", nullptr},
  };
  auto* grid = new QGridLayout;
  grid->setVerticalSpacing(4);
  int row = 0;
  for (const Row& r : kRows) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(r.id));
    const QString caption = QString::fromLatin1(r.caption);
    edit->setAccessibleName(caption);
    const Field field{&Key(r.key), edit, r.format};
    fields_.push_back(field);
    if (r.format) {
      edit->setAlignment(Qt::AlignRight);
      connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        // The edit keeps what was typed; the next showing of the page shows the value.
        const std::optional<double> v = SiteNumber(*field.key, text.toStdString());
        if (v && *v != field.key->Double(app_)) field.key->Double(app_) = *v;
      });
    } else {
      connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        const SiteText site = SiteTextFromTyped(*field.key, text.toStdU16String());
        SetField(field.key->Text(app_), field.key->units, site.stored);
        if (site.rewrite) field.edit->setText(QString::fromStdU16String(site.stored));
      });
    }
    // The comment is the one long text: it takes the whole width under its caption.
    if (row == 11) {
      grid->addWidget(Caption(caption, edit, this), row++, 0, 1, 2);
      grid->addWidget(edit, row++, 0, 1, 2);
    } else {
      grid->addWidget(Caption(caption, edit, this), row, 0);
      grid->addWidget(edit, row++, 1);
    }
  }
  grid->setColumnStretch(1, 1);
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(6, 6, 6, 6);
  page->addLayout(grid);
  page->addStretch(1);
  LoadControls();
}

void ProfilePage::LoadControls() {
  for (const Field& f : fields_) {
    if (f.format) {
      char text[64];
      std::snprintf(text, sizeof text, f.format, f.key->Double(app_));
      f.edit->setText(QString::fromLatin1(text));
    } else {
      f.edit->setText(QString::fromStdU16String(FieldText(f.key->Text(app_), f.key->units)));
    }
  }
}

void ProfilePage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!(resizing && resizing())) LoadControls();
}

}  // namespace orvanta::ui
