// zavip-tool scramble / unscramble: the account value coding of settings files.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/scramble.h"
#include "app/text_utf.h"
#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {

int Scramble(const std::vector<std::string>& args) {
  if (args.size() != 2) return Fail("usage: zavip-tool scramble KEYSTRING TEXT");
  std::printf("%s\n", ScrambleText(Utf8ToUtf16(args[0]), Utf8ToUtf16(args[1])).c_str());
  return 0;
}

int Unscramble(const std::vector<std::string>& args) {
  if (args.size() != 2) return Fail("usage: zavip-tool unscramble KEYSTRING SYMBOLS");
  const size_t capacity = std::max<size_t>(2048, args[1].size() + 2);
  const std::string bytes = UnscrambleText(Utf8ToUtf16(args[0]), args[1], capacity);
  std::printf("%s\n", Utf16ToUtf8(UnscrambledToText(bytes)).c_str());
  return 0;
}

const CommandRegistrar scramble({"scramble", "scramble KEYSTRING TEXT", Scramble});
const CommandRegistrar unscramble({"unscramble", "unscramble KEYSTRING SYMBOLS", Unscramble});

}  // namespace
}  // namespace orvanta::tool
