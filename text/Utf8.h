// UTF-8, as the tools' JSON, messages and terminals have it: one character at
// a time, valid or not (overlong forms, surrogates, values past U+10FFFF and
// cut sequences are not).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct Utf8Character {
  char32_t code = 0;
  std::size_t length = 0;  // 0: the bytes there are not a UTF-8 character
};

// The character that starts at `text[at]`.
Utf8Character Utf8CharacterAt(std::string_view text, std::size_t at);

// Appends the UTF-8 of code point `c` (a Unicode scalar value) to `out`.
void AppendUtf8(char32_t c, std::string& out);
