#include "tests/support/Harness.h"

#include <sys/wait.h>

#include <cstdlib>

namespace fs = std::filesystem;

// Written out here rather than taken from the converter, so that a wrong byte there shows.
const std::string kUsageText =
    "FENWA \x92\x86\x8a\xd4\x83\x66\x81\x5b\x83\x5e\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc\x82\xf0"
    "\x8e\x77\x92\xe8\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81\x42\x0a";
const std::string kOpenFailureText =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x8a\x4a\x82\xaf\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd";
const std::string kCompletionText =
    "\x46\x65\x6e\x77\x61\x69\x6d\x67\x2e\x70\x64\x62\x20\x82\xaa\x8d\xec\x90\xac\x82\xb3\x82\xea\x82\xdc\x82\xb5"
    "\x82\xbd\x0a";

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

namespace {

std::string ConverterCommand() {
  return ConverterReplaced() ? std::string(std::getenv("FENWA_CONVERTER")) : ShellQuote(FENWAIMG_PATH);
}

}  // namespace

RunResult RunFenwaimg(const fs::path& folder, const std::vector<std::string>& args, const std::string& shell_setup) {
  return RunCommand(folder, ConverterCommand(), args, shell_setup);
}

RunResult RunCommand(const fs::path& folder, const std::string& program, const std::vector<std::string>& args,
                     const std::string& shell_setup) {
  TempDir capture;
  std::string command = "cd " + ShellQuote(folder.string()) + " && " + shell_setup + (shell_setup.empty() ? "" : "; ") +
                        "exec " + program;
  for (const std::string& arg : args) command += " " + ShellQuote(arg);
  command +=
      " >" + ShellQuote((capture / "out").string()) + " 2>" + ShellQuote((capture / "err").string()) + " </dev/null";
  const int raw = std::system(("/bin/sh -c " + ShellQuote(command)).c_str());
  RunResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  result.out = ReadText(capture / "out");
  result.err = ReadText(capture / "err");
  return result;
}

bool ConverterReplaced() {
  const char* custom = std::getenv("FENWA_CONVERTER");
  return custom != nullptr && *custom != '\0';
}

std::string ConsoleLines(const std::string& text) {
  const char* crlf = std::getenv("FENWA_EXPECT_CRLF");
  if (crlf == nullptr || std::string(crlf) != "1") return text;
  std::string converted;
  for (char c : text) converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return converted;
}

std::string TraceLine(const std::string& name) { return ConsoleLines("fn=" + name + "P\n"); }
