// What the companion tools report when they cannot go on: a file that cannot
// be read or laid out, a document refused, two files that cannot be compared.
// The converter's own failures take the fatal-error road (Fatal.h) instead.
// A refusal of a JSON text says where: the line and column, and the path of
// the field it is about ("routes[2].stops[0].station").
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

// A place in a text, counted from 1: lines end at line feeds, and a column
// counts characters, not bytes.
struct TextPosition {
  std::uint32_t line = 1;
  std::uint32_t column = 1;
};

class ToolError : public std::runtime_error {
 public:
  explicit ToolError(const std::string& what) : std::runtime_error(what) {}
  ToolError(TextPosition at, std::string path, const std::string& what)
      : std::runtime_error(what), at_(at), path_(std::move(path)) {}
  // Where in a JSON text, when the refusal is about one.
  const std::optional<TextPosition>& At() const { return at_; }
  // The field's path, empty when it names none.
  const std::string& Path() const { return path_; }

 private:
  std::optional<TextPosition> at_;
  std::string path_;
};
