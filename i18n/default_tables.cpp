#include "i18n/default_tables.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <span>

#include "i18n/embedded_tables.h"

namespace scopemark {

const ShippedLanguage* find_shipped_language(std::string_view name) {
  for (const ShippedLanguage& language : kShippedLanguages) {
    if (language.name == name) return &language;
  }
  return nullptr;
}

std::optional<std::string_view> default_table(int table_number) {
  for (const EmbeddedTable& table : std::span(kEmbeddedTables, kEmbeddedTableCount)) {
    if (table.number == table_number) {
      return std::string_view(reinterpret_cast<const char*>(table.bytes), table.size);
    }
  }
  return std::nullopt;
}

bool extract_default_table(int table_number, const std::string& path) {
  const std::optional<std::string_view> bytes = default_table(table_number);
  if (!bytes) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
  return true;
}

bool install_default_table(int table_number, const std::string& path) {
  const std::optional<std::string_view> bytes = default_table(table_number);
  if (!bytes) return false;
  // "x": the open fails when the file exists, so a user's file is never replaced.
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wbx"),
                                                             &std::fclose);
  if (!file) return false;
  if (std::fwrite(bytes->data(), 1, bytes->size(), file.get()) == bytes->size() &&
      std::fflush(file.get()) == 0) {
    return true;
  }
  // A cut-off file would pass for the user's own from now on.
  std::remove(path.c_str());
  return false;
}

}  // namespace scopemark
