#include "tests/e2e/Harness.h"

#include <sys/wait.h>

#include <cstdlib>

#include "driver/Messages.h"

namespace fs = std::filesystem;

const std::string kUsageText = kUsageMessage;
const std::string kOpenFailureText = kOpenFailureMessage;
const std::string kCompletionText = kCompletionMessage;

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
  command += " >" + ShellQuote((capture / "out").string()) + " 2>" + ShellQuote((capture / "err").string()) +
             " </dev/null";
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
