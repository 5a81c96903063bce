// Code page 932 through the Win32 code page functions, one character at a time.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "text/CodePage932.h"

namespace {

constexpr UINT kCodePage = 932;

}  // namespace

std::optional<char32_t> CodePage932Decode(const unsigned char* bytes, std::size_t size) {
  wchar_t wide[4];
  // MB_ERR_INVALID_CHARS: a sequence the code page does not define fails
  // instead of becoming the default character.
  const int count = ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes),
                                          static_cast<int>(size), wide, 4);
  if (count != 1 || (wide[0] >= 0xD800 && wide[0] <= 0xDFFF)) return std::nullopt;
  return static_cast<char32_t>(wide[0]);
}

std::optional<std::string> CodePage932Encode(char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  wchar_t wide[2];
  int length = 1;
  if (c < 0x10000) {
    wide[0] = static_cast<wchar_t>(c);
  } else {
    wide[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
    wide[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    length = 2;
  }
  char bytes[8];
  BOOL substituted = FALSE;
  // WC_NO_BEST_FIT_CHARS: only exact forms; a character without one sets `substituted`.
  const int count =
      ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, length, bytes, sizeof bytes, nullptr, &substituted);
  if (count <= 0 || substituted) return std::nullopt;
  return std::string(bytes, static_cast<std::size_t>(count));
}
