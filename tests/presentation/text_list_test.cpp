#include "presentation/text_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "base/log.h"
#include "tests/support/temp_dir.h"

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

TEST_F(TextList, AFullListRefusesMoreAndUnendingMessagesCanBeCleared) {
  TempDir dir;
  OpenLog(dir.file("log.txt"));
  for (int i = 0; i < 300; ++i) captions_.Add("x", 0, 0, 1);
  EXPECT_EQ(captions_.Messages().size(), CTextList::MAX_MESSAGES);
  EXPECT_EQ(captions_.Add("one more", 0, 0, 1), 0);
  const std::string log = ReadWholeFile(dir.file("log.txt"));
  CloseLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;  // the log's own first line, then one
  EXPECT_NE(log.find("Too many captions"), std::string::npos);

  captions_.Clear();
  const int32_t forever = captions_.Add("forever", 0, 0, std::numeric_limits<float>::infinity());
  const int32_t five = captions_.Add("five seconds", 0, 0, 5);
  const int32_t nan = captions_.Add("not a number", 0, 0, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(Frame(10), (std::vector<int32_t>{forever, five, nan}));
  EXPECT_EQ(Frame(11), (std::vector<int32_t>{forever, five}));
  captions_.ClearUnending();
  EXPECT_EQ(Frame(12), (std::vector<int32_t>{five}));
}
