// zlib's inflate, wrapped once. Lengths beyond zlib's 32-bit counters are fed and read in parts.
#include "base/inflate.h"

#include <algorithm>
#include <limits>

namespace {

constexpr size_t kLargestPart = std::numeric_limits<uInt>::max();

}  // namespace

CInflater::CInflater() { ready_ = inflateInit(&stream_) == Z_OK; }

CInflater::~CInflater() {
  if (ready_) inflateEnd(&stream_);
}

void CInflater::Feed(const uint8_t* in, size_t length) {
  stream_.next_in = const_cast<Bytef*>(in);
  stream_.avail_in = static_cast<uInt>(std::min(length, kLargestPart));
}

CInflater::Result CInflater::Read(uint8_t* out, size_t count, size_t& written) {
  written = 0;
  if (!ready_) return Result::Damaged;
  stream_.next_out = out;
  stream_.avail_out = static_cast<uInt>(std::min(count, kLargestPart));
  const uInt wanted = stream_.avail_out;
  Result result;
  for (;;) {
    const int status = inflate(&stream_, Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      result = Result::End;
      break;
    }
    if (status == Z_NEED_DICT || (status < 0 && status != Z_BUF_ERROR)) {
      result = Result::Damaged;
      break;
    }
    if (stream_.avail_out == 0) {
      result = Result::Full;
      break;
    }
    if (stream_.avail_in == 0) {
      result = Result::NeedInput;
      break;
    }
    if (status == Z_BUF_ERROR) {  // input and room, yet no progress
      result = Result::Damaged;
      break;
    }
  }
  written = wanted - stream_.avail_out;
  return result;
}

bool InflateAll(const uint8_t* in, size_t length, size_t limit, std::vector<uint8_t>& out) {
  CInflater inflater;
  if (!inflater.Ready() || length > kLargestPart) return false;
  inflater.Feed(in, length);
  for (;;) {
    const size_t done = out.size();
    size_t written = 0;
    if (done == limit) {
      // Full: only the end of the stream may follow.
      uint8_t probe;
      return inflater.Read(&probe, 1, written) == CInflater::Result::End && written == 0;
    }
    const size_t chunk = std::min<size_t>(limit - done, 65536);
    out.resize(done + chunk);
    const CInflater::Result result = inflater.Read(out.data() + done, chunk, written);
    out.resize(done + written);
    if (result == CInflater::Result::End) return true;
    if (result != CInflater::Result::Full) return false;
  }
}

size_t InflateInto(const uint8_t* in, size_t length, uint8_t* out, size_t capacity) {
  CInflater inflater;
  size_t written = 0;
  if (length > kLargestPart) length = kLargestPart;
  inflater.Feed(in, length);
  inflater.Read(out, capacity, written);
  return written;
}
