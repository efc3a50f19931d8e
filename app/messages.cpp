#include "app/messages.h"

#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

#include "app/app_params.h"
#include "app/journal_line.h"
#include "app/text_utf.h"

namespace orvanta {
namespace {
constexpr const char* kLogFileName = "zavip.log";

std::mutex& HandlerMutex() {
  static std::mutex m;
  return m;
}
MessageHandler& CurrentHandler() {
  static MessageHandler handler = HeadlessMessageHandler();
  return handler;
}
FatalExit& CurrentExit() {
  static FatalExit exit_fn = [](int code) {
    std::fflush(nullptr);
    std::_Exit(code);
  };
  return exit_fn;
}
std::atomic<bool> in_fatal{false};

// printf-style text cut to the message limit in UTF-16 units.
std::string Format(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n < 0) return format;
  std::vector<char> buffer(static_cast<size_t>(n) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  return CutToUnits(std::string_view(buffer.data(), static_cast<size_t>(n)), kMessageMaxUnits);
}

// Standard error: "TITLE: TEXT" on a terminal; one prioritised line per message, repeats
// folded, when the journal reads it (a service).
void WriteStderr(LogPriority priority, const char* title, const std::string& text) {
  static const bool journal = StderrIsJournal();
  if (!journal) {
    std::fprintf(stderr, "%s: %s\n", title, text.c_str());
    return;
  }
  static std::mutex mutex;
  static RepeatFilter repeats;
  std::lock_guard lock(mutex);
  for (const std::string& line : repeats.Next(JournalLine(priority, text)))
    std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

void WriteHeadless(LogPriority priority, const char* title, const std::string& text) {
  WriteStderr(priority, title, text);
  const std::string& dir = TheApp().state.startupDir;
  const std::string path = dir.empty() ? kLogFileName : dir + "/" + kLogFileName;
  if (std::FILE* log = std::fopen(path.c_str(), "a")) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::fprintf(log, "%s %s: %s\n", stamp, title, text.c_str());
    std::fclose(log);
  }
}
}  // namespace

MessageHandler HeadlessMessageHandler() {
  return MessageHandler{[](const std::string& text) {
                          WriteHeadless(LogPriority::kError, "Orvanta", text);
                          return 1;
                        },
                        [](const std::string& text) {
                          WriteHeadless(LogPriority::kCritical, "Orvanta Fatal Error", text);
                        }};
}

void LogLine(LogPriority priority, const std::string& text) {
  WriteHeadless(priority, "Orvanta", text);
}

MessageHandler SetMessageHandler(MessageHandler handler) {
  std::lock_guard lock(HandlerMutex());
  std::swap(CurrentHandler(), handler);
  return handler;
}

FatalExit SetFatalExit(FatalExit exit_fn) {
  std::lock_guard lock(HandlerMutex());
  std::swap(CurrentExit(), exit_fn);
  return exit_fn;
}

int ReportMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = Format(format, args);
  va_end(args);
  MessageHandler handler;
  {
    std::lock_guard lock(HandlerMutex());
    handler = CurrentHandler();
  }
  return handler.report ? handler.report(text) : 1;
}

void FatalError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = Format(format, args);
  va_end(args);
  MessageHandler handler;
  FatalExit exit_fn;
  {
    std::lock_guard lock(HandlerMutex());
    handler = CurrentHandler();
    exit_fn = CurrentExit();
  }
  if (handler.fatal) handler.fatal(text);
  // A fatal error inside the save below (an overfull image) must not save
  // again; it only ends the process.
  if (!in_fatal.exchange(true)) {
    struct Reset {
      ~Reset() { in_fatal = false; }
    } reset;
    if (TheApp().state.graph_error.load() != 0) SaveSettings(TheApp());
    exit_fn(kFatalExitCode);
  } else {
    exit_fn(kFatalExitCode);
  }
  std::abort();
}

}  // namespace orvanta
