#include "tools/skysim/sky_truth.h"

#include <gtest/gtest.h>

namespace orvanta::skysim {
namespace {

TEST(SkyTruth, JsonHoldsEveryFieldInItsPlace) {
  SkyTruth truth;
  truth.width = 640;
  truth.height = 360;
  truth.fps = 29.97;
  truth.frames = 900;
  truth.events.push_back(
      {EventKind::Meteor, 310, 311, {{10.5, 20.25}, {30.126, 40.0}}, 88.25, 19.9});
  truth.events.push_back({EventKind::Repeat, 400, 400, {}, 0.0, 0.0});
  EXPECT_EQ(TruthToJson(truth),
            "{\"width\": 640, \"height\": 360, \"fps\": 29.97, \"frames\": 900, \"events\": [\n"
            "  {\"kind\": \"meteor\", \"first_frame\": 310, \"last_frame\": 311, "
            "\"path\": [[10.50, 20.25], [30.13, 40.00]], \"peak\": 88.2, \"speed\": 19.90},\n"
            "  {\"kind\": \"repeat\", \"first_frame\": 400, \"last_frame\": 400, \"path\": [], "
            "\"peak\": 0.0, \"speed\": 0.00}\n"
            "]}\n");
  truth.events.clear();
  EXPECT_EQ(TruthToJson(truth),
            "{\"width\": 640, \"height\": 360, \"fps\": 29.97, \"frames\": 900, \"events\": []}\n");
}

}  // namespace
}  // namespace orvanta::skysim
