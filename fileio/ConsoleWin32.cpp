#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "fileio/Console.h"
#include "fileio/ConsoleStreams.h"
#include "fileio/WideText.h"

namespace {

std::string Utf8FromWide(const wchar_t* wide) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string text(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
  text.pop_back();  // the terminating NUL
  return text;
}

// A console window shows the text through WriteConsoleW; a file or a pipe gets
// the UTF-8 bytes, with no CR added before the line feeds.
bool Write(FILE* stream, DWORD which, const std::string& text, std::string& error) {
  HANDLE handle = ::GetStdHandle(which);
  DWORD mode = 0;
  if (handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode)) {
    const std::wstring wide = WideFromUtf8(text);
    DWORD written = 0;
    if (wide.empty() || ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr))
      return true;
  }
  _setmode(_fileno(stream), _O_BINARY);
  return WriteStream(stream, text, error);
}

}  // namespace

std::vector<std::string> Utf8Arguments(int, char**) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

bool ReadStandardInput(std::string& bytes, std::uint64_t most, std::string& error) {
  _setmode(_fileno(stdin), _O_BINARY);  // no CR LF folding, no end at Ctrl-Z
  return ReadStream(stdin, bytes, most, error);
}

// A write to a pipe whose reader has gone fails there (ERROR_NO_DATA); nothing ends the process.
void KeepRunningOnClosedPipes() {}

bool WriteStandardOutput(const std::string& text, std::string& error) {
  return Write(stdout, STD_OUTPUT_HANDLE, text, error);
}

void WriteStandardError(const std::string& text) {
  std::string ignored;
  Write(stderr, STD_ERROR_HANDLE, text, ignored);
}
