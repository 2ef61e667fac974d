#include "i18n/default_tables.h"

#include <fstream>
#include <span>

#include "i18n/embedded_tables.h"

namespace scopemark {

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

}  // namespace scopemark
