// zavip-tool status: asks a running station on the session bus for its level, clip
// counter, live state and last clip. Exit status 3 when no station answers.
#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "station/station_status.h"
#include "station/status_client.h"
#include "tools/tool_args.h"
#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {

constexpr int kNoStation = 3;
constexpr int kTimeoutMs = 3000;

int RunStatus(const std::vector<std::string>& args) {
  std::string service = station::kStatusServiceName;
  const std::string bad_option = ReadOptions(
      args, {}, [&](const std::string& option, const std::string& value) -> std::string {
        if (option != "--pid") return UnknownOption(option);
        long long pid = 0;
        if (!ParseInt(value, pid) || pid <= 0) return "--pid: not a process id: " + value;
        service = station::StatusServiceNameForPid(static_cast<long>(pid));
        return {};
      });
  if (!bad_option.empty()) return Fail(bad_option);

  int argc = 1;
  char name[] = "zavip-tool";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  station::StationStatus status;
  std::string error;
  if (station::QueryStationStatus(service, kTimeoutMs, status, error) !=
      station::StatusQuery::kAnswered) {
    std::fprintf(stderr, "zavip-tool: status: %s\n", error.c_str());
    return kNoStation;
  }
  std::fputs(station::FormatStatus(status).c_str(), stdout);
  return 0;
}

const CommandRegistrar registrar({"status", "status [--pid PID]", RunStatus});

}  // namespace
}  // namespace orvanta::tool
