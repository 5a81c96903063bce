#include "text/ShiftJis.h"

#include <cstdint>
#include <vector>

#include "text/CodePage932.h"
#include "text/Utf8.h"

namespace {

bool SingleByteCharacter(unsigned char byte) { return byte < 0x80 || (byte >= 0xA1 && byte <= 0xDF); }
bool LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// Characters that take the bytes of their near twin in code page 932.
struct Twin {
  char32_t character;
  const char* bytes;
};
constexpr Twin kTwins[] = {
    {0x00A2, "\x81\x91"},  // CENT SIGN as FULLWIDTH CENT SIGN
    {0x00A3, "\x81\x92"},  // POUND SIGN as FULLWIDTH POUND SIGN
    {0x00A5, "\x5C"},      // YEN SIGN as the byte 0x5C, the yen sign of JIS X 0201
    {0x00AC, "\x81\xCA"},  // NOT SIGN as FULLWIDTH NOT SIGN
    {0x2014, "\x81\x5C"},  // EM DASH as HORIZONTAL BAR
    {0x2016, "\x81\x61"},  // DOUBLE VERTICAL LINE as PARALLEL TO
    {0x203E, "\x7E"},      // OVERLINE as the byte 0x7E, the overline of JIS X 0201
    {0x2212, "\x81\x7C"},  // MINUS SIGN as FULLWIDTH HYPHEN-MINUS
    {0x301C, "\x81\x60"},  // WAVE DASH as FULLWIDTH TILDE
};

// Asking the platform costs a thousand instructions a character: what it says
// of each character of the Basic Multilingual Plane and of each one- and
// two-byte sequence is kept, packed into 32 bits (0: not asked yet).
class Memo {
 public:
  static constexpr std::uint32_t kUnknown = 0;
  static constexpr std::uint32_t kNone = 1;

  std::uint32_t& At(std::size_t i) {
    if (values_.empty()) values_.assign(0x10000, kUnknown);
    return values_[i];
  }

 private:
  std::vector<std::uint32_t> values_;
};

// A character's bytes (one or two) packed with their count, and back.
std::uint32_t Packed(const std::string& bytes) {
  std::uint32_t packed = static_cast<std::uint32_t>(bytes.size()) << 16;
  for (unsigned char b : bytes) packed = (packed & 0xFFFF0000u) | ((packed & 0xFFu) << 8) | b;  // at most two
  return packed;
}

std::optional<std::string> EncodeOnce(char32_t c);

// Appends the bytes of `c` to `out`; false when it has none.
bool AppendEncoded(char32_t c, std::string& out) {
  if (c > 0xFFFF) {
    const std::optional<std::string> bytes = EncodeOnce(c);
    if (bytes) out += *bytes;
    return bytes.has_value();
  }
  static Memo memo;
  std::uint32_t& known = memo.At(c);
  if (known == Memo::kUnknown) {
    const std::optional<std::string> bytes = EncodeOnce(c);
    known = bytes ? Packed(*bytes) : Memo::kNone;
  }
  if (known == Memo::kNone) return false;
  if (known >> 16 == 2) out += static_cast<char>((known >> 8) & 0xFF);
  out += static_cast<char>(known & 0xFF);
  return true;
}

std::optional<std::string> EncodeOnce(char32_t c) {
  for (const Twin& twin : kTwins) {
    if (twin.character == c) return std::string(twin.bytes);
  }
  std::optional<std::string> bytes = CodePage932Encode(c);
  if (!bytes) return std::nullopt;
  const auto first = bytes->empty() ? 0 : static_cast<unsigned char>((*bytes)[0]);
  const bool single = bytes->size() == 1 && SingleByteCharacter(first);
  const bool pair = bytes->size() == 2 && LeadByte(first);
  if (!single && !pair) return std::nullopt;  // nothing at all, or a byte that does not decode back
  return bytes;
}

// The code point of one or two bytes, through the platform once for each sequence.
std::optional<char32_t> DecodeSequence(const unsigned char* data, std::size_t size) {
  static Memo pairs;
  static Memo singles;
  std::uint32_t& known = size == 2 ? pairs.At(data[0] << 8 | data[1]) : singles.At(data[0]);
  if (known == Memo::kUnknown) {
    const std::optional<char32_t> c = CodePage932Decode(data, size);
    known = c ? static_cast<std::uint32_t>(*c) + 2 : Memo::kNone;  // above the two markers
  }
  if (known == Memo::kNone) return std::nullopt;
  return static_cast<char32_t>(known - 2);
}

// The character at `bytes[at]`: its code point and length, or nullopt.
std::optional<std::pair<char32_t, std::size_t>> DecodeCharacter(const std::string& bytes, std::size_t at) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
  if (LeadByte(data[0])) {
    if (at + 1 >= bytes.size()) return std::nullopt;
    const std::optional<char32_t> c = DecodeSequence(data, 2);
    if (!c) return std::nullopt;
    return std::pair(*c, std::size_t{2});
  }
  if (!SingleByteCharacter(data[0])) return std::nullopt;
  const std::optional<char32_t> c = DecodeSequence(data, 1);
  if (!c) return std::nullopt;
  return std::pair(*c, std::size_t{1});
}

// Whether `c` encodes to exactly the `size` bytes at `bytes[at]`.
bool EncodesTo(char32_t c, const std::string& bytes, std::size_t at, std::size_t size) {
  std::string encoded;
  return AppendEncoded(c, encoded) && bytes.compare(at, size, encoded) == 0;
}

// The code points of `utf8`; nullopt when it is not valid UTF-8.
std::optional<std::u32string> DecodeUtf8(const std::string& utf8) {
  std::u32string text;
  for (std::size_t i = 0; i < utf8.size();) {
    const Utf8Character c = Utf8CharacterAt(utf8, i);
    if (c.length == 0) return std::nullopt;
    text += c.code;
    i += c.length;
  }
  return text;
}

}  // namespace

std::optional<std::string> Utf8ToShiftJis(const std::string& utf8) {
  const std::optional<std::u32string> characters = DecodeUtf8(utf8);
  if (!characters) return std::nullopt;
  std::string out;
  out.reserve(utf8.size());
  for (char32_t c : *characters) {
    if (!AppendEncoded(c, out)) return std::nullopt;
  }
  return out;
}

DecodedText ShiftJisToUtf8(const std::string& bytes) {
  DecodedText text;
  for (std::size_t at = 0; at < bytes.size();) {
    const auto character = DecodeCharacter(bytes, at);
    if (character) {
      AppendUtf8(character->first, text.utf8);
      text.round_trips = text.round_trips && EncodesTo(character->first, bytes, at, character->second);
      at += character->second;
    } else {
      text.utf8 += "\xEF\xBF\xBD";
      text.complete = false;
      text.round_trips = false;
      ++at;
    }
  }
  return text;
}
