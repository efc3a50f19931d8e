// The two error-report routines every part of the program uses. Headless
// runs send the text to stderr and to a log file in the start-up directory;
// the GUI replaces the handler to show message boxes.
#pragma once

#include <functional>
#include <string>

#include "app/journal_line.h"

namespace orvanta {

inline constexpr int kFatalExitCode = -9;
inline constexpr size_t kMessageMaxUnits = 1023;

struct MessageHandler {
  // Shows a recoverable error or notice; returns the pressed button (1 = OK).
  std::function<int(const std::string& text)> report;
  // Shows a fatal error. FatalError then saves and ends the process itself.
  std::function<void(const std::string& text)> fatal;
};

// Replaces the handler; returns the previous one.
MessageHandler SetMessageHandler(MessageHandler handler);
// The headless handler: stderr plus the log file.
MessageHandler HeadlessMessageHandler();

// A line for the log alone (standard error and the log file), shown in no window: what the
// station tells about its own running.
void LogLine(LogPriority priority, const std::string& text);

// printf-style; the text is cut to kMessageMaxUnits characters.
int ReportMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Shows the text, saves the settings when a graph error is pending, and ends
// the process with exit code -9.
[[noreturn]] void FatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Ending the process after a fatal error; tests and the fuzzer replace it with
// one that throws, so a fatal path can be checked without dying.
using FatalExit = std::function<void(int code)>;
FatalExit SetFatalExit(FatalExit exit_fn);

}  // namespace orvanta
