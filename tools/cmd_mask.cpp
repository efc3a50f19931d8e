// zavip-tool mask: the detect-area editor's automatic masks without a window, for stations
// that run headless. "auto" masks the dark parts of a still of the station's picture,
// "hot" the pixels that were hot in every detection map given. The file written is an
// area-mask file the station loads by its name ("AP.dareafname").
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/file_owner.h"
#include "app/settings_ranges.h"
#include "products/area_mask.h"
#include "products/auto_mask.h"
#include "products/bmp_file.h"
#include "products/jpeg_file.h"
#include "tools/tool_args.h"
#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {

constexpr const char* kUsage =
    "mask auto --image STILL.bmp|STILL.jpg --lev N --ratio N [--brush S|M|L|LL] --out "
    "MASK.bmp\n  mask hot --maps M1.bmp M2.bmp ... [--base MASK.bmp] --out MASK.bmp";

int Usage(const std::string& why) {
  return Fail(why + "\nusage: zavip-tool " + kUsage);
}

// A BMP or a JPEG, told apart by their first bytes rather than by the name.
Result<Image24> ReadStill(const std::string& path) {
  UniqueFile file = OpenFile(path, "rb");
  if (!file) return Error{"cannot read " + path};
  unsigned char magic[2] = {};
  const size_t got = std::fread(magic, 1, 2, file.get());
  file.reset();
  if (got == 2 && magic[0] == 'B' && magic[1] == 'M') return ReadBmp24(path);
  if (got == 2 && magic[0] == 0xFF && magic[1] == 0xD8) return ReadJpeg(path);
  return Error{path + " is neither a BMP nor a JPEG image"};
}

// The station takes masks of its frame size only; anything else cannot be one.
std::string FrameSizeProblem(const std::string& path, const Image24& image) {
  if (FrameSizeTaken(image.width, image.height)) return "";
  return path + ": " + FrameSizeRefusal(image.width, image.height);
}

bool ReadLevel(const char* key, const std::string& option, const std::string& text, int& into,
               std::string& error) {
  const SettingsKey* setting = FindSettingsKey(key);
  long long v = 0;
  if (!ParseInt(text, v) || !setting || !InRange(*setting, static_cast<double>(v))) {
    error =
        option + ": a whole number from " + (setting ? RangeText(*setting) : "") + ", not " + text;
    return false;
  }
  into = static_cast<int>(v);
  return true;
}

int CountMasked(const Image24& mask) {
  int n = 0;
  for (size_t i = 0; i + 2 < mask.bgr.size(); i += 3) n += IsExcludedPixel(mask.bgr.data() + i);
  return n;
}

int WriteMask(const std::string& out, const Image24& mask) {
  const std::filesystem::path path(out);
  const std::string dir = path.has_parent_path() ? path.parent_path().string() : ".";
  if (Status s = SaveAreaMask(dir, path.filename().string(), mask); !s)
    return Fail(s.message().empty() || s.message() == kSaveImageFailed ? "cannot write " + out
                                                                       : s.message());
  std::printf("mask %s %dx%d masked=%d of %d\n", out.c_str(), mask.width, mask.height,
              CountMasked(mask), mask.width * mask.height);
  return 0;
}

int RunAuto(const std::vector<std::string>& args) {
  std::string image_path, out;
  AutoMaskParams params;
  bool have_lev = false, have_ratio = false;
  const std::string bad = ReadOptions(
      args, {}, [&](const std::string& option, const std::string& value) -> std::string {
        std::string error;
        if (option == "--image") {
          image_path = value;
        } else if (option == "--out") {
          out = value;
        } else if (option == "--lev") {
          have_lev = ReadLevel("AP.me_lev", option, value, params.lev, error);
        } else if (option == "--ratio") {
          have_ratio = ReadLevel("AP.me_ratio", option, value, params.ratio, error);
        } else if (option == "--brush") {
          const char* names[] = {"S", "M", "L", "LL"};
          const MaskBrush brushes[] = {MaskBrush::S, MaskBrush::M, MaskBrush::L, MaskBrush::LL};
          error = "--brush: S, M, L or LL, not " + value;
          for (int i = 0; i < 4; ++i)
            if (value == names[i]) params.brush = brushes[i], error.clear();
        } else {
          error = UnknownOption(option);
        }
        return error;
      });
  if (!bad.empty()) return Usage(bad);
  if (image_path.empty() || out.empty() || !have_lev || !have_ratio)
    return Usage("mask auto needs --image, --lev, --ratio and --out");
  auto still = ReadStill(image_path);
  if (!still) return Fail(still.message());
  if (std::string problem = FrameSizeProblem(image_path, *still); !problem.empty())
    return Fail(problem);
  return WriteMask(out, AutoSetMask(*still, params));
}

int RunHot(std::vector<std::string> args) {
  // "--maps A B C" takes every argument up to the next option.
  std::vector<std::string> maps;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--maps") continue;
    size_t j = i + 1;
    while (j < args.size() && args[j].rfind("--", 0) != 0) maps.push_back(args[j++]);
    args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(j));
    --i;
  }
  std::string base_path, out;
  const std::string bad =
      ReadOptions(args, {}, [&](const std::string& option, const std::string& value) {
        std::string* into = option == "--base" ? &base_path : option == "--out" ? &out : nullptr;
        if (!into) return UnknownOption(option);
        *into = value;
        return std::string();
      });
  if (!bad.empty()) return Usage(bad);
  if (maps.empty() || out.empty()) return Usage("mask hot needs --maps and --out");

  Image24 mask;
  if (!base_path.empty()) {
    auto base = ReadBmp24(base_path);
    if (!base) return Fail("cannot read the base mask: " + base.message());
    mask = std::move(*base);
  } else {
    auto first = BmpReader::Open(maps.front());
    if (!first) return Fail("cannot read the map: " + first.message());
    mask = WholePictureMask(first->header().width, first->header().height);
  }
  if (std::string problem = FrameSizeProblem(base_path.empty() ? maps.front() : base_path, mask);
      !problem.empty())
    return Fail(problem);
  const HotPixelOutcome outcome = HotPixelMask(maps, mask);
  if (!outcome.skipped.empty()) {
    std::string list;
    for (const std::string& path : outcome.skipped) list += "\n  " + path;
    return Fail("cannot read these detection maps (24-bit BMP):" + list);
  }
  if (!outcome.message.empty())
    return Fail("the maps and the mask differ in size (" + std::to_string(mask.width) + "x" +
                std::to_string(mask.height) + "): " + outcome.message);
  return WriteMask(out, mask);
}

int RunMask(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("mask needs auto or hot");
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "auto") return RunAuto(rest);
  if (args[0] == "hot") return RunHot(rest);
  return Usage("mask: auto or hot, not " + args[0]);
}

const CommandRegistrar kMask({"mask", kUsage, RunMask});

}  // namespace
}  // namespace orvanta::tool
