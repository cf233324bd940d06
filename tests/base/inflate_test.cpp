#include "base/inflate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Deflate(const std::string& text) {
  uLongf size = compressBound(text.size());
  std::vector<uint8_t> out(size);
  compress(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()), text.size());
  out.resize(size);
  return out;
}

const std::string kText(3000, 'x');

}  // namespace

TEST(InflateAll, TakesWholeStreamsWithinTheLimitOnly) {
  const std::vector<uint8_t> whole = Deflate(kText);
  std::vector<uint8_t> damaged = whole;
  damaged[2] ^= 0xFF;
  const std::vector<uint8_t> cut(whole.begin(), whole.end() - 6);
  const struct {
    const char* what;
    const std::vector<uint8_t>& stream;
    size_t limit;
    bool ok;
  } cases[] = {
      {"whole", whole, 100000, true},
      {"exactly the limit", whole, kText.size(), true},
      {"one over the limit", whole, kText.size() - 1, false},
      {"damaged", damaged, 100000, false},
      {"cut short", cut, 100000, false},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> out;
    EXPECT_EQ(InflateAll(c.stream.data(), c.stream.size(), c.limit, out), c.ok) << c.what;
    if (c.ok) {
      EXPECT_EQ(std::string(out.begin(), out.end()), kText) << c.what;
    }
  }
}

TEST(InflateInto, FillsWhatFitsAndKeepsWhatACutStreamGave) {
  const std::vector<uint8_t> whole = Deflate(kText);
  std::vector<uint8_t> block(1000, 0);
  EXPECT_EQ(InflateInto(whole.data(), whole.size(), block.data(), block.size()), 1000u);
  EXPECT_EQ(std::string(block.begin(), block.end()), kText.substr(0, 1000));
  // Without its 4-byte check value the stream never ends, yet every byte came out.
  std::vector<uint8_t> big(5000, 0);
  EXPECT_EQ(InflateInto(whole.data(), whole.size() - 4, big.data(), big.size()), kText.size());
}

TEST(CInflater, ReadsAStreamFedOneByteAtATime) {
  const std::vector<uint8_t> whole = Deflate(kText);
  CInflater inflater;
  ASSERT_TRUE(inflater.Ready());
  std::vector<uint8_t> out(kText.size() + 10);
  size_t filled = 0, fed = 0;
  CInflater::Result result = CInflater::Result::NeedInput;
  while (result != CInflater::Result::End && fed < whole.size()) {
    if (inflater.Hungry()) inflater.Feed(&whole[fed++], 1);
    size_t written = 0;
    result = inflater.Read(out.data() + filled, out.size() - filled, written);
    filled += written;
    ASSERT_NE(result, CInflater::Result::Damaged);
  }
  EXPECT_EQ(result, CInflater::Result::End);
  EXPECT_EQ(filled, kText.size());
  EXPECT_EQ(inflater.TotalIn(), whole.size());
}
