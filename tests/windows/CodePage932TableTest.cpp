// The table of code page 932 kept in the repository (text/CodePage932Table.txt,
// what text/CodePage932Table.cpp converts with) against glibc's iconv it was
// written from (text/CodePage932Iconv.cpp): this program holds both, and they
// must give the same for every one- and two-byte sequence and every code point.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "text/CodePage932.h"
#include "text/CodePage932Lookup.h"

namespace {

std::string Hex(const std::string& bytes) {
  std::string hex;
  for (unsigned char byte : bytes) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", byte);
    hex += digits;
  }
  return hex;
}

std::string Shown(const std::optional<char32_t>& c) {
  if (!c) return "nothing";
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(*c));
  return text;
}

std::string Shown(const std::optional<std::string>& bytes) {
  if (!bytes) return "nothing";
  return bytes->empty() ? "no bytes" : Hex(*bytes);
}

// Collects the first differences and counts them all.
struct Differences {
  long count = 0;
  std::string first;
  void Add(const std::string& what) {
    if (++count <= 12) first += "\n  " + what;
  }
};

TEST(TextCodePage932Table, DecodesEveryByteAndPairAsIconv) {
  const CodePage932Lookup& table = CodePage932Lookup::Kept();
  Differences differences;
  long characters = 0;
  const auto compare = [&](const unsigned char* bytes, std::size_t size) {
    const std::optional<char32_t> iconv = CodePage932Decode(bytes, size);
    const std::optional<char32_t> kept = table.Decode(bytes, size);
    characters += iconv.has_value();
    if (iconv != kept) {
      differences.Add(Hex(std::string(reinterpret_cast<const char*>(bytes), size)) + ": iconv " + Shown(iconv) +
                      ", table " + Shown(kept));
    }
  };
  for (int first = 0; first < 256; ++first) {
    const unsigned char single[] = {static_cast<unsigned char>(first)};
    compare(single, 1);
    for (int second = 0; second < 256; ++second) {
      const unsigned char pair[] = {static_cast<unsigned char>(first), static_cast<unsigned char>(second)};
      compare(pair, 2);
    }
  }
  EXPECT_EQ(differences.count, 0) << differences.first;
  std::printf("65792 sequences, %ld of them characters\n", characters);
}

TEST(TextCodePage932Table, EncodesEveryCodePointAsIconv) {
  const CodePage932Lookup& table = CodePage932Lookup::Kept();
  Differences differences;
  long encoded = 0;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    const std::optional<std::string> iconv = CodePage932Encode(c);
    const std::optional<std::string> kept = table.Encode(c);
    encoded += iconv.has_value();
    if (iconv != kept) differences.Add(Shown(c) + ": iconv " + Shown(iconv) + ", table " + Shown(kept));
  }
  EXPECT_EQ(differences.count, 0) << differences.first;
  std::printf("1114112 code points, %ld of them encoded\n", encoded);
}

}  // namespace
