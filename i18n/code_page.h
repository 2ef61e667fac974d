#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace scopemark {

// Texts are byte strings in code page 936: bytes 0x81..0xFE lead a two-byte character
// whose second byte may fall in the ASCII range ('[', '\\', ']', letters).
inline bool cp936_lead_byte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x81 && byte <= 0xFE;
}

// Length in bytes of the character starting at text[pos] (2 for a complete pair, else 1).
inline std::size_t cp936_char_length(std::string_view text, std::size_t pos) {
  return cp936_lead_byte(text[pos]) && pos + 1 < text.size() ? 2 : 1;
}

// Position of the first character equal to the single byte `c`, skipping trail bytes,
// or npos.
std::size_t cp936_find(std::string_view text, char c, std::size_t from = 0);

// The longest prefix of at most max_bytes bytes that does not split a two-byte character.
std::string_view cp936_prefix(std::string_view text, std::size_t max_bytes);

// Case-insensitive comparison of ASCII letters; two-byte characters compare exactly.
bool cp936_equal_nocase(std::string_view a, std::string_view b);

// Converts code page 936 bytes to UTF-8 for display; an invalid byte becomes U+FFFD.
std::string cp936_to_utf8(std::string_view text);

}  // namespace scopemark
