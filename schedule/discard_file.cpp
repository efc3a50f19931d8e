// DiscardFile lives apart from the other housekeeping: the trash follows
// the freedesktop.org rules, which Qt already implements.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>

#include "app/messages.h"
#include "schedule/housekeeping.h"

namespace orvanta::schedule {

void DiscardFile(const std::string& path, bool nottrash) {
  if (nottrash) {
    ::unlink(path.c_str());
    return;
  }
  // The trash is set up only inside a data directory that exists: without one the clip
  // would be filed in "files" under the working directory instead.
  QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
  if (!QFile::moveToTrash(QString::fromStdString(path))) ReportMessage("UM024: Cannot Delete clip");
}

}  // namespace orvanta::schedule
