#include <gtest/gtest.h>

#include <string>

#include "tools/decode/md5.h"

namespace {

std::string md5_of(const std::string& text, size_t piece) {
  scopemark::Md5 md5;
  for (size_t at = 0; at < text.size(); at += piece) {
    md5.update(reinterpret_cast<const uint8_t*>(text.data()) + at,
               std::min(piece, text.size() - at));
  }
  return md5.hex_digest();
}

TEST(FrontMd5, ReferenceVectorsInAnyPieces) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [text, digest] : vectors) {
    for (size_t piece : {size_t{1}, size_t{7}, size_t{64}, size_t{1000}}) {
      EXPECT_EQ(md5_of(text, piece), digest) << text << " in pieces of " << piece;
    }
  }
}

}  // namespace
