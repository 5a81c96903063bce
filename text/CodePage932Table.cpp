// Code page 932 from the table kept in the repository (text/CodePage932Table.txt,
// glibc's iconv written down), for a platform whose C library has no converter
// for it, such as Emscripten's; CMake builds it with FENWA_CODE_PAGE_TABLE.
#include "text/CodePage932.h"
#include "text/CodePage932Lookup.h"

std::optional<char32_t> CodePage932Decode(const unsigned char* bytes, std::size_t size) {
  return CodePage932Lookup::Kept().Decode(bytes, size);
}

std::optional<std::string> CodePage932Encode(char32_t c) { return CodePage932Lookup::Kept().Encode(c); }
