#include "station/status_client.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <optional>

namespace orvanta::station {
namespace {

// Catches the station's broadcast answer.
class AnswerCatcher : public QObject {
  Q_OBJECT

 public:
  std::optional<std::pair<int, int>> answer;
  QEventLoop loop;

 public slots:
  void OnAnswer(int level, int clip_no) {
    if (!answer) answer.emplace(level, clip_no);
    loop.quit();
  }
};

QDBusMessage Call(QDBusConnection& bus, const QString& service, const char* method,
                  int timeout_ms) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      service, QString::fromLatin1(kStatusObjectPath), QString::fromLatin1(kStatusInterface),
      QString::fromLatin1(method));
  return bus.call(call, QDBus::Block, timeout_ms);
}

}  // namespace

StatusQuery QueryStationStatus(const std::string& service_name, int timeout_ms,
                               StationStatus& status, std::string& error) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    error = "no session bus: " + bus.lastError().message().toStdString();
    return StatusQuery::kNoBus;
  }
  const QString service = QString::fromStdString(service_name);
  if (!bus.interface()->isServiceRegistered(service).value()) {
    error = "no station runs (nobody owns " + service_name + " on the session bus)";
    return StatusQuery::kNoStation;
  }
  AnswerCatcher catcher;
  bus.connect(service, QString::fromLatin1(kStatusObjectPath),
              QString::fromLatin1(kStatusInterface), QStringLiteral("ZAV_ANSER"), &catcher,
              SLOT(OnAnswer(int, int)));
  const QDBusMessage query = Call(bus, service, "ZAV_QUERY", timeout_ms);
  if (query.type() == QDBusMessage::ErrorMessage) {
    error = "ZAV_QUERY failed: " + query.errorMessage().toStdString();
    return StatusQuery::kNoAnswer;
  }
  if (!catcher.answer) {
    QTimer::singleShot(timeout_ms, &catcher.loop, &QEventLoop::quit);
    catcher.loop.exec();
  }
  bus.disconnect(service, QString::fromLatin1(kStatusObjectPath),
                 QString::fromLatin1(kStatusInterface), QStringLiteral("ZAV_ANSER"), &catcher,
                 SLOT(OnAnswer(int, int)));
  if (!catcher.answer) {
    error = "no ZAV_ANSER from " + service_name;
    return StatusQuery::kNoAnswer;
  }
  status.level = catcher.answer->first;
  status.clip_no = catcher.answer->second;

  const QDBusMessage rest = Call(bus, service, "Status", timeout_ms);
  const QList<QVariant> values = rest.arguments();
  if (rest.type() != QDBusMessage::ReplyMessage || values.size() != 2) {
    error = "Status failed: " + rest.errorMessage().toStdString();
    return StatusQuery::kNoAnswer;
  }
  status.live_state = LiveStateFromName(values[0].toString().toStdString());
  status.last_clip = values[1].toString().toStdString();
  return StatusQuery::kAnswered;
}

}  // namespace orvanta::station

#include "status_client.moc"
