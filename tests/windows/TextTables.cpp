// Prints how this platform's build converts Shift_JIS text, character by
// character: the UTF-8 of every one- and two-byte sequence (with U+FFFD for
// what does not decode), and the bytes of every code point that has a form.
// tests/windows/run-windows-tests.sh runs it on Linux and under Wine and
// requires the two listings to be the same, byte for byte.
#include <cstdio>
#include <string>

#include "fileio/Console.h"
#include "text/Hex.h"
#include "text/ShiftJis.h"
#include "text/Utf8.h"

namespace {

std::string Utf8(char32_t c) {
  std::string out;
  AppendUtf8(c, out);
  return out;
}

void PrintDecoded(const std::string& bytes, std::string& out) {
  const DecodedText text = ShiftJisToUtf8(bytes);
  out += "decode " + HexBytes(bytes) + " " + HexBytes(text.utf8) + (text.complete ? "\n" : " !\n");
}

}  // namespace

int main() {
  std::string out;  // written at the end, byte for byte on both platforms
  for (int first = 0; first < 256; ++first) {
    PrintDecoded(std::string(1, static_cast<char>(first)), out);
    for (int second = 0; second < 256; ++second) {
      PrintDecoded({static_cast<char>(first), static_cast<char>(second)}, out);
    }
  }
  long refused = 0;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const auto bytes = Utf8ToShiftJis(Utf8(c));
    if (bytes) {
      char code[16];
      std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(c));
      out += "encode " + std::string(code) + " " + HexBytes(*bytes) + "\n";
    } else {
      ++refused;
    }
  }
  out += "refused " + std::to_string(refused) + " code points\n";
  std::string error;
  return WriteStandardOutput(out, error) ? 0 : 1;
}
