// A table of code page 932 in the text form of text/CodePage932Table.txt (the
// head of that file says how to read it), read into lookups: what
// CodePage932Table.cpp converts with, and what the tests compare with the
// platform's converters.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class CodePage932Lookup {
 public:
  // Reads `text`; throws std::runtime_error naming the line when it is malformed.
  explicit CodePage932Lookup(std::string_view text);

  // The table kept in the repository, text/CodePage932Table.txt (built into
  // the program), read on first use.
  static const CodePage932Lookup& Kept();

  // As CodePage932Decode and CodePage932Encode in text/CodePage932.h.
  std::optional<char32_t> Decode(const unsigned char* bytes, std::size_t size) const;
  std::optional<std::string> Encode(char32_t c) const;

 private:
  static constexpr char32_t kNone = 0xFFFFFFFF;
  std::array<char32_t, 256> singles_;
  std::vector<std::pair<std::uint16_t, char32_t>> pairs_;               // in ascending order of the pair
  std::unordered_map<char32_t, std::optional<std::string>> encodings_;  // nullopt: does not encode
};
