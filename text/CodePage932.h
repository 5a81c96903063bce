// One character of code page 932 through the platform: iconv's "CP932" on
// POSIX (CodePage932Iconv.cpp), MultiByteToWideChar and WideCharToMultiByte on
// Windows (CodePage932Win32.cpp); or, where the platform has no converter for
// it (Emscripten) or FENWA_CODE_PAGE_TABLE asks for it, the table kept in the
// repository (CodePage932Table.cpp). CMake builds one of the three. The rules
// that make all of them agree are in ShiftJis.cpp; this is only the table.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The code point that `size` bytes (one byte, or a lead and a trail byte)
// stand for; nullopt when they are not exactly one character.
std::optional<char32_t> CodePage932Decode(const unsigned char* bytes, std::size_t size);

// The bytes of code point `c`; nullopt when the code page has no exact form
// for it (no best-fit or substitute character is ever given).
std::optional<std::string> CodePage932Encode(char32_t c);
