// Reading and writing the `.reg` text format. Only REGEDIT4's own forms are understood; anything
// else on a line makes it a damaged line, which is reported and skipped so that one bad line
// never costs the settings on the lines around it, and kept as text so that a rewrite loses
// nothing the user wrote.
#include "platform/reg_file.h"

#include <cstdio>
#include <string_view>

namespace {

// Damaged lines reported per file before the rest are only counted, so a garbage file cannot
// flood the log.
constexpr int kMaxReportedLines = 10;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsSpace(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (IsSpace(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && RegNamesEqual(s.substr(0, prefix.size()), prefix);
}

// A quoted string from s[pos] == '"'; only \\ and \" are escapes. `pos` ends after the quote.
bool ParseQuoted(std::string_view s, size_t& pos, std::string& out) {
  if (pos >= s.size() || s[pos] != '"') return false;
  for (++pos; pos < s.size(); ++pos) {
    char c = s[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\\') {
      if (++pos >= s.size() || (s[pos] != '\\' && s[pos] != '"')) return false;
      c = s[pos];
    }
    out += c;
  }
  return false;
}

// "01,02, 0a" (possibly empty) into bytes.
bool ParseHexBytes(std::string_view s, std::vector<uint8_t>& out) {
  s = Trim(s);
  if (s.empty()) return true;
  while (true) {
    size_t comma = s.find(',');
    std::string_view item = Trim(s.substr(0, comma));
    if (item.empty() || item.size() > 2) return false;
    int value = 0;
    for (char c : item) {
      int digit = HexDigit(c);
      if (digit < 0) return false;
      value = value * 16 + digit;
    }
    out.push_back(static_cast<uint8_t>(value));
    if (comma == std::string_view::npos) return true;
    s.remove_prefix(comma + 1);
  }
}

bool ParseHexNumber(std::string_view s, uint32_t& out) {
  if (s.empty() || s.size() > 8) return false;
  out = 0;
  for (char c : s) {
    int digit = HexDigit(c);
    if (digit < 0) return false;
    out = out * 16 + static_cast<uint32_t>(digit);
  }
  return true;
}

// The part after '=': "text", dword:..., hex:..., hex(N):...
bool ParseData(std::string_view s, RegValue& value) {
  if (!s.empty() && s.front() == '"') {
    size_t pos = 0;
    std::string text;
    if (!ParseQuoted(s, pos, text) || !Trim(s.substr(pos)).empty()) return false;
    value.type = REG_SZ;
    value.data.assign(text.begin(), text.end());
    value.data.push_back(0);
    return true;
  }
  if (StartsWithNoCase(s, "dword:")) {
    uint32_t number;
    if (!ParseHexNumber(s.substr(6), number)) return false;
    value.type = REG_DWORD;
    value.data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                  static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
    return true;
  }
  if (StartsWithNoCase(s, "hex:")) {
    value.type = REG_BINARY;
    return ParseHexBytes(s.substr(4), value.data);
  }
  if (StartsWithNoCase(s, "hex(")) {
    size_t close = s.find("):");
    if (close == std::string_view::npos || !ParseHexNumber(s.substr(4, close - 4), value.type))
      return false;
    return ParseHexBytes(s.substr(close + 2), value.data);
  }
  return false;
}

// A value line: "Name"=data or @=data.
bool ParseValueLine(std::string_view line, RegValue& value) {
  size_t pos = 0;
  if (line.front() == '@') {
    pos = 1;
  } else if (!ParseQuoted(line, pos, value.name)) {
    return false;
  }
  while (pos < line.size() && IsSpace(line[pos])) ++pos;
  if (pos >= line.size() || line[pos] != '=') return false;
  return ParseData(Trim(line.substr(pos + 1)), value);
}

RegFileKey& FindOrAddKey(RegDocument& document, std::string_view path) {
  for (RegFileKey& key : document.keys)
    if (!key.verbatim && RegNamesEqual(key.path, path)) return key;
  document.keys.push_back(RegFileKey{std::string(path), false, {}});
  return document.keys.back();
}

void PutValue(RegFileKey& key, RegValue&& value) {
  for (RegLine& line : key.lines) {
    if (!line.verbatim && RegNamesEqual(line.value.name, value.name)) {
      line.value.type = value.type;
      line.value.data = std::move(value.data);
      return;
    }
  }
  key.lines.push_back(RegLine{false, {}, std::move(value)});
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

// Regedit's layout: bytes as "xx," with lines broken after about 76 columns.
void AppendHexBytes(std::string& out, size_t lineStart, const std::vector<uint8_t>& data) {
  char digits[4];
  for (size_t i = 0; i < data.size(); ++i) {
    std::snprintf(digits, sizeof digits, "%02x", data[i]);
    out += digits;
    if (i + 1 == data.size()) break;
    out += ',';
    if (out.size() - lineStart > 76) {
      out += "\\\n  ";
      lineStart = out.size() - 2;
    }
  }
}

// A string that a quoted form keeps exactly: one terminator at the end, no other zero byte
// and no line break.
bool QuotableString(const RegValue& value) {
  if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0) return false;
  for (size_t i = 0; i + 1 < value.data.size(); ++i) {
    uint8_t c = value.data[i];
    if (c == 0 || c == '\n' || c == '\r') return false;
  }
  return true;
}

void AppendValue(std::string& out, const RegValue& value) {
  size_t lineStart = out.size();
  if (value.name.empty()) {
    out += '@';
  } else {
    AppendQuoted(out, value.name);
  }
  out += '=';
  if (QuotableString(value)) {
    AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                       value.data.size() - 1));
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    char number[16];
    std::snprintf(number, sizeof number, "dword:%08x",
                  static_cast<unsigned>(value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                                        static_cast<uint32_t>(value.data[3]) << 24));
    out += number;
  } else {
    if (value.type == REG_BINARY) {
      out += "hex:";
    } else {
      char prefix[24];
      std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
      out += prefix;
    }
    AppendHexBytes(out, lineStart, value.data);
  }
  out += '\n';
}

}  // namespace

bool RegNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

RegDocument ParseRegFile(const std::string& text, const std::string& fileName, RegWarningSink warn) {
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(std::string_view(text).substr(start, end - start));
    start = end + 1;
  }

  RegDocument document;
  RegFileKey* key = nullptr;
  int damaged = 0;
  // Text kept as it stands goes where it stood: before the first key, or in the current key.
  auto keep = [&](std::string_view line) {
    if (key) {
      key->lines.push_back(RegLine{true, std::string(line), {}});
    } else {
      document.leadingLines.emplace_back(line);
    }
  };
  auto skip = [&](size_t lineNumber, std::string_view line) {
    if (++damaged <= kMaxReportedLines && warn)
      warn("Registry: skipped damaged line " + std::to_string(lineNumber) + " of \"" + fileName +
           "\"");
    keep(line);
  };

  bool headerSeen = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t lineNumber = i + 1;
    std::string_view line = Trim(lines[i]);
    if (line.empty()) continue;
    if (!headerSeen && document.keys.empty() && document.leadingLines.empty() &&
        (line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00")) {
      document.header = std::string(line);
      headerSeen = true;
    } else if (line.front() == ';') {
      keep(line);
    } else if (line.front() == '[') {
      // "[-path]" deletes a key in regedit; this file never asks for that.
      if (line.size() < 3 || line.back() != ']' || line[1] == '-') {
        if (++damaged <= kMaxReportedLines && warn)
          warn("Registry: skipped damaged line " + std::to_string(lineNumber) + " of \"" +
               fileName + "\"");
        // The values under it belong to no key we know: they are kept with it, unread.
        document.keys.push_back(RegFileKey{std::string(line), true, {}});
        key = &document.keys.back();
        continue;
      }
      key = &FindOrAddKey(document, line.substr(1, line.size() - 2));
    } else if (line.front() == '"' || line.front() == '@') {
      // Long hex data goes on over lines that end with a backslash.
      std::string joined(line), original(line);
      const bool hex = joined.find("=hex") != std::string::npos ||
                       joined.find("= hex") != std::string::npos;
      while (hex && joined.back() == '\\' && i + 1 < lines.size()) {
        joined.pop_back();
        joined += Trim(lines[++i]);
        original += '\n';
        original += Trim(lines[i]);
      }
      RegValue value;
      if (!key || key->verbatim || !ParseValueLine(joined, value)) {
        skip(lineNumber, original);
        continue;
      }
      PutValue(*key, std::move(value));
    } else {
      skip(lineNumber, line);
    }
  }
  if (damaged > kMaxReportedLines && warn)
    warn("Registry: " + std::to_string(damaged - kMaxReportedLines) +
         " more damaged lines skipped in \"" + fileName + "\"");
  return document;
}

std::string FormatRegFile(const RegDocument& document) {
  std::string out = document.header + "\n\n";
  for (const std::string& line : document.leadingLines) out += line + "\n";
  if (!document.leadingLines.empty()) out += '\n';
  for (const RegFileKey& key : document.keys) {
    out += key.verbatim ? key.path + "\n" : "[" + key.path + "]\n";
    for (const RegLine& line : key.lines) {
      if (line.verbatim) {
        out += line.text + "\n";
      } else {
        AppendValue(out, line.value);
      }
    }
    out += '\n';
  }
  return out;
}
