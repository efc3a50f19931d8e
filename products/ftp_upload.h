// Publishing a clip's JPEG images on the user's FTP server under a few rotating names, so that
// a web page can always show the last events under fixed names, and the "Clear" action that
// removes those files again.
//
// The caller owns the live status line: every operation returns the text to show after it
// (`status_suffix`), and an empty text means "leave the status as it is".
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "app/app_params.h"
#include "app/clip_kinds.h"
#include "products/ftp_client.h"

namespace orvanta::ftp {

enum class FtpResult {
  Done,           // sent (or, for "Clear", the server directory was cleared)
  Skipped,        // an earlier failure silenced the uploader until detection starts again
  NoSession,      // the FTP client could not be started
  ConnectFailed,  // server not found, connection refused, log-in failed, no answer
  DirFailed,      // the server directory could not be entered
  PutFailed,      // the file could not be stored
};

struct FtpOutcome {
  FtpResult result = FtpResult::Done;
  std::string status_suffix;  // "-FTP:..." on failure; empty: keep the current status
};

// The name an image gets on the server: "zav%d.jpg" / "zavs%d.jpg" with the rotating number,
// or for timer clips "zavT%s.jpg" / "zavsT%s.jpg" with the clip's four hour-minute digits.
std::string RemoteImageName(bool full, int trig_kind, int number, const std::string& hhmm);

// Whether a clip at minute stamp `m` may send its images, updating `last_ftp_minute`.
bool FtpAllowed(bool ftp_on, int ftp_minmin, int m, int32_t* last_ftp_minute);

// The FTP account of the parameters, as the client library wants it.
FtpEndpoint EndpointFrom(const AppParams& ap);

// One image of a clip.
struct ImageUpload {
  std::string local_path;  // the JPEG written for the clip
  bool full = true;        // true: the S or P image; false: the thumbnail
  std::string hhmm;        // the clip's hour-minute digits (from its clip name)
  int trig_kind = kTriggerVideo;
  // A thumbnail upload follows this full-size image for the same clip, so both share one
  // rotating number: the number advances after the thumbnail instead.
  bool thumbnail_follows = false;
  std::string day_dir;  // directory of the current clips; the named copy is made there
};

// The live thread's uploader. It goes silent after the first failure (`ftp_failed`) so that a
// broken server does not slow every following clip; starting detection clears that.
class FtpUploader {
 public:
  explicit FtpUploader(FtpTimeouts timeouts = {}) : timeouts_(timeouts) {}

  // Sends one image and advances "AP.ftp_cn" as the rotation demands. The image is first
  // copied to day_dir under its remote name; the copy is removed after a successful transfer
  // and left in place after a failed one.
  FtpOutcome UploadImage(AppParams& ap, const ImageUpload& image);

  // Detection was started (the live page's Detect action): uploads resume.
  void DetectionStarted() { ftp_failed_.store(0); }
  int ftp_failed() const { return ftp_failed_.load(); }

 private:
  FtpTimeouts timeouts_;
  std::atomic<int> ftp_failed_{0};  // set on the live thread, cleared from the live page
};

// A finished clip's images for the end-of-clip sequence. Pass a path exactly when the clip
// sends that image (FTP permitted for the clip, and "AP.ftp_jpg" for the S/P JPEG,
// "AP.ftp_small" for the thumbnail); an empty path sends nothing.
struct ClipImages {
  std::string full_jpeg;       // base + "S.jpg" or "P.jpg"
  std::string thumbnail_jpeg;  // base + "T.jpg"
  std::string hhmm;
  int trig_kind = kTriggerVideo;
  std::string day_dir;
};

// Sends the clip's full-size image, then its thumbnail, under one rotating number. Returns the
// first failure (later images are then skipped), else the last result.
FtpOutcome SendClipImages(FtpUploader& uploader, AppParams& ap, const ClipImages& clip);

// The "Clear" action: deletes every file whose name begins with "zav" in the server directory
// and restarts the rotating number at 1. When the directory cannot be entered nothing is
// deleted ("-FTP:dir error"). Independent of the uploader's silence.
FtpOutcome ClearServerImages(AppParams& ap, const FtpTimeouts& timeouts = {});

}  // namespace orvanta::ftp
