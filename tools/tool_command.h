// Sub-commands of zavip-tool register themselves, one file each, so that a
// new command never touches the dispatcher.
#pragma once

#include <string>
#include <vector>

namespace orvanta::tool {

struct ToolCommand {
  const char* name;   // first word after "zavip-tool"
  const char* usage;  // one line shown by "zavip-tool" without arguments
  // args excludes the program name and the command word; returns the exit status.
  int (*run)(const std::vector<std::string>& args);
};

void RegisterCommand(const ToolCommand& command);

struct CommandRegistrar {
  explicit CommandRegistrar(const ToolCommand& command) { RegisterCommand(command); }
};

// Prints "zavip-tool: MESSAGE" on stderr and returns the usage/file error status 1.
int Fail(const std::string& message);

}  // namespace orvanta::tool
