// Clips written by the station itself for the replay tests: a simulated sky with meteors run
// through `zavip-tool detect` three ways (raw YUY2, an NV12 camera recorded as YUY2, and
// through the H.264 compressor), and the frames of a clip decoded on their own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orvanta::replay::testing {

struct StationClips {
  std::filesystem::path dir;
  std::string raw_yuy2, nv12_as_yuy2, h264;  // empty when it could not be made
  std::string error;
};
// Makes the clips under `dir` (once per test program).
StationClips MakeStationClips(const std::filesystem::path& dir);

// Runs the tool with `args` in `dir`; its exit status, its output in `out`.
int RunTool(const std::filesystem::path& dir, const std::vector<std::string>& args,
            std::string* out = nullptr);

// Every frame of the clip, decoded and converted to top-down BGR rows of width x 3 bytes; with
// `through_nv12` decoded to NV12 and converted by the station's own YUV equations, as the
// replay filter converts NV12 frames.
struct Frames {
  int width = 0, height = 0;
  std::vector<std::vector<uint8_t>> frames;
};
Frames DecodeAll(const std::string& clip, bool through_nv12 = false);

// The frame of `frames` nearest to `picture` (top-down BGR), by mean absolute difference;
// -1 when no frame is clearly nearest.
int NearestFrame(const Frames& frames, const std::vector<uint8_t>& picture);
// Mean absolute difference of two pictures of the same size.
double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
// A bottom-up snapshot buffer as a top-down picture.
std::vector<uint8_t> Upright(const uint8_t* snapshot, int width, int height);

}  // namespace orvanta::replay::testing
