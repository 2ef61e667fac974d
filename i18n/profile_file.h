#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace scopemark {

// Profile (ini) files with the rules of the Windows profile functions, on byte strings in
// code page 936: sections and keys match without regard to letter case, the first match
// counts, values lose surrounding blanks and one pair of enclosing quotes. Content that begins
// with the UTF-8 byte-order mark is UTF-8 instead; its values come back as UTF-8.

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool is_utf8_profile(std::string_view content);
// The content as UTF-8 behind a byte-order mark: marked content as it is, other content
// converted from code page 936.
std::string utf8_profile(std::string_view content);
// utf8_profile of the file at `path`; a missing or unreadable file reads as empty.
std::string read_utf8_profile(const std::string& path);

// The value of `key` in `section` of the file content, or `default_value` when the section or
// the key is missing; at most buffer_size - 1 bytes, never ending in part of a character.
std::string profile_find_string(std::string_view content, std::string_view section,
                                std::string_view key, std::string_view default_value,
                                std::size_t buffer_size);
// One section of a profile content, split into lines once for many look-ups.
class ProfileSection {
 public:
  ProfileSection(std::string content, std::string_view section);
  // What profile_find_string gives for `key` in this section, or nullopt where it would give
  // the default.
  std::optional<std::string> find(std::string_view key, std::size_t buffer_size) const;

 private:
  std::shared_ptr<const std::string> content_;  // the values' views point into it
  // Value of the first key line of each name in the first such section, by the name with its
  // ASCII letters in upper case.
  std::unordered_map<std::string, std::string_view> values_;
};

// The same for the file at `path`; a missing or unreadable file gives the default.
std::string profile_get_string(const std::string& path, const std::string& section,
                               const std::string& key, const std::string& default_value,
                               std::size_t buffer_size);

// The file content with `key` in `section` set to `value`. An existing key line is replaced
// in place, a new key goes after the section's last line, a new section at the end; every
// other byte is kept and new lines end in CR LF. Nullopt when a name or the value would break
// the file's lines (CR or LF anywhere, '=' in the key, ']' in the section, empty names).
std::optional<std::string> profile_set_string(std::string content, std::string_view section,
                                              std::string_view key, std::string_view value);
// The same change made to the file at `path`; a missing file is created. False when the
// file cannot be read or written, or when profile_set_string refuses the change.
bool profile_write_string(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& value);

}  // namespace scopemark
