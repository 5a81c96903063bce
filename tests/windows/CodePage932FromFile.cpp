// Code page 932 from a table file in the form of text/CodePage932Table.txt,
// named by the environment variable FENWA_CODE_PAGE_932_TABLE: the converter of
// fenwa_text_tables_from_file, which lists what the rules of text/ShiftJis.cpp
// make of a converter other than the platform's (check_text_tables.py gives it
// Python's cp932 codec, which decodes more than iconv does).
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "text/CodePage932.h"
#include "text/CodePage932Lookup.h"

namespace {

const CodePage932Lookup& Table() {
  static const CodePage932Lookup table = [] {
    const char* path = std::getenv("FENWA_CODE_PAGE_932_TABLE");
    if (path == nullptr) throw std::runtime_error("FENWA_CODE_PAGE_932_TABLE names no table file");
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file) throw std::runtime_error(std::string("cannot read ") + path);
    return CodePage932Lookup(text.str());
  }();
  return table;
}

}  // namespace

std::optional<char32_t> CodePage932Decode(const unsigned char* bytes, std::size_t size) {
  return Table().Decode(bytes, size);
}

std::optional<std::string> CodePage932Encode(char32_t c) { return Table().Encode(c); }
