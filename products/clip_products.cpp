#include "products/clip_products.h"

#include <cstdio>

#include "app/clip_kinds.h"
#include "products/bmp_file.h"
#include "products/clip_record.h"
#include "products/compose_image.h"
#include "products/ftp_upload.h"
#include "products/jpeg_file.h"
#include "products/thumbnail.h"

namespace orvanta {
namespace {

// The images of a clip that is kept (complete, or cut at the length limit when long clips
// are kept), and their upload.
void MakeClipImages(const ClipProductsRequest& request, ClipProductsOutcome& outcome) {
  DetectionBlock& cb = request.clip;
  AppParams& ap = request.ap;
  const int m = cb.trig_kind == kTriggerTimer ? 0 : request.minute_stamp;
  const bool ftp_ok = ftp::FtpAllowed(ap.ftp_on != 0, ap.ftp_minmin, m, &request.last_ftp_minute);
  const std::string& final_path = request.final_path;
  const std::string base = final_path.substr(0, final_path.size() - 4);
  Image24& image = request.image;
  image.Resize(cb.cx, cb.cy);
  ftp::ClipImages send;
  send.hhmm = request.hhmm;
  send.trig_kind = cb.trig_kind;
  send.day_dir = request.day_dir;
  // A short write is the user's to know about; a file that cannot be made stays silent.
  auto write_bmp = [&outcome](const std::string& path, const Image24& picture) {
    Status written = WriteBmp24(path, picture);
    if (written.ok()) {
      outcome.files.push_back(path);
    } else if (!written.message().empty()) {
      outcome.messages.push_back(written.message());
    }
  };
  if (cb.im_map) {
    ComposeMapImage(cb, image);
    write_bmp(base + "M.bmp", image);
  }
  if (cb.im_snap || cb.im_peak) {
    ComposeSnapshotImage(cb, image);
    cb.snap_valid = 0;
    const std::string bmp = base + (cb.im_snap ? "S.bmp" : "P.bmp");
    if (ap.jpg) {
      const std::string jpeg = bmp.substr(0, bmp.size() - 3) + "jpg";
      write_bmp(bmp, image);
      if (ConvertBmpToJpeg(bmp, jpeg).ok()) outcome.files.push_back(jpeg);
      if (!ap.bmp) {
        std::remove(bmp.c_str());
        std::erase(outcome.files, bmp);
      }
      if (ftp_ok && ap.ftp_jpg) send.full_jpeg = jpeg;
    } else if (ap.bmp) {
      write_bmp(bmp, image);
    }
    if (ap.thumbnail) {
      ThumbnailOptions options;
      options.width = ap.sj_cx;
      options.height = ap.sj_cy;
      options.mark_hits = cb.im_map && ap.tmark;
      options.draw_box = ap.tmark != 0;
      if (MakeThumbnail(base + "T.jpg", image, cb.hit_map, options).ok())
        outcome.files.push_back(base + "T.jpg");
      if (ftp_ok && ap.ftp_small) send.thumbnail_jpeg = base + "T.jpg";
    }
  }
  if (!send.full_jpeg.empty() || !send.thumbnail_jpeg.empty())
    outcome.ftp_status_suffix = ftp::SendClipImages(request.uploader, ap, send).status_suffix;
  outcome.images_made = true;
}

}  // namespace

ClipProductsOutcome MakeClipProducts(const ClipProductsRequest& request) {
  ClipProductsOutcome outcome;
  const DetectionBlock& cb = request.clip;
  const int end_status = cb.end_status;
  if (end_status == kClipNone) return outcome;
  if ((request.ap.leavelong || end_status == kClipFinished) && end_status != kClipSlowObjectVeto)
    MakeClipImages(request, outcome);
  if (end_status == kClipFinished) {
    const std::string xml = ClipProductPath(request.final_path, ".xml");
    ClipRecordOutcome record = WriteClipRecord(
        xml, request.final_path, ClipRecordInputsFrom(cb, request.ap, request.tz_bias));
    if (record.written) outcome.files.push_back(xml);
    if (!record.message.empty()) outcome.messages.push_back(record.message);
    const bool keep_video = !(cb.trig_kind == kTriggerTimer && request.ap.tt_sonly);
    outcome.finished = true;
    outcome.clip_path = keep_video ? request.final_path : xml;
  }
  return outcome;
}

}  // namespace orvanta
