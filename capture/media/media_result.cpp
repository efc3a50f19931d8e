#include "capture/media/media_result.h"

namespace orvanta::media {

std::string ErrorText(Result result) {
  switch (result) {
    case kFail:
      return "Unspecified error";
    case kNoInterface:
      return "No such interface supported";
    case kOutOfMemory:
      return "Not enough storage is available to complete this operation";
    case kInvalidArg:
      return "The parameter is incorrect";
    case kFileNotFound:
      return "The system cannot find the file specified";
    case kAccessDenied:
      return "Access is denied";
    case kNotConnected:
      return "The operation cannot be performed because the pins are not connected";
    case kNotFound:
      return "An object or name was not found";
    case kCannotConnect:
      return "No combination of intermediate filters could be found to make the connection";
    case kCannotRender:
      return "No combination of filters could be found to render the stream";
    case kTypeNotAccepted:
      return "This media type is not accepted";
    case kWrongState:
      return "The operation could not be performed because the filter is in the wrong state";
    case kTimeout:
      return "The operation timed out";
    case kDiskFull:
      return "There is not enough space on the disk";
    default:
      return "";
  }
}

}  // namespace orvanta::media
