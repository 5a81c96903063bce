// Runs the real converter in a folder of its own and captures what it prints.
//
// The converter run is FENWAIMG_PATH, or the command in the environment
// variable FENWA_CONVERTER when set (for example the Windows build under an
// emulator). With FENWA_EXPECT_CRLF=1 each expected line feed is CR LF.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the shell command `program` with `args` in `folder`, capturing what it
// prints. `shell_setup` runs first in the same shell, after entering `folder`.
RunResult RunCommand(const std::filesystem::path& folder, const std::string& program,
                     const std::vector<std::string>& args, const std::string& shell_setup = "");

// Runs the converter in `folder` with `args`. `shell_setup` runs first in the
// same shell (for limits or folder changes); `folder` is entered before it.
RunResult RunFenwaimg(const std::filesystem::path& folder, const std::vector<std::string>& args,
                      const std::string& shell_setup = "");

// True when FENWA_CONVERTER replaces the native binary (the Windows build under Wine).
bool ConverterReplaced();

// Expected console text: each "\n" becomes the platform's line end.
std::string ConsoleLines(const std::string& text);

// The console messages, as the converter's Shift_JIS bytes.
std::string TraceLine(const std::string& name);
extern const std::string kUsageText;
extern const std::string kOpenFailureText;
extern const std::string kCompletionText;

// Quotes `text` for the POSIX shell.
std::string ShellQuote(const std::string& text);
