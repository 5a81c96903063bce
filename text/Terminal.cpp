#include "text/Terminal.h"

#include <cstdint>
#include <cstdio>

#include "text/Utf8.h"

namespace {

bool NeedsEscape(char32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x061C || code == 0x200E || code == 0x200F ||
         (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

bool Wide(char32_t code) {
  return (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
         (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
         (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
         (code >= 0xFFE0 && code <= 0xFFE6) || code >= 0x20000;
}

}  // namespace

std::string Escaped(std::string_view utf8) {
  std::string text;
  text.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Character c = Utf8CharacterAt(utf8, at);
    char escape[12];
    if (c.length == 0) {
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(utf8[at]));
      text += escape;
      ++at;
      continue;
    }
    if (NeedsEscape(c.code)) {
      std::snprintf(escape, sizeof escape, c.code < 0x80 ? "\\x%02X" : "\\u%04X", static_cast<unsigned>(c.code));
      text += escape;
    } else {
      text.append(utf8.substr(at, c.length));
    }
    at += c.length;
  }
  return text;
}

std::string Quoted(std::string_view utf8) { return "\"" + Escaped(utf8) + "\""; }

std::string AsciiEscaped(std::string_view bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      text += escaped;
    }
  }
  return text;
}

std::size_t DisplayWidth(std::string_view utf8) {
  std::size_t width = 0;
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Character c = Utf8CharacterAt(utf8, at);
    width += c.length > 0 && Wide(c.code) ? 2 : 1;
    at += c.length > 0 ? c.length : 1;
  }
  return width;
}

std::string ClipToWidth(std::string_view utf8, std::size_t columns) {
  if (DisplayWidth(utf8) <= columns) return std::string(utf8);
  std::string clipped;
  std::size_t width = 0;
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Character c = Utf8CharacterAt(utf8, at);
    const std::size_t length = c.length > 0 ? c.length : 1;
    const std::size_t take = c.length > 0 && Wide(c.code) ? 2 : 1;
    if (width + take > columns - 1) break;
    clipped.append(utf8.substr(at, length));
    width += take;
    at += length;
  }
  return clipped + "…";
}
