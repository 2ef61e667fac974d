// The profile reader and writer over file contents. The input starts with three names, each
// a length byte and that many bytes (section, key, value); the rest is the file. Every
// lookup must hold; a written value must read back as the reader presents values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "i18n/code_page.h"
#include "i18n/profile_file.h"

namespace {

std::string_view take(std::string_view& input) {
  if (input.empty()) return {};
  const size_t length = std::min<size_t>(static_cast<uint8_t>(input[0]), input.size() - 1);
  const std::string_view taken = input.substr(1, length);
  input.remove_prefix(1 + length);
  return taken;
}

std::string_view as_read(std::string_view value) {
  const size_t first = value.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  value = value.substr(first, value.find_last_not_of(" \t") - first + 1);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scopemark;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string_view section = take(input);
  const std::string_view key = take(input);
  const std::string_view value = take(input);
  const std::string content(input);
  const size_t buffer_size = value.empty() ? 0 : static_cast<uint8_t>(value[0]) + 1u;
  const std::string found = profile_find_string(content, section, key, value, buffer_size);
  if (buffer_size > 0 && found.size() >= buffer_size) std::abort();
  const auto written = profile_set_string(content, section, key, value);
  if (written) {
    const std::string read_back = profile_find_string(*written, section, key, "", 1000);
    if (read_back != cp936_prefix(as_read(value), 999)) std::abort();
  }
  return 0;
}
