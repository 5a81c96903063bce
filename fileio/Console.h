// The command line and the standard streams of the companion tools, the same
// on every platform: arguments and file names in UTF-8, and output written
// byte for byte (no line-end translation), so that a tool prints the same
// bytes on Windows as on Linux.
//
// On Windows the arguments come from the wide command line, not the ANSI code
// page, so Japanese file names survive; and text written to a console window
// (not to a file or a pipe) is shown through the console's wide interface, so
// it reads right whatever the console's code page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The program's arguments after its name, in UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// All of standard input, byte for byte, at most `most` bytes; false with the
// reason in `error` when it cannot be read or holds more.
bool ReadStandardInput(std::string& bytes, std::uint64_t most, std::string& error);

// From now on a write to a pipe whose reader has gone fails with the system's
// reason (a broken pipe) instead of ending the process (POSIX's SIGPIPE);
// Windows has no such signal.
void KeepRunningOnClosedPipes();

// Writes UTF-8 `text` to standard output, unchanged; false with the system's
// reason in `error` when not every byte got there.
bool WriteStandardOutput(const std::string& text, std::string& error);
// Writes UTF-8 `text` to standard error, unchanged, as far as it can.
void WriteStandardError(const std::string& text);
