// Text between the UTF-8 of people's files and the Shift_JIS (code page 932)
// bytes the intermediate data file and the image hold, through the C
// library's iconv.
#pragma once

#include <optional>
#include <string>

// The Shift_JIS bytes of `utf8`; nullopt when some character has no
// Shift_JIS form or `utf8` is not valid UTF-8.
std::optional<std::string> Utf8ToShiftJis(const std::string& utf8);

struct DecodedText {
  std::string utf8;      // every byte that does not decode shown as U+FFFD
  bool complete = true;  // false when some byte did not decode
};
// The UTF-8 of Shift_JIS `bytes`. Never fails: a byte that starts no valid
// character becomes U+FFFD and decoding goes on behind it.
DecodedText ShiftJisToUtf8(const std::string& bytes);

// Lower-case hexadecimal, two digits a byte, no separators.
std::string HexBytes(const std::string& bytes);
// The bytes of a hexadecimal text (blanks allowed between bytes); nullopt when malformed.
std::optional<std::string> ParseHexBytes(const std::string& hex);
