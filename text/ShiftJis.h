// Text between the UTF-8 of people's files and the Shift_JIS (code page 932)
// bytes the intermediate data file and the image hold.
//
// The conversion of each character goes through the platform (iconv on POSIX,
// the Win32 code page functions on Windows, or where there is neither the table
// kept in text/; text/CodePage932.h); the rules around it are shared, so that
// every platform gives the same bytes and the same text:
//   - a single byte is a character only in 0x00-0x7F and 0xA1-0xDF, and a
//     character of two bytes starts with 0x81-0x9F or 0xE0-0xFC; so 0x80,
//     0xA0 and 0xFD-0xFF, which the published mapping of code page 932 leaves
//     undefined but some converters decode (Windows' takes 0x80 for U+0080),
//     are never characters;
//   - the user-defined area, F040 to F9FC (lead bytes 0xF0-0xF9), stays the
//     private use area U+E000 to U+E757 both ways, as code page 932 maps it
//     and every converter here (iconv, Windows, the table) converts it;
//   - a few characters that have a near twin in code page 932 take the twin's
//     bytes: U+301C WAVE DASH as U+FF5E, U+2016 DOUBLE VERTICAL LINE as U+2225,
//     U+2212 MINUS SIGN as U+FF0D, U+2014 EM DASH as U+2015, U+00A2, U+00A3
//     and U+00AC as their full-width forms, U+00A5 YEN SIGN as 0x5C and U+203E
//     OVERLINE as 0x7E; decoding gives the twins back;
//   - every other character without a code page 932 form is refused.
#pragma once

#include <optional>
#include <string>

// The Shift_JIS bytes of `utf8`; nullopt when some character has no
// Shift_JIS form or `utf8` is not valid UTF-8.
std::optional<std::string> Utf8ToShiftJis(const std::string& utf8);

struct DecodedText {
  std::string utf8;      // every byte that does not decode shown as U+FFFD
  bool complete = true;  // false when some byte did not decode
  // False also when some character's Shift_JIS form is other bytes than it
  // was read from: code page 932 gives a few hundred characters two codes
  // (NEC's and IBM's extensions, 0xED95 and 0xFAB1 for U+FA11), and encodes
  // each as one of them. Only a text that round-trips gives its bytes back.
  bool round_trips = true;
};
// The UTF-8 of Shift_JIS `bytes`. Never fails: a byte that starts no valid
// character becomes U+FFFD and decoding goes on with the byte behind it.
DecodedText ShiftJisToUtf8(const std::string& bytes);
