// The one road by which every failure ends a conversion.
//
// A failure never returns to its caller: FatalError throws FatalErrorException,
// which the converter's entry catches to end the process with exit status 9.
// Because every failure takes this one road, tests can drive failures in-process.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// Thrown by FatalError; what() is the diagnostic shown on standard error.
class FatalErrorException : public std::runtime_error {
 public:
  explicit FatalErrorException(const std::string& text) : std::runtime_error(text) {}
};

// Cause code of every read failure: the read came up short.
inline constexpr int kShortRead = 8;

// Internal numbers of the data errors.
inline constexpr int kErrorObsoleteData = 3;
inline constexpr int kErrorInsufficientNodes = 6;
inline constexpr int kErrorInsufficientRStat = 19;

[[noreturn]] void FatalError(const std::string& text);

// The data error's text ("E005:Obsolete Data"), optionally followed by detail.
[[noreturn]] void DataError(int number, const std::string& detail = "");
const char* DataErrorText(int number);

// A read of `what` (the record it was for) at `offset` of the input came up
// short; `site` numbers the read and `cause` says why.
[[noreturn]] void ReadFailure(int site, int cause, const char* what, std::uint64_t offset);

// The input asks for more than the image can hold, or refers outside its own tables.
[[noreturn]] void InputLimitError(const std::string& detail);

// Composes "Assertion failed: EXPR, file FILE, line N" and fails with it.
[[noreturn]] void AssertFailed(const char* expression, const char* file, unsigned line);

// Always active, whatever the build type.
#define FENWA_ASSERT(condition) ((condition) ? static_cast<void>(0) : AssertFailed(#condition, __FILE__, __LINE__))
