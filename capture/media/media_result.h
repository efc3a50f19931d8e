// Result codes of the media service layer. The station's messages and error logs print
// them as 32-bit hexadecimal numbers, so the layer keeps the classic media-framework
// values: 0 is success, a set top bit is a failure.
#pragma once

#include <cstdint>
#include <string>

namespace orvanta::media {

using Result = int32_t;

inline constexpr Result kOk = 0;
inline constexpr Result kFalse = 1;  // success, but nothing was done
inline constexpr Result kFail = static_cast<Result>(0x80004005u);
inline constexpr Result kNoInterface = static_cast<Result>(0x80004002u);
inline constexpr Result kOutOfMemory = static_cast<Result>(0x8007000Eu);
inline constexpr Result kInvalidArg = static_cast<Result>(0x80070057u);
inline constexpr Result kFileNotFound = static_cast<Result>(0x80070002u);
inline constexpr Result kAccessDenied = static_cast<Result>(0x80070005u);
inline constexpr Result kNotConnected = static_cast<Result>(0x80040209u);
inline constexpr Result kNotFound = static_cast<Result>(0x80040216u);
inline constexpr Result kCannotConnect = static_cast<Result>(0x80040217u);
inline constexpr Result kCannotRender = static_cast<Result>(0x80040218u);
inline constexpr Result kTypeNotAccepted = static_cast<Result>(0x8004022Au);
inline constexpr Result kWrongState = static_cast<Result>(0x80040227u);
inline constexpr Result kTimeout = static_cast<Result>(0x8004022Eu);
inline constexpr Result kDiskFull = static_cast<Result>(0x80070070u);

inline bool Failed(Result r) {
  return r < 0;
}
inline bool Succeeded(Result r) {
  return r >= 0;
}

// The text of a result, or "" when the result has none (callers then print the number).
std::string ErrorText(Result result);

}  // namespace orvanta::media
