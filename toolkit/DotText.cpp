#include "toolkit/DotText.h"

#include "text/Terminal.h"

std::string DotQuoted(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (c == '\n') {
      quoted += "\\n";
    } else {
      quoted += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
  }
  return quoted + "\"";
}

std::string DotHtml(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
  }
  return escaped;
}

std::string DotName(std::string_view name) { return ClipToWidth(name, kLabelColumns); }
