#include "text/CodePage932Lookup.h"

#include <algorithm>
#include <stdexcept>

namespace {

// text/CodePage932Table.txt, byte for byte, made into this initializer by CMake.
constexpr unsigned char kKeptTable[] = {
#include "text/CodePage932Table.inc"
};

constexpr char32_t kLastCodePoint = 0x10FFFF;

// The value of 1 to 8 hexadecimal digits; nullopt for anything else.
std::optional<std::uint32_t> ParseHex(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char d : digits) {
    int digit = -1;
    if (d >= '0' && d <= '9') digit = d - '0';
    if (d >= 'A' && d <= 'F') digit = d - 'A' + 10;
    if (d >= 'a' && d <= 'f') digit = d - 'a' + 10;
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return value;
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    const std::size_t space = text.find(' ');
    words.push_back(text.substr(0, space));
    text.remove_prefix(space == std::string_view::npos ? text.size() : space + 1);
  }
  return words;
}

}  // namespace

CodePage932Lookup::CodePage932Lookup(std::string_view text) {
  singles_.fill(kNone);
  std::vector<std::pair<char32_t, std::optional<std::string>>> others;  // the "U+" lines, in order
  for (std::size_t number = 1; !text.empty(); ++number) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    const auto malformed = [number](const char* why) {
      return std::runtime_error("code page 932 table, line " + std::to_string(number) + ": " + why);
    };
    const std::size_t colon = line.find(": ");
    if (colon == std::string_view::npos) throw malformed("no \": \"");
    const std::string_view key = line.substr(0, colon);
    const std::vector<std::string_view> values = Words(line.substr(colon + 2));

    if (key.starts_with("U+")) {
      // "U+XXXX: BYTES" or "U+XXXX..U+YYYY: BYTES".
      const std::size_t dots = key.find("..U+");
      const std::optional<std::uint32_t> low =
          ParseHex(key.substr(2, dots == std::string_view::npos ? dots : dots - 2));
      const std::optional<std::uint32_t> high = dots == std::string_view::npos ? low : ParseHex(key.substr(dots + 4));
      if (!low || !high || *low > *high || *high > kLastCodePoint) throw malformed("not a code point or a run of them");
      if (values.size() != 1) throw malformed("not one encoding");
      std::optional<std::string> bytes;
      if (values[0] == "empty") {
        bytes = std::string();
      } else if (values[0] != "-") {
        if (values[0].size() % 2 != 0) throw malformed("an odd number of hexadecimal digits");
        bytes = std::string();
        for (std::size_t at = 0; at < values[0].size(); at += 2) {
          const std::optional<std::uint32_t> byte = ParseHex(values[0].substr(at, 2));
          if (!byte) throw malformed("bytes that are not hexadecimal");
          *bytes += static_cast<char>(*byte);
        }
      }
      for (char32_t c = *low; c <= *high; ++c) others.emplace_back(c, bytes);
      continue;
    }

    // "XX: ..." (single bytes) or "XXYY: ..." (pairs), one code point or "-" each.
    const std::optional<std::uint32_t> first = ParseHex(key);
    if (!first || (key.size() != 2 && key.size() != 4)) throw malformed("not a byte or a pair");
    if ((*first & 0xFF) + values.size() > 256) throw malformed("runs past the last byte");
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (values[i] == "-") continue;
      const std::optional<std::uint32_t> c = ParseHex(values[i]);
      if (!c || *c > kLastCodePoint) throw malformed("not a code point");
      if (key.size() == 2) {
        if (singles_[*first + i] != kNone) throw malformed("a byte given twice");
        singles_[*first + i] = *c;
      } else {
        pairs_.emplace_back(static_cast<std::uint16_t>(*first + i), *c);
      }
    }
  }
  std::sort(pairs_.begin(), pairs_.end());
  const auto twice =
      std::adjacent_find(pairs_.begin(), pairs_.end(), [](const auto& a, const auto& b) { return a.first == b.first; });
  if (twice != pairs_.end()) throw std::runtime_error("code page 932 table: a pair given twice");

  // Each code point takes the first sequence that decodes to it, unless a "U+" line says otherwise.
  for (std::size_t b = 0; b < singles_.size(); ++b) {
    if (singles_[b] != kNone) encodings_.try_emplace(singles_[b], std::string(1, static_cast<char>(b)));
  }
  for (const auto& [pair, c] : pairs_) {
    encodings_.try_emplace(c, std::string{static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF)});
  }
  for (auto& [c, bytes] : others) encodings_.insert_or_assign(c, std::move(bytes));
}

const CodePage932Lookup& CodePage932Lookup::Kept() {
  static const CodePage932Lookup kept(std::string_view(reinterpret_cast<const char*>(kKeptTable), sizeof kKeptTable));
  return kept;
}

std::optional<char32_t> CodePage932Lookup::Decode(const unsigned char* bytes, std::size_t size) const {
  if (size == 1) {
    if (singles_[bytes[0]] == kNone) return std::nullopt;
    return singles_[bytes[0]];
  }
  if (size != 2) return std::nullopt;
  const auto pair = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
  const auto found = std::lower_bound(pairs_.begin(), pairs_.end(), pair,
                                      [](const auto& entry, std::uint16_t value) { return entry.first < value; });
  if (found == pairs_.end() || found->first != pair) return std::nullopt;
  return found->second;
}

std::optional<std::string> CodePage932Lookup::Encode(char32_t c) const {
  const auto found = encodings_.find(c);
  if (found == encodings_.end()) return std::nullopt;
  return found->second;
}
