// Texts in Graphviz's language, shared by the picture of a network and the
// picture of a difference. Names reach them already escaped (text/Terminal.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A quoted Graphviz string: a line break kept as one, any other control character a space.
std::string DotQuoted(std::string_view text);
// A text inside an HTML-like Graphviz label.
std::string DotHtml(std::string_view text);

// The most columns of a name in a picture: Graphviz refuses a string of
// 16384 characters or more, and a name of a few hundred hides the picture.
inline constexpr std::size_t kLabelColumns = 60;
// A name cut to kLabelColumns, with "…" where it was cut.
std::string DotName(std::string_view name);

// The font of every picture, as an attribute.
inline constexpr char kDotFont[] = "fontname=\"sans-serif\"";
// The attributes that grey out a station drawn only as the end of another route's stretch.
inline constexpr char kDotFaded[] = ", color=\"#aaaaaa\", fontcolor=\"#777777\"";

// The lines after "graph NAME {" of a picture of stations and routes: the
// layout, the stations as ellipses, the routes as thick lines.
std::string DotNetworkStyle();

// A row of a legend: a colour and what it stands for.
struct DotLegendRow {
  std::string colour;  // "#rrggbb"
  std::string text;
};
// A legend: a table headed by `title` in bold, a row per colour.
std::string DotLegend(std::string_view title, const std::vector<DotLegendRow>& rows);
