#include "station/status_service.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QString>
#include <utility>

namespace orvanta::station {

// The object on the bus. Only its scriptable slots and signals are exported, under the
// station's interface name.
class StatusService::Object : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.orvanta.Zavip")
  Q_CLASSINFO("D-Bus Introspection",
              "  <interface name=\"org.orvanta.Zavip\">\n"
              "    <method name=\"ZAV_QUERY\"/>\n"
              "    <method name=\"Status\">\n"
              "      <arg name=\"live_state\" type=\"s\" direction=\"out\"/>\n"
              "      <arg name=\"last_clip\" type=\"s\" direction=\"out\"/>\n"
              "    </method>\n"
              "    <signal name=\"ZAV_ANSER\">\n"
              "      <arg name=\"level\" type=\"i\"/>\n"
              "      <arg name=\"clip_no\" type=\"i\"/>\n"
              "    </signal>\n"
              "  </interface>\n")

 public:
  explicit Object(Reader read) : read_(std::move(read)) {}

 public slots:
  // Answered whatever the live state is; the answer is a broadcast, not a reply.
  Q_SCRIPTABLE void ZAV_QUERY() {
    const StationStatus now = read_();
    emit ZAV_ANSER(now.level, now.clip_no);
  }
  Q_SCRIPTABLE QString Status(QString& last_clip) {
    const StationStatus now = read_();
    last_clip = QString::fromStdString(now.last_clip);
    return QString::fromLatin1(LiveStateName(now.live_state));
  }

 signals:
  Q_SCRIPTABLE void ZAV_ANSER(int level, int clip_no);

 private:
  Reader read_;
};

StatusService::StatusService(Reader read, Log log) : object_(new Object(std::move(read))) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    log("Status query off: no session bus (" + bus.lastError().message().toStdString() + ")");
    return;
  }
  const QString path = QString::fromLatin1(kStatusObjectPath);
  if (!bus.registerObject(
          path, QString::fromLatin1(kStatusInterface), object_.get(),
          QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals)) {
    log("Status query off: cannot serve " + path.toStdString() + " on the session bus");
    return;
  }
  // The first station keeps the well-known name; another (from another working directory)
  // takes its own, so that neither queues for or steals the other's.
  for (const std::string& name :
       {std::string(kStatusServiceName), StatusServiceNameForPid(::getpid())}) {
    const auto reply = bus.interface()->registerService(
        QString::fromStdString(name), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
      bus_name_ = name;
      return;
    }
  }
  bus.unregisterObject(path);
  log("Status query off: cannot own " + std::string(kStatusServiceName) + " on the session bus");
}

StatusService::~StatusService() {
  if (bus_name_.empty()) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.unregisterObject(QString::fromLatin1(kStatusObjectPath));
  bus.interface()->unregisterService(QString::fromStdString(bus_name_));
}

}  // namespace orvanta::station

#include "status_service.moc"
