#pragma once

#include <cstddef>
#include <string>

namespace scopemark {

// Profile (ini) files with the rules of the Windows profile functions, on byte strings in
// code page 936: sections and keys match without regard to letter case, the first match
// counts, values lose surrounding blanks and one pair of enclosing quotes.

// The value of `key` in `section`, or `default_value` when the file, the section or the key
// is missing; at most buffer_size - 1 bytes, never ending in half a two-byte character.
std::string profile_get_string(const std::string& path, const std::string& section,
                               const std::string& key, const std::string& default_value,
                               std::size_t buffer_size);

// Sets `key` in `section` to `value`. An existing key line is replaced in place, a new key
// goes after the section's last line, a new section at the end of the file; every other
// byte of the file is kept and new lines end in CR LF. A missing file is created. False
// when the file cannot be read or written, or when a name or the value would break the
// file's lines (CR or LF anywhere, '=' in the key, ']' in the section, empty names).
bool profile_write_string(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& value);

}  // namespace scopemark
