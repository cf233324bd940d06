// Zip files for tests, written with minizip's writer. A member may claim another uncompressed
// size than its data have, as a damaged archive does.
#pragma once

#include <minizip/zip.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

struct ZipMember {
  std::string name;
  std::vector<uint8_t> data;
  uint32_t claimedSize = 0;  // 0: the data's own size
};

inline bool WriteZip(const std::string& path, const std::vector<ZipMember>& members) {
  zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
  if (!zip) return false;
  bool ok = true;
  for (const ZipMember& m : members) {
    zip_fileinfo info{};
    const auto size = static_cast<unsigned>(m.data.size());
    if (m.claimedSize == 0) {
      ok &= zipOpenNewFileInZip(zip, m.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                Z_DEFAULT_COMPRESSION) == ZIP_OK;
      ok &= zipWriteInFileInZip(zip, m.data.data(), size) == ZIP_OK;
      ok &= zipCloseFileInZip(zip) == ZIP_OK;
    } else {
      // Stored as it is, with the claimed size and the data's CRC.
      ok &= zipOpenNewFileInZip2(zip, m.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, 0, 0, 1) == ZIP_OK;
      ok &= zipWriteInFileInZip(zip, m.data.data(), size) == ZIP_OK;
      ok &= zipCloseFileInZipRaw(zip, m.claimedSize, crc32(0, m.data.data(), size)) == ZIP_OK;
    }
  }
  ok &= zipClose(zip, nullptr) == ZIP_OK;
  return ok;
}
