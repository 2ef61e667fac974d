// Reading test streams and their expected per-picture MD5 lists ("index md5" lines).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace stream_files {

inline std::vector<uint8_t> read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::string> read_md5_list(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::string> digests;
  std::string index, digest;
  while (in >> index >> digest) digests.push_back(digest);
  return digests;
}

}  // namespace stream_files
