#include "presentation/text_list.h"

#include <gtest/gtest.h>

namespace {

class TextList : public ::testing::Test {
 protected:
  // Runs one frame and returns the ids drawn, in drawing order.
  std::vector<int32_t> Frame(float now) {
    std::vector<int32_t> drawn;
    captions_.Draw(now, [&](const TextMessage& m) { drawn.push_back(m.id); });
    return drawn;
  }

  CTextList captions_;
};

}  // namespace

TEST_F(TextList, IdsAreNeverReused) {
  EXPECT_EQ(captions_.Add("one", 0, 0, 1), 1);
  EXPECT_EQ(captions_.Add("two", 0, 0, 1), 2);
  captions_.Clear();
  EXPECT_FALSE(captions_.IsActive(1));
  EXPECT_EQ(captions_.Add("three", 0, 0, 1), 3);
  EXPECT_TRUE(captions_.IsActive(3));
  EXPECT_FALSE(captions_.IsActive(2));
}

TEST_F(TextList, ClocksStartOnFirstDrawAndMessagesEndOnTheFrameTheirTimeIsUp) {
  const int32_t once = captions_.Add("zero duration", 1, 2, 0);
  const int32_t five = captions_.Add("five seconds", 1, 2, 5);
  EXPECT_FALSE(captions_.Messages()[1].started);
  EXPECT_EQ(Frame(100), (std::vector<int32_t>{once, five}));
  EXPECT_EQ(captions_.Messages()[0].expiryTime, 105.0f);
  EXPECT_FALSE(captions_.IsActive(once));
  const int32_t late = captions_.Add("added later", 0, 0, 1);
  EXPECT_EQ(Frame(104.9f), (std::vector<int32_t>{five, late}));
  EXPECT_EQ(Frame(105), (std::vector<int32_t>{five, late}));  // its last frame
  EXPECT_FALSE(captions_.IsActive(five));
  EXPECT_EQ(Frame(105.5f), (std::vector<int32_t>{late}));
  EXPECT_EQ(Frame(106), (std::vector<int32_t>{late}));
  EXPECT_TRUE(captions_.Messages().empty());
}
