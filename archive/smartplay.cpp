// The SmartPlay database and its file, SmartPlay.dat: a 24-byte header ("SMPL", header size
// twice, number of files, first record size, reserved) and one zlib stream holding the records
// back to back. On disk each record's offset 12 holds the size of the record after it (0 for
// the last), so the records chain through the stream.
#include "archive/smartplay.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "base/inflate.h"
#include "base/log.h"

namespace {

constexpr size_t HEADER_SIZE = 24;
constexpr size_t IO_BUFFER = 16384;
// Date, record size, next size, selection count, played, and at least the path's terminator.
constexpr uint32_t MIN_RECORD = 22;
constexpr size_t PATH_OFFSET = 21;

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

int64_t Get64(const uint8_t* p) {
  return static_cast<int64_t>(static_cast<uint64_t>(Get32(p)) |
                              static_cast<uint64_t>(Get32(p + 4)) << 32);
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void Put64(uint8_t* p, int64_t v) {
  Put32(p, static_cast<uint32_t>(static_cast<uint64_t>(v)));
  Put32(p + 4, static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32));
}

std::string Format(const char* format, auto... args) {
  std::string text(static_cast<size_t>(std::max(0, std::snprintf(nullptr, 0, format, args...))), '\0');
  std::snprintf(text.data(), text.size() + 1, format, args...);
  return text;
}

// A whole on-disk record: null when the block is too small for the fixed fields or its path has
// no terminator inside it.
std::unique_ptr<SmartPlayRecord> ParseRecord(const std::vector<uint8_t>& block) {
  if (block.size() < MIN_RECORD) return nullptr;
  const uint8_t* path = block.data() + PATH_OFFSET;
  const void* end = std::memchr(path, 0, block.size() - PATH_OFFSET);
  if (!end) return nullptr;
  auto record = std::make_unique<SmartPlayRecord>();
  record->dateAdded = Get64(block.data());
  record->selectionCount = Get32(block.data() + 16);
  record->played = block[20];
  record->path.assign(reinterpret_cast<const char*>(path),
                      static_cast<const uint8_t*>(end) - path);
  return record;
}

std::vector<uint8_t> RecordBytes(const SmartPlayRecord& record, uint32_t nextSize) {
  std::vector<uint8_t> bytes(record.RecordSize(), 0);
  Put64(bytes.data(), record.dateAdded);
  Put32(bytes.data() + 8, record.RecordSize());
  Put32(bytes.data() + 12, nextSize);
  Put32(bytes.data() + 16, record.selectionCount);
  bytes[20] = record.played;
  std::memcpy(bytes.data() + PATH_OFFSET, record.path.data(), record.path.size());
  return bytes;
}

bool FileNameEquals(std::string_view path, std::string_view name) {
  const size_t slash = path.rfind('/');
  std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
  return std::equal(file.begin(), file.end(), name.begin(), name.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
}

// Inflates the record chain that follows the header. Returns the load result; every complete
// record goes to `take`.
template <class Take>
int32_t InflateRecords(std::FILE* file, uint32_t firstSize, Take take) {
  std::vector<uint8_t> input(IO_BUFFER);
  CInflater inflater;
  if (!inflater.Ready()) {
    WriteLog("Unable to initialise zlib inflate");
    return SMARTPLAY_CORRUPT;
  }
  int32_t result = SMARTPLAY_OK;
  uint32_t expected = firstSize;
  std::vector<uint8_t> block;
  size_t filled = 0;
  bool filling = false;
  bool anyBody = false;
  // A first size of 0 is the empty database: nothing follows the header.
  while (expected != 0) {
    if (!anyBody) {
      // Nothing is judged before the body is known to exist: a header alone holds no records.
      const size_t got = std::fread(input.data(), 1, input.size(), file);
      if (std::ferror(file)) {
        result = SMARTPLAY_FILE_ERROR;
        break;
      }
      if (got == 0) break;
      anyBody = true;
      inflater.Feed(input.data(), got);
    }
    if (!filling) {
      if (expected > SMARTPLAY_MAX_RECORD) {
        result = SMARTPLAY_RECORD_TOO_LARGE;
        break;
      }
      if (expected < MIN_RECORD) {
        result = SMARTPLAY_CORRUPT;
        break;
      }
      block.assign(expected, 0);
      filled = 0;
      filling = true;
    }
    if (inflater.Hungry()) {
      const size_t got = std::fread(input.data(), 1, input.size(), file);
      if (std::ferror(file)) {
        result = SMARTPLAY_FILE_ERROR;
        break;
      }
      if (got == 0) {
        result = SMARTPLAY_CORRUPT;  // the body stops inside the chain: it was cut short
        break;
      }
      inflater.Feed(input.data(), got);
    }
    size_t written = 0;
    const CInflater::Result z = inflater.Read(block.data() + filled, expected - filled, written);
    filled += written;
    if (z == CInflater::Result::Damaged) {
      result = SMARTPLAY_CORRUPT;
      break;
    }
    if (filled != expected) {
      // The stream ended inside a record: no further input can complete it.
      if (z == CInflater::Result::End) {
        result = SMARTPLAY_CORRUPT;
        break;
      }
      continue;
    }
    filling = false;
    auto record = ParseRecord(block);
    if (!record) {
      result = SMARTPLAY_CORRUPT;
      break;
    }
    expected = Get32(block.data() + 12);
    take(std::move(record));
  }
  return result;
}

}  // namespace

void CSmartPlay::Clear() {
  ++changes_;
  tree_.clear();
  array_.clear();
  kept_.clear();
  keptFolders_.clear();
  keepUnfound_ = false;
  ready_ = false;
  addedCount_ = 0;
  removedCount_ = 0;
  eligibleCount_ = 0;
}

uint32_t CSmartPlay::RecordCount() const {
  return static_cast<uint32_t>(ready_ ? array_.size() : tree_.size());
}

int32_t CSmartPlay::Load(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return SMARTPLAY_CANNOT_OPEN;

  int32_t result = SMARTPLAY_OK;
  uint32_t loadedRecords = 0;
  uint8_t header[HEADER_SIZE];
  if (std::fread(header, 1, HEADER_SIZE, file) != HEADER_SIZE) {
    WriteLog("SmartPlay - general file error");
    result = SMARTPLAY_FILE_ERROR;
  } else if (std::memcmp(header, "SMPL", 4) != 0) {
    WriteLog("File not a SmartPlay file");
    result = SMARTPLAY_NOT_SMARTPLAY;
  } else {
    loaded_ = true;
    WriteLog(Format("Loaded SmartPlay header: header size = %d, number of files = %d, first block size = %d",
                    static_cast<int32_t>(Get32(header + 4)), static_cast<int32_t>(Get32(header + 12)),
                    static_cast<int32_t>(Get32(header + 16))));
    if (Get32(header + 8) != HEADER_SIZE) {
      WriteLog("Corrupted SmartPlay file header");
      result = SMARTPLAY_NOT_SMARTPLAY;
    } else {
      result = InflateRecords(file, Get32(header + 16), [&](std::unique_ptr<SmartPlayRecord> record) {
        ++loadedRecords;
        if (ready_) return;
        const std::string_view key = record->path;
        tree_.try_emplace(key, std::move(record));
      });
    }
  }
  std::fclose(file);
  ++changes_;

  const char* word = "Successfully restored";
  if (result != SMARTPLAY_OK) {
    WriteLog(Format("Error loading SmartPlay state: %d", result));
    word = "Recovered";
  }
  WriteLog(Format("%s %d files from the SmartPlay database", word, static_cast<int32_t>(loadedRecords)));
  return result;
}

void CSmartPlay::Add(const std::string& path) {
  if (ready_) return;
  ++changes_;
  if (auto known = tree_.find(path); known != tree_.end()) {
    known->second->found = 1;
    return;
  }
  auto record = std::make_unique<SmartPlayRecord>();
  record->dateAdded = scanTime_;
  record->found = 1;
  record->path = path;
  const std::string_view key = record->path;
  tree_.emplace(key, std::move(record));
  ++addedCount_;
}

void CSmartPlay::KeepUnder(const std::string& folder) {
  if (!ready_) keptFolders_.push_back(folder.empty() || folder.back() == '/' ? folder : folder + "/");
}

void CSmartPlay::Finish() {
  if (ready_) return;
  ++changes_;
  array_.clear();
  array_.reserve(tree_.size());
  const auto kept = [this](const std::string& path) {
    return keepUnfound_ || std::any_of(keptFolders_.begin(), keptFolders_.end(),
                                       [&](const std::string& folder) { return path.starts_with(folder); });
  };
  for (auto& [key, record] : tree_) {
    if (record->found)
      array_.push_back(std::move(record));
    else if (kept(record->path))
      kept_.push_back(std::move(record));
    else
      ++removedCount_;
  }
  tree_.clear();
  ready_ = true;
  // Unplayed first; each group keeps path order.
  std::stable_partition(array_.begin(), array_.end(), [](const auto& r) { return r->played == 0; });
  eligibleCount_ = static_cast<uint32_t>(
      std::find_if(array_.begin(), array_.end(), [](const auto& r) { return r->played != 0; }) - array_.begin());
  DebugOutput(Format("SmartPlay: %d files total, %d added, %d no longer exist\n", static_cast<int32_t>(array_.size()),
                     static_cast<int32_t>(addedCount_), static_cast<int32_t>(removedCount_)));
}

std::optional<std::string> CSmartPlay::Select(std::mt19937& random) {
  if (!ready_ || array_.empty()) return std::nullopt;
  ++changes_;
  if (eligibleCount_ == 0) {
    for (auto& record : array_) record->played = 0;
    eligibleCount_ = static_cast<uint32_t>(array_.size());
    WriteLog("SmartPlay: all files selected. All files are eligible for selection again.");
  }
  const uint32_t index = (static_cast<uint32_t>(random()) >> 1) % eligibleCount_;
  SmartPlayRecord& chosen = *array_[index];
  ++chosen.selectionCount;
  chosen.played = 1;
  std::string path = chosen.path;
  std::swap(array_[index], array_[eligibleCount_ - 1]);
  --eligibleCount_;
  return path;
}

const SmartPlayRecord* CSmartPlay::Record(size_t index) const {
  if (ready_) return index < array_.size() ? array_[index].get() : nullptr;
  if (index >= tree_.size()) return nullptr;
  return std::next(tree_.begin(), static_cast<std::ptrdiff_t>(index))->second.get();
}

std::optional<std::string> CSmartPlay::FindByName(std::string_view name) const {
  if (ready_) {
    for (const auto& record : array_)
      if (FileNameEquals(record->path, name)) return record->path;
  } else {
    for (const auto& [key, record] : tree_)
      if (FileNameEquals(key, name)) return record->path;
  }
  return std::nullopt;
}

std::optional<std::string> CSmartPlay::RecordAt(int64_t index) const {
  if (index < 0) return std::nullopt;
  const SmartPlayRecord* record = Record(static_cast<size_t>(index));
  if (!record) return std::nullopt;
  return record->path;
}

std::vector<const SmartPlayRecord*> CSmartPlay::InPathOrder() const {
  std::vector<const SmartPlayRecord*> records;
  if (ready_) {
    for (const auto& record : array_) records.push_back(record.get());
    for (const auto& record : kept_) records.push_back(record.get());
    std::sort(records.begin(), records.end(),
              [](const auto* a, const auto* b) { return std::string_view(a->path) < std::string_view(b->path); });
  } else {
    for (const auto& [key, record] : tree_) records.push_back(record.get());
  }
  return records;
}

std::optional<std::string> CSmartPlay::Image() const {
  // Records the loader would refuse are left out, so that one long path cannot cost the
  // history of every file stored after it; such a file is simply new again next run.
  std::vector<const SmartPlayRecord*> records;
  if (ready_) {
    for (const auto& record : array_) records.push_back(record.get());
    for (const auto& record : kept_) records.push_back(record.get());
  } else {
    records = InPathOrder();
  }
  std::erase_if(records, [](const auto* r) { return r->RecordSize() > SMARTPLAY_MAX_RECORD; });

  uint8_t header[HEADER_SIZE] = {'S', 'M', 'P', 'L'};
  Put32(header + 4, HEADER_SIZE);
  Put32(header + 8, HEADER_SIZE);
  Put32(header + 12, static_cast<uint32_t>(records.size()));
  Put32(header + 16, records.empty() ? 0 : records.front()->RecordSize());
  std::string image(reinterpret_cast<const char*>(header), HEADER_SIZE);

  z_stream zs{};
  if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) return std::nullopt;
  bool ok = true;
  std::vector<uint8_t> output(IO_BUFFER);
  for (size_t i = 0; ok && i < records.size(); ++i) {
    const bool last = i + 1 == records.size();
    std::vector<uint8_t> bytes = RecordBytes(*records[i], last ? 0 : records[i + 1]->RecordSize());
    zs.next_in = bytes.data();
    zs.avail_in = static_cast<uInt>(bytes.size());
    int z = Z_OK;
    do {
      zs.next_out = output.data();
      zs.avail_out = static_cast<uInt>(output.size());
      z = deflate(&zs, last ? Z_FINISH : Z_NO_FLUSH);
      if (z == Z_STREAM_ERROR) {
        ok = false;
        break;
      }
      image.append(reinterpret_cast<const char*>(output.data()), output.size() - zs.avail_out);
    } while (zs.avail_out == 0 || (last && z != Z_STREAM_END));
  }
  deflateEnd(&zs);
  if (!ok) return std::nullopt;
  return image;
}

int32_t CSmartPlay::Save(const std::string& path) const {
  WriteLog("Writing SmartPlay state to disk...");
  const std::optional<std::string> image = Image();
  if (!image) return SMARTPLAY_FILE_ERROR;
  return WriteImage(path, *image);
}

int32_t CSmartPlay::WriteImage(const std::string& path, const std::string& image) {
  // The old file is replaced only by a complete new one.
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return SMARTPLAY_FILE_ERROR;
  bool ok = std::fwrite(image.data(), 1, image.size(), file) == image.size();
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;

  std::error_code error;
  if (ok) std::filesystem::rename(temporary, path, error);
  if (!ok || error) {
    std::filesystem::remove(temporary, error);
    return SMARTPLAY_FILE_ERROR;
  }
  return SMARTPLAY_OK;
}

bool CSmartPlay::Dump(const std::string& path) const {
  if (RecordCount() == 0 && kept_.empty()) return false;
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return false;
  std::fputs("Filename,Selection count,Played,Date added\n", file);
  for (const SmartPlayRecord* record : InPathOrder()) {
    const std::time_t added = static_cast<std::time_t>(record->dateAdded);
    const std::tm* local = std::localtime(&added);
    const char* date = local ? std::asctime(local) : nullptr;
    std::fprintf(file, "%s,%d,%s,%s", record->path.c_str(), static_cast<int32_t>(record->selectionCount),
                 record->played ? "yes" : "no", date ? date : "invalid time\n");
  }
  std::fclose(file);
  return true;
}
