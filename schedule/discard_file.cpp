// DiscardFile lives apart from the other housekeeping: the trash follows
// the freedesktop.org rules, which Qt already implements.
#include <unistd.h>

#include <QFile>
#include <QString>

#include "app/messages.h"
#include "schedule/housekeeping.h"

namespace orvanta::schedule {

void DiscardFile(const std::string& path, bool nottrash) {
  if (nottrash) {
    ::unlink(path.c_str());
    return;
  }
  if (!QFile::moveToTrash(QString::fromStdString(path))) ReportMessage("UM024: Cannot Delete clip");
}

}  // namespace orvanta::schedule
