// Little-endian reads from a file image held in memory, each checked against the image's end.
// The readers test Fits() before they use a field; an access outside the image reads 0 rather
// than memory that does not belong to the file.
#pragma once

#include <cstdint>

class ByteView {
 public:
  ByteView(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}

  const uint8_t* Data() const { return data_; }
  uint32_t Size() const { return size_; }
  // Whether `count` bytes from `offset` lie within the image (no overflow for large values).
  bool Fits(uint64_t offset, uint64_t count) const { return offset <= size_ && count <= size_ - offset; }
  // Bytes from `offset` to the end (0 past the end).
  uint32_t Remaining(uint64_t offset) const {
    return offset < size_ ? static_cast<uint32_t>(size_ - offset) : 0;
  }
  // The view of `count` bytes from `offset`; an empty view when they do not fit.
  ByteView Sub(uint64_t offset, uint64_t count) const {
    if (!Fits(offset, count)) return ByteView(nullptr, 0);
    return ByteView(data_ + offset, static_cast<uint32_t>(count));
  }

  uint8_t U8(uint64_t offset) const { return Fits(offset, 1) ? data_[offset] : 0; }
  uint16_t U16(uint64_t offset) const {
    if (!Fits(offset, 2)) return 0;
    return static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
  }
  uint32_t U32(uint64_t offset) const {
    if (!Fits(offset, 4)) return 0;
    return static_cast<uint32_t>(data_[offset]) | (static_cast<uint32_t>(data_[offset + 1]) << 8) |
           (static_cast<uint32_t>(data_[offset + 2]) << 16) |
           (static_cast<uint32_t>(data_[offset + 3]) << 24);
  }

 private:
  const uint8_t* data_;
  uint32_t size_;
};
