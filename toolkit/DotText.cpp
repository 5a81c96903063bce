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

std::string DotNetworkStyle() {
  return std::string("  graph [layout=neato, overlap=false, splines=true, outputorder=edgesfirst, ") + kDotFont +
         "];\n  node [shape=ellipse, style=filled, fillcolor=white, fontsize=11, " + kDotFont +
         "];\n  edge [penwidth=3];\n";
}

std::string DotLegend(std::string_view title, const std::vector<DotLegendRow>& rows) {
  std::string text =
      "  legend [shape=plaintext, style=\"\", label=<<table border=\"1\" cellborder=\"0\" "
      "cellspacing=\"3\"><tr><td colspan=\"2\"><b>" +
      DotHtml(title) + "</b></td></tr>";
  for (const DotLegendRow& row : rows)
    text += "<tr><td bgcolor=\"" + row.colour + "\" width=\"24\"> </td><td align=\"left\">" + DotHtml(row.text) +
            "</td></tr>";
  return text + "</table>>];\n";
}
