// zlib inflation, the one place every reader of compressed data goes through: whole streams into
// a growing buffer, streams into a fixed block, and streams fed and read piece by piece.
//
//   std::vector<uint8_t> out;
//   if (!InflateAll(data, size, statedSize, out)) ...       // damaged, cut short or too long
//   InflateInto(data, size, page, 16384);                    // what the stream gives, up to 16K
//   CInflater inflater; inflater.Feed(chunk, n);
//   switch (inflater.Read(out, count, written)) { ... }     // Full, NeedInput, End, Damaged
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// A zlib stream inflated as its input arrives. Read inflates into the given block until the block
// is full, the input is used up, the stream ends or it turns out damaged.
class CInflater {
 public:
  enum class Result { Full, NeedInput, End, Damaged };

  CInflater();
  ~CInflater();
  CInflater(const CInflater&) = delete;
  CInflater& operator=(const CInflater&) = delete;

  // False when zlib could not be set up; every Read is then Damaged.
  bool Ready() const { return ready_; }
  // The next input; the bytes must stay until they are used (Hungry).
  void Feed(const uint8_t* in, size_t length);
  bool Hungry() const { return stream_.avail_in == 0; }
  // `written` is what this call added to `out`. A preset dictionary counts as damage: none is
  // ever written.
  Result Read(uint8_t* out, size_t count, size_t& written);
  // Compressed bytes used so far.
  uint64_t TotalIn() const { return stream_.total_in; }

 private:
  z_stream stream_{};
  bool ready_ = false;
};

// What zlib's uncompress does, without trusting a stated length for the allocation: `out` grows
// with what the stream really gives, up to `limit`. False for a stream that is damaged, cut short
// or longer than the limit.
bool InflateAll(const uint8_t* in, size_t length, size_t limit, std::vector<uint8_t>& out);

// Inflates into `capacity` bytes until they are full or the input ends; a damaged stream leaves
// what it gave. Returns the bytes written.
size_t InflateInto(const uint8_t* in, size_t length, uint8_t* out, size_t capacity);
