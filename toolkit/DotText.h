// Texts in Graphviz's language, shared by the picture of a network and the
// picture of a difference. Names reach them already escaped (text/Terminal.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A quoted Graphviz string: a line break kept as one, any other control character a space.
std::string DotQuoted(std::string_view text);
// A text inside an HTML-like Graphviz label.
std::string DotHtml(std::string_view text);

// The most columns of a name in a picture: Graphviz refuses a string of
// 16384 characters or more, and a name of a few hundred hides the picture.
inline constexpr std::size_t kLabelColumns = 60;
// A name cut to kLabelColumns, with "…" where it was cut.
std::string DotName(std::string_view name);
