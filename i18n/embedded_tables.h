#pragma once

#include <cstddef>

namespace scopemark {

// One file of i18n/tables/, compiled in by embed_tables.cmake.
struct EmbeddedTable {
  int number;
  const unsigned char* bytes;
  std::size_t size;
};

extern const EmbeddedTable kEmbeddedTables[];
extern const std::size_t kEmbeddedTableCount;

}  // namespace scopemark
