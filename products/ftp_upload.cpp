#include "products/ftp_upload.h"

#include <filesystem>
#include <system_error>

#include "app/text_utf.h"

namespace orvanta::ftp {
namespace {

constexpr size_t kErrorTextMax = 1023;

std::string ConnectionStatus(const std::string& text) {
  return "-FTP:" + (text.empty() ? std::string("ERROR") : text.substr(0, kErrorTextMax));
}

FtpOutcome FailureOutcome(const FtpFailure& failure) {
  switch (failure.stage) {
    case FtpStage::Session:
      return {FtpResult::NoSession, ""};
    case FtpStage::Connect:
      return {FtpResult::ConnectFailed, ConnectionStatus(failure.text)};
    case FtpStage::Directory:
      return {FtpResult::DirFailed, "-FTP:dir error"};
    case FtpStage::Transfer:
      break;
  }
  return {FtpResult::PutFailed, "-FTP:put error"};
}

// A stored number outside 1.."AP.ftp_rc" (the count was lowered, or a hand-edited file) would
// publish a name outside the set the web page shows; it restarts the rotation instead.
int CurrentNumber(AppParams& ap) {
  const int count = ap.ftp_rc < 1 ? 1 : ap.ftp_rc;
  if (ap.ftp_cn < 1 || ap.ftp_cn > count) ap.ftp_cn = 1;
  return ap.ftp_cn;
}

void AdvanceNumber(AppParams& ap) {
  ap.ftp_cn += 1;
  if (ap.ftp_cn > ap.ftp_rc) ap.ftp_cn = 1;
}

}  // namespace

bool FtpAllowed(bool ftp_on, int ftp_minmin, int m, int32_t* last_ftp_minute) {
  if (!ftp_on) {
    *last_ftp_minute = 0;
    return false;
  }
  if (ftp_minmin == 0) {
    if (m != 0) *last_ftp_minute = m;
    return true;
  }
  if (m == 0) return true;
  // Minute stamps count from New Year: one below the last means the year turned,
  // and the spacing starts again rather than holding uploads back for a year.
  if (m >= *last_ftp_minute && m - *last_ftp_minute < ftp_minmin) return false;
  *last_ftp_minute = m;
  return true;
}

std::string RemoteImageName(bool full, int trig_kind, int number, const std::string& hhmm) {
  const std::string stem = full ? "zav" : "zavs";
  if (trig_kind == kTriggerTimer) return stem + "T" + hhmm + ".jpg";
  return stem + std::to_string(number) + ".jpg";
}

FtpEndpoint EndpointFrom(const AppParams& ap) {
  FtpEndpoint endpoint;
  endpoint.server = FieldUtf8(ap.ftp_server);
  endpoint.port = ap.ftp_port;
  endpoint.user = FieldUtf8(ap.ftp_uname);
  endpoint.password = FieldUtf8(ap.ftp_pw);
  endpoint.passive = ap.ftp_passive != 0;
  return endpoint;
}

FtpOutcome FtpUploader::UploadImage(AppParams& ap, const ImageUpload& image) {
  namespace fs = std::filesystem;
  if (ftp_failed_.load() != 0) return {FtpResult::Skipped, ""};

  const bool timer = image.trig_kind == kTriggerTimer;
  const int number = timer ? 0 : CurrentNumber(ap);
  const std::string remote = RemoteImageName(image.full, image.trig_kind, number, image.hhmm);

  // The named copy in day_dir. When it cannot be made (no day directory, disk full) the
  // image itself is sent under the remote name: the upload does not depend on the copy.
  std::string send_path = image.local_path;
  bool have_copy = false;
  if (!image.day_dir.empty()) {
    const fs::path copy = fs::path(image.day_dir) / remote;
    std::error_code ec;
    if (!fs::equivalent(copy, image.local_path, ec) &&
        fs::copy_file(image.local_path, copy, fs::copy_options::overwrite_existing, ec)) {
      send_path = copy.string();
      have_copy = true;
    }
  }

  const std::string dir = FieldUtf8(ap.ftp_dir);
  if (auto failure = PutFile(EndpointFrom(ap), dir, send_path, remote, timeouts_)) {
    ftp_failed_.store(1);
    return FailureOutcome(*failure);
  }
  if (have_copy) {
    std::error_code ec;
    fs::remove(send_path, ec);
  }
  if (!timer && !(image.full && image.thumbnail_follows)) AdvanceNumber(ap);
  return {FtpResult::Done, ""};
}

FtpOutcome SendClipImages(FtpUploader& uploader, AppParams& ap, const ClipImages& clip) {
  FtpOutcome outcome;
  ImageUpload image;
  image.hhmm = clip.hhmm;
  image.trig_kind = clip.trig_kind;
  image.day_dir = clip.day_dir;
  if (!clip.full_jpeg.empty()) {
    image.local_path = clip.full_jpeg;
    image.full = true;
    image.thumbnail_follows = !clip.thumbnail_jpeg.empty();
    outcome = uploader.UploadImage(ap, image);
    if (outcome.result != FtpResult::Done) return outcome;
  }
  if (!clip.thumbnail_jpeg.empty()) {
    image.local_path = clip.thumbnail_jpeg;
    image.full = false;
    image.thumbnail_follows = false;
    outcome = uploader.UploadImage(ap, image);
  }
  return outcome;
}

FtpOutcome ClearServerImages(AppParams& ap, const FtpTimeouts& timeouts) {
  const std::optional<FtpFailure> failure =
      DeleteByPrefix(EndpointFrom(ap), FieldUtf8(ap.ftp_dir), "zav", timeouts);
  // Without a connection or the directory nothing was deleted: the rotation keeps its place.
  if (failure && failure->stage != FtpStage::Transfer) return FailureOutcome(*failure);
  ap.ftp_cn = 1;
  return {FtpResult::Done, ""};
}

}  // namespace orvanta::ftp
