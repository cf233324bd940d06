#include "presentation/text_list.h"

#include <gtest/gtest.h>

#include "shell/app_state.h"

namespace {

class TextList : public ::testing::Test {
 protected:
  void SetUp() override { SetApp(&state_); }
  void TearDown() override { SetApp(nullptr); }

  // Runs one frame and returns the ids drawn, in drawing order.
  std::vector<int32_t> Frame(float now) {
    std::vector<int32_t> drawn;
    DrawTextList(now, [&](const TextMessage& m) { drawn.push_back(m.id); });
    return drawn;
  }

  AppState state_;
};

}  // namespace

TEST_F(TextList, IdsAreNeverReused) {
  EXPECT_EQ(AddText("one", 0, 0, 1), 1);
  EXPECT_EQ(AddText("two", 0, 0, 1), 2);
  ClearAllText();
  EXPECT_FALSE(IsTextActive(1));
  EXPECT_EQ(AddText("three", 0, 0, 1), 3);
  EXPECT_TRUE(IsTextActive(3));
  EXPECT_FALSE(IsTextActive(2));
}

TEST_F(TextList, ClocksStartOnFirstDrawAndMessagesEndOnTheFrameTheirTimeIsUp) {
  const int32_t once = AddText("zero duration", 1, 2, 0);
  const int32_t five = AddText("five seconds", 1, 2, 5);
  EXPECT_FALSE(state_.textList[1].started);
  EXPECT_EQ(Frame(100), (std::vector<int32_t>{once, five}));
  EXPECT_EQ(state_.textList[0].expiryTime, 105.0f);
  EXPECT_FALSE(IsTextActive(once));
  const int32_t late = AddText("added later", 0, 0, 1);
  EXPECT_EQ(Frame(104.9f), (std::vector<int32_t>{five, late}));
  EXPECT_EQ(Frame(105), (std::vector<int32_t>{five, late}));  // its last frame
  EXPECT_FALSE(IsTextActive(five));
  EXPECT_EQ(Frame(105.5f), (std::vector<int32_t>{late}));
  EXPECT_EQ(Frame(106), (std::vector<int32_t>{late}));
  EXPECT_TRUE(state_.textList.empty());
}
