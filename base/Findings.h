// What a tolerant reader found wrong with a file. A problem makes the file one
// the converter refuses, or shows that it is damaged or not what the
// converter writes; a warning is an oddity the converter passes on unchanged.
#pragma once

#include <string>
#include <vector>

struct Findings {
  std::vector<std::string> problems;
  std::vector<std::string> warnings;

  void Problem(std::string text) { problems.push_back(std::move(text)); }
  void Warning(std::string text) { warnings.push_back(std::move(text)); }
};
