#include "capture/media/rtsp_probe.h"

#include <gst/rtsp/gstrtspconnection.h>
#include <gst/rtsp/gstrtspmessage.h>
#include <gst/rtsp/gstrtspurl.h>

namespace orvanta::media {

Result ProbeRtsp(const std::string& address, const std::string& user, const std::string& password,
                 int timeout_ms) {
  const std::string url_text = "rtsp://" + address;
  GstRTSPUrl* url = nullptr;
  if (gst_rtsp_url_parse(url_text.c_str(), &url) != GST_RTSP_OK) return kInvalidArg;
  GstRTSPConnection* conn = nullptr;
  Result result = kFail;
  const gint64 timeout = static_cast<gint64>(timeout_ms) * 1000;
  if (gst_rtsp_connection_create(url, &conn) == GST_RTSP_OK) {
    if (gst_rtsp_connection_connect_usec(conn, timeout) == GST_RTSP_OK) {
      if (!user.empty())
        gst_rtsp_connection_set_auth(conn, GST_RTSP_AUTH_BASIC, user.c_str(), password.c_str());
      GstRTSPMessage request = {};
      GstRTSPMessage response = {};
      if (gst_rtsp_message_init_request(&request, GST_RTSP_DESCRIBE, url_text.c_str()) ==
              GST_RTSP_OK &&
          gst_rtsp_message_add_header(&request, GST_RTSP_HDR_ACCEPT, "application/sdp") ==
              GST_RTSP_OK &&
          gst_rtsp_message_add_header(&request, GST_RTSP_HDR_CSEQ, "1") == GST_RTSP_OK &&
          gst_rtsp_connection_send_usec(conn, &request, timeout) == GST_RTSP_OK &&
          gst_rtsp_connection_receive_usec(conn, &response, timeout) == GST_RTSP_OK) {
        GstRTSPStatusCode code = GST_RTSP_STS_INVALID;
        gst_rtsp_message_parse_response(&response, &code, nullptr, nullptr);
        result = code == GST_RTSP_STS_OK ? kOk
                 : code == GST_RTSP_STS_UNAUTHORIZED || code == GST_RTSP_STS_FORBIDDEN
                     ? kAccessDenied
                 : code == GST_RTSP_STS_NOT_FOUND ? kFileNotFound
                                                  : kFail;
      }
      gst_rtsp_message_unset(&request);
      gst_rtsp_message_unset(&response);
    }
    gst_rtsp_connection_free(conn);
  }
  gst_rtsp_url_free(url);
  return result;
}

}  // namespace orvanta::media
