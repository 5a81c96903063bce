#include "base/Fatal.h"

#include <cstring>

namespace {

// An assertion's text is composed without allocating: these write into its buffer.

// Writes `value` (below 100000) in decimal without leading zeros, NUL-terminated.
void FormatDecimal(unsigned value, char* out) {
  bool started = false;
  for (unsigned divisor : {10000u, 1000u, 100u, 10u, 1u}) {
    unsigned digit = value / divisor % 10;
    if (digit != 0 || started || divisor == 1) {
      *out++ = static_cast<char>('0' + digit);
      started = true;
    }
  }
  *out = '\0';
}

// Copies `text` with its NUL to `cursor`; returns the position of the copied NUL.
char* AppendText(char* cursor, const char* text) {
  while ((*cursor = *text) != '\0') {
    ++cursor;
    ++text;
  }
  return cursor;
}

}  // namespace

void FatalError(const std::string& text) { throw FatalErrorException(text); }

const char* DataErrorText(int number) {
  switch (number) {
    case kErrorObsoleteData: return "E005:Obsolete Data";
    case kErrorInsufficientNodes: return "E009:Insufficient nodes";
    case kErrorInsufficientRStat: return "E011:Insufficient RSTAT";
    case 20: return "???";
    default: return "unknown";
  }
}

void DataError(int number, const std::string& detail) {
  std::string text = DataErrorText(number);
  if (!detail.empty()) text += " (" + detail + ")";
  FatalError(text);
}

void ReadFailure(int site, int cause, const char* what, std::uint64_t offset) {
  FatalError("read failure " + std::to_string(site) + "/" + std::to_string(cause) + ": the input ends inside " + what +
             " at offset " + std::to_string(offset));
}

void InputLimitError(const std::string& detail) { FatalError("input refused: " + detail); }

void AssertFailed(const char* expression, const char* file, unsigned line) {
  char assertion_text[4096];  // large enough for the longest source path a build can produce
  char number[8];
  FormatDecimal(line % 100000, number);
  char* const last = assertion_text + sizeof assertion_text - 1;
  char* cursor = assertion_text;
  const char* parts[] = {"Assertion failed: ", expression, ", file ", file, ", line ", number, "\n"};
  for (const char* part : parts) {
    if (std::strlen(part) <= static_cast<std::size_t>(last - cursor)) {
      cursor = AppendText(cursor, part);
      continue;
    }
    std::memcpy(cursor, part, static_cast<std::size_t>(last - cursor));  // keep what fits
    *last = '\0';
    break;
  }
  FatalError(assertion_text);
}
