// The numeric reference tables under SCOPEMARK_SHARED_DIR/h264-tables, read as text rows.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace reference_tables {

using Rows = std::vector<std::vector<std::string>>;

inline std::filesystem::path folder() {
  return std::filesystem::path(SCOPEMARK_SHARED_DIR) / "h264-tables";
}

inline bool present() {
  return std::filesystem::exists(folder());
}

// The data rows of a table file: '#' lines dropped, fields split on blanks.
inline Rows read_rows(const char* name) {
  Rows rows;
  std::ifstream in(folder() / name);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::vector<std::string> row;
    for (std::string f; fields >> f;) row.push_back(f);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

}  // namespace reference_tables

#define SKIP_WITHOUT_SHARED_TABLES() \
  if (!reference_tables::present())  \
  GTEST_SKIP() << "reference tables not found under " << SCOPEMARK_SHARED_DIR
