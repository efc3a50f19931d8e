// zavip-tool: the station's pure cores from the command line.
#include <cstdio>
#include <exception>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {
std::map<std::string, ToolCommand>& Commands() {
  static std::map<std::string, ToolCommand> commands;
  return commands;
}

int Usage() {
  std::fprintf(stderr, "usage: zavip-tool COMMAND ...\n");
  for (const auto& [name, command] : Commands()) std::fprintf(stderr, "  %s\n", command.usage);
  return 1;
}
}  // namespace

void RegisterCommand(const ToolCommand& command) { Commands()[command.name] = command; }

int Fail(const std::string& message) {
  std::fprintf(stderr, "zavip-tool: %s\n", message.c_str());
  return 1;
}

}  // namespace orvanta::tool

int main(int argc, char** argv) {
  using namespace orvanta::tool;
  if (argc < 2) return Usage();
  auto it = Commands().find(argv[1]);
  if (it == Commands().end()) return Usage();
  std::vector<std::string> args(argv + 2, argv + argc);
  // A command that runs out of memory says so and fails; it never aborts with a core.
  try {
    return it->second.run(args);
  } catch (const std::bad_alloc&) {
    return Fail("out of memory");
  } catch (const std::exception& e) {
    return Fail(std::string("stopped: ") + e.what());
  }
}
