// Text from files, made safe and measured for a terminal.
//
// Names come from files that anybody may have made: shown as they are, a
// control character in one could move the cursor, clear the screen, change
// the window's title or reverse the text around it. Everything the tools show
// of a file (the summary, the pictures, every message) goes through Escaped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// `utf8` with every control character (C0, DEL, C1), every character that
// changes the direction of text, and every byte that is not UTF-8 written as
// an escape: \xNN for a byte below 0x80 or not UTF-8, \uNNNN for a character.
std::string Escaped(std::string_view utf8);
// The same, in double quotes.
std::string Quoted(std::string_view utf8);
// Bytes that are meant to be ASCII (a tag, an identity): printable ASCII as it
// is, every other byte as \xNN.
std::string AsciiEscaped(std::string_view bytes);

// The columns `utf8` takes on a terminal: two for each wide East Asian character.
std::size_t DisplayWidth(std::string_view utf8);
// `utf8` cut to `columns` columns, with "…" where it was cut.
std::string ClipToWidth(std::string_view utf8, std::size_t columns);
