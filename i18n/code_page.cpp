#include "i18n/code_page.h"

#include <iconv.h>

#include <cerrno>

namespace scopemark {

namespace {

char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// Owns one conversion descriptor; each conversion opens its own, so threads never share one.
class Converter {
 public:
  Converter() : handle_(iconv_open("UTF-8", "CP936")) {}
  ~Converter() {
    if (valid()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t handle() const { return handle_; }

 private:
  iconv_t handle_;
};

}  // namespace

std::size_t cp936_find(std::string_view text, char c, std::size_t from) {
  for (std::size_t pos = from; pos < text.size(); pos += cp936_char_length(text, pos)) {
    if (text[pos] == c) return pos;
  }
  return std::string_view::npos;
}

std::string_view cp936_prefix(std::string_view text, std::size_t max_bytes) {
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t next = end + cp936_char_length(text, end);
    if (next > max_bytes) break;
    end = next;
  }
  return text.substr(0, end);
}

bool cp936_equal_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t pos = 0; pos < a.size();) {
    const std::size_t length = cp936_char_length(a, pos);
    if (length == 2) {
      if (a.substr(pos, 2) != b.substr(pos, 2)) return false;
    } else if (ascii_lower(a[pos]) != ascii_lower(b[pos])) {
      return false;
    }
    pos += length;
  }
  return true;
}

std::string cp936_to_utf8(std::string_view text) {
  Converter converter;
  if (!converter.valid()) return std::string(text);
  std::string result;
  char buffer[256];
  char* in = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  while (in_left > 0) {
    char* out = buffer;
    std::size_t out_left = sizeof buffer;
    const std::size_t converted = iconv(converter.handle(), &in, &in_left, &out, &out_left);
    result.append(buffer, out);
    if (converted != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
    // An invalid or truncated sequence: mark it and go on with the next byte.
    result += kReplacementCharacter;
    ++in;
    --in_left;
  }
  return result;
}

}  // namespace scopemark
