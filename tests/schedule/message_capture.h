// Collects what ReportMessage shows, for the length of one test step.
#pragma once

#include <string>
#include <vector>

#include "app/messages.h"

namespace orvanta::schedule::testing {

class MessageCapture {
 public:
  MessageCapture() {
    previous_ = SetMessageHandler({[this](const std::string& text) {
                                     messages.push_back(text);
                                     return 1;
                                   },
                                   nullptr});
  }
  ~MessageCapture() { SetMessageHandler(previous_); }
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;
  std::vector<std::string> messages;

 private:
  MessageHandler previous_;
};

}  // namespace orvanta::schedule::testing
