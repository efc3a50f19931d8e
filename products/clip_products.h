// The products of a finished clip: its images (detection map, snapshot or peak hold as BMP
// and JPEG, thumbnail), their FTP upload and, for a complete clip, its XML record. Made
// from the clip's own copy of the block; what is to be reported comes back to the caller,
// which keeps the messages, the status line and the action command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/app_params.h"
#include "detectfilter/zavipf.h"
#include "products/image24.h"

namespace orvanta {

namespace ftp {
class FtpUploader;
}

struct ClipProductsRequest {
  DetectionBlock& clip;  // the finished clip's copy; its snapshot is used up
  AppParams& ap;         // FTP advances its rotating number
  ftp::FtpUploader& uploader;
  Image24& image;            // work picture the images are composed in
  int32_t& last_ftp_minute;  // the FTP spacing between clips
  std::string final_path;    // the clip's video path
  int minute_stamp = 0;      // of the clip name
  std::string hhmm;          // of the clip name
  std::string day_dir;       // the current clips' directory
  int32_t tz_bias = 0;
};

struct ClipProductsOutcome {
  std::vector<std::string> messages;  // to report, in order
  std::string ftp_status_suffix;      // the status line's FTP text; empty: keep it
  std::vector<std::string> files;     // written, in order
  bool images_made = false;           // the image step ran (the clip list shows the clip)
  // A complete clip: its record is written, the action command is due, and the clip is
  // known by `clip_path` (its video, or its record when no video is kept).
  bool finished = false;
  std::string clip_path;
};

// Nothing is made for a clip that did not end (kClipNone); the caller only asks for one
// that did.
ClipProductsOutcome MakeClipProducts(const ClipProductsRequest& request);

}  // namespace orvanta
