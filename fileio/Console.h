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

#include <filesystem>
#include <string>
#include <vector>

// The program's arguments after its name, in UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// The file that UTF-8 `name` names.
std::filesystem::path PathFromUtf8(const std::string& name);

// All of standard input, byte for byte; false when it cannot be read.
bool ReadStandardInput(std::string& bytes);

// Writes UTF-8 `text` to standard output or standard error, unchanged.
void WriteStandardOutput(const std::string& text);
void WriteStandardError(const std::string& text);
