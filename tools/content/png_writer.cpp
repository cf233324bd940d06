// PNG by hand over zlib: signature, IHDR, one IDAT of unfiltered rows, IEND.
#include "tools/content/png_writer.h"

#include <zlib.h>

#include <fstream>

namespace {

void PutBig32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void Chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  PutBig32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  // The CRC covers the type and the data.
  const uLong crc = crc32(0L, &out[start], static_cast<uInt>(out.size() - start));
  PutBig32(out, static_cast<uint32_t>(crc));
}

}  // namespace

bool WritePNG(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height,
              int scale) {
  if (width <= 0 || height <= 0 || scale <= 0 ||
      rgb.size() < static_cast<size_t>(width) * height * 3)
    return false;
  const int outWidth = width * scale, outHeight = height * scale;
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(outHeight) * (outWidth * 3 + 1));
  for (int y = 0; y < outHeight; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < outWidth; ++x) {
      const uint8_t* pixel = &rgb[((y / scale) * width + x / scale) * 3];
      raw.insert(raw.end(), pixel, pixel + 3);
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
    return false;
  packed.resize(packedSize);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBig32(header, static_cast<uint32_t>(outWidth));
  PutBig32(header, static_cast<uint32_t>(outHeight));
  header.insert(header.end(),
                {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter set, no interlace
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", {});
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}
