// The conversion driver: the command line and the fixed sequence of steps.
#pragma once

#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <vector>

// Converts the intermediate data file at `path` into fenwaimg.pdb in the
// current folder. Every failure throws FatalErrorException.
void ConvertFile(const char* path);

// The whole program: checks the arguments, converts, prints the outcome, and
// returns the exit status (0 on success, 9 on every failure).
int RunConverter(int argc, char** argv);

// What a run of the converter on a file named `name` holding `input` shows
// and makes, without a file system: the same exit status, standard output
// bytes (Shift_JIS, line feeds as on Linux) and standard error line as the
// program, and the bytes of fenwaimg.pdb when it succeeds. Every failure,
// memory running out included, ends in its result, as the program's does.
struct Conversion {
  int status = 0;
  std::string console;  // standard output
  std::string reason;   // why it failed; empty when it did not
  std::vector<std::uint8_t> image;

  // Standard error: empty, or "fenwaimg: REASON" and a line feed.
  std::string Error() const { return status == 0 ? std::string() : "fenwaimg: " + reason + "\n"; }
};
Conversion ConvertInMemory(std::span<const std::uint8_t> input, const std::string& name);

// Why a conversion failed, as its error line gives it: "out of memory" when
// memory ran out, otherwise what() without a closing line feed.
std::string ReasonOf(const std::exception& failure);

// The image of the network an input describes: its tables loaded, its
// companies grouped and its graph put into the state the handheld expects.
// Every failure throws FatalErrorException.
class NetworkInput;
class ByteWriter;
void BuildImage(const NetworkInput& input, ByteWriter& image);

inline constexpr int kExitFailure = 9;
