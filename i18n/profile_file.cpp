#include "i18n/profile_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "i18n/code_page.h"

namespace scopemark {

namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kLineEnd = "\r\n";

// In UTF-8 no byte of a multi-byte character is ASCII, so the syntax is found byte by byte.
std::size_t find_syntax(std::string_view text, char c, std::size_t from, bool utf8) {
  return utf8 ? text.find(c, from) : cp936_find(text, c, from);
}

// The longest prefix of at most max_bytes bytes that does not split a character.
std::string_view text_prefix(std::string_view text, std::size_t max_bytes, bool utf8) {
  if (!utf8) return cp936_prefix(text, max_bytes);
  if (text.size() <= max_bytes) return text;
  std::size_t end = max_bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::string_view trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

std::string_view strip_quotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The name with the ASCII letters of its one-byte characters in upper case: two names match
// (cp936_equal_nocase) exactly when these are equal.
std::string upper_case(std::string_view name) {
  std::string upper(name);
  for (std::size_t pos = 0; pos < upper.size(); pos += cp936_char_length(upper, pos)) {
    if (upper[pos] >= 'a' && upper[pos] <= 'z') upper[pos] = static_cast<char>(upper[pos] - 32);
  }
  return upper;
}

enum class LineKind { other, section, key };

struct Line {
  std::size_t begin = 0;  // first byte of the line
  std::size_t end = 0;    // end of its text, before CR LF
  std::size_t next = 0;   // first byte of the following line
  LineKind kind = LineKind::other;
  std::string_view name;   // section or key name
  std::string_view value;  // key value
};

// The lines after the byte-order mark, if any.
std::vector<Line> split_lines(std::string_view content) {
  const bool utf8 = is_utf8_profile(content);
  std::vector<Line> lines;
  lines.reserve(static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n')) + 1);
  for (std::size_t begin = utf8 ? kUtf8Bom.size() : 0; begin < content.size();) {
    Line line;
    line.begin = begin;
    const std::size_t newline = content.find('\n', begin);
    line.next = newline == std::string_view::npos ? content.size() : newline + 1;
    line.end = newline == std::string_view::npos ? content.size() : newline;
    if (line.end > begin && content[line.end - 1] == '\r') --line.end;
    const std::string_view text = trim(content.substr(begin, line.end - begin));
    if (!text.empty() && text.front() == '[') {
      line.kind = LineKind::section;
      line.name = trim(text.substr(1, find_syntax(text, ']', 1, utf8) - 1));
    } else if (const std::size_t equals = find_syntax(text, '=', 0, utf8);
               equals != std::string_view::npos) {
      line.kind = LineKind::key;
      line.name = trim(text.substr(0, equals));
      line.value = trim(text.substr(equals + 1));
    }
    lines.push_back(line);
    begin = line.next;
  }
  return lines;
}

// The first section of that name: its header line and the index of the line after its end.
struct SectionRange {
  std::size_t header;
  std::size_t last;
};

std::optional<SectionRange> find_section(const std::vector<Line>& lines, std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != LineKind::section || !cp936_equal_nocase(lines[i].name, section)) {
      continue;
    }
    std::size_t last = i + 1;
    while (last < lines.size() && lines[last].kind != LineKind::section) ++last;
    return SectionRange{i, last};
  }
  return std::nullopt;
}

const Line* find_key(const std::vector<Line>& lines, const SectionRange& range,
                     std::string_view key) {
  for (std::size_t i = range.header + 1; i < range.last; ++i) {
    if (lines[i].kind == LineKind::key && cp936_equal_nocase(lines[i].name, key)) {
      return &lines[i];
    }
  }
  return nullptr;
}

std::string value_text(std::string_view value, std::size_t buffer_size, bool utf8) {
  return std::string(
      text_prefix(strip_quotes(value), buffer_size == 0 ? 0 : buffer_size - 1, utf8));
}

std::optional<std::string> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  try {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    return std::nullopt;  // a folder at the path, or a failing disk
  }
}

// A name that reads back as written in a file of that encoding: in code page 936 whole
// two-byte characters only (a lone lead byte at the end would take the following '=' or
// ']'), in UTF-8 no byte of the syntax at all; and a key that cannot pass for a section.
bool writable_name(std::string_view name, char forbidden, bool utf8) {
  const std::string_view trimmed = trim(name);
  if (trimmed.empty() || name.find_first_of(kLineEnd) != std::string_view::npos ||
      find_syntax(name, forbidden, 0, utf8) != std::string_view::npos) {
    return false;
  }
  if (forbidden == '=' && trimmed.front() == '[') return false;
  if (utf8) return true;
  std::size_t last = 0;
  for (std::size_t pos = 0; pos < trimmed.size(); pos += cp936_char_length(trimmed, pos)) {
    last = pos;
  }
  return last + 1 < trimmed.size() || !cp936_lead_byte(trimmed[last]);
}

// What ends the last line of `text` before more lines follow: nothing after a line feed, the
// line feed after a bare CR (which alone does not end a line), else CR LF.
std::string_view line_completion(std::string_view text) {
  if (text.empty() || text.back() == '\n') return {};
  return text.back() == '\r' ? kLineEnd.substr(1) : kLineEnd;
}

}  // namespace

bool is_utf8_profile(std::string_view content) {
  return content.starts_with(kUtf8Bom);
}

std::string utf8_profile(std::string_view content) {
  if (is_utf8_profile(content)) return std::string(content);
  return std::string(kUtf8Bom) + cp936_to_utf8(content);
}

std::string read_utf8_profile(const std::string& path) {
  return utf8_profile(read_file(path).value_or(std::string()));
}

std::string profile_find_string(std::string_view content, std::string_view section,
                                std::string_view key, std::string_view default_value,
                                std::size_t buffer_size) {
  const bool utf8 = is_utf8_profile(content);
  const std::vector<Line> lines = split_lines(content);
  if (const auto range = find_section(lines, trim(section))) {
    if (const Line* line = find_key(lines, *range, trim(key))) {
      return value_text(line->value, buffer_size, utf8);
    }
  }
  // The default keeps its quotes.
  return std::string(text_prefix(default_value, buffer_size == 0 ? 0 : buffer_size - 1, utf8));
}

ProfileSection::ProfileSection(std::string content, std::string_view section)
    : content_(std::make_shared<const std::string>(std::move(content))) {
  const std::vector<Line> lines = split_lines(*content_);
  if (const auto range = find_section(lines, trim(section))) {
    for (std::size_t i = range->header + 1; i < range->last; ++i) {
      if (lines[i].kind == LineKind::key) {
        values_.try_emplace(upper_case(lines[i].name), lines[i].value);
      }
    }
  }
}

std::optional<std::string> ProfileSection::find(std::string_view key,
                                                std::size_t buffer_size) const {
  const auto value = values_.find(upper_case(trim(key)));
  if (value == values_.end()) return std::nullopt;
  return value_text(value->second, buffer_size, is_utf8_profile(*content_));
}

std::string profile_get_string(const std::string& path, const std::string& section,
                               const std::string& key, const std::string& default_value,
                               std::size_t buffer_size) {
  return profile_find_string(read_file(path).value_or(std::string()), section, key, default_value,
                             buffer_size);
}

std::optional<std::string> profile_set_string(std::string content, std::string_view section,
                                              std::string_view key, std::string_view value) {
  const bool utf8 = is_utf8_profile(content);
  if (!writable_name(section, ']', utf8) || !writable_name(key, '=', utf8) ||
      value.find_first_of(kLineEnd) != std::string_view::npos) {
    return std::nullopt;
  }
  const std::string key_line = std::string(trim(key)) + "=" + std::string(value);
  const std::vector<Line> lines = split_lines(content);
  if (const auto range = find_section(lines, trim(section))) {
    if (const Line* line = find_key(lines, *range, trim(key))) {
      content.replace(line->begin, line->end - line->begin, key_line);
    } else {
      std::size_t last_text = range->header;
      for (std::size_t i = range->header + 1; i < range->last; ++i) {
        if (!trim(std::string_view(content).substr(lines[i].begin, lines[i].end - lines[i].begin))
                 .empty()) {
          last_text = i;
        }
      }
      const Line& after = lines[last_text];
      const std::string_view before = std::string_view(content).substr(0, after.next);
      content.insert(after.next,
                     std::string(line_completion(before)) + key_line + std::string(kLineEnd));
    }
  } else {
    content += line_completion(content);
    content += "[" + std::string(trim(section)) + "]" + std::string(kLineEnd) + key_line +
               std::string(kLineEnd);
  }
  return content;
}

bool profile_write_string(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& value) {
  std::string content;
  std::error_code error;
  if (std::filesystem::exists(path, error)) {
    std::optional<std::string> existing = read_file(path);
    if (!existing) return false;
    content = std::move(*existing);
  }
  const std::optional<std::string> updated =
      profile_set_string(std::move(content), section, key, value);
  if (!updated) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(updated->data(), static_cast<std::streamsize>(updated->size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace scopemark
