// Checks, on Windows itself, what the Win32 file layer promises: exclusive
// opens, bytes with no text translation, and a replacement that leaves the
// target alone on failure; then runs the converter while this program holds
// its input or its output.
//
// Usage: fenwa_windows_checks FENWAIMG.EXE   (run in an empty folder)
// Prints each failed check on standard error; exit status 0 when all pass.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "driver/Messages.h"
#include "fileio/CurrentFile.h"
#include "fileio/Platform.h"
#include "network/NetworkFile.h"

namespace {

int checks = 0;
int failures = 0;
std::string group = "";

void Check(bool ok, const std::string& what) {
  ++checks;
  if (ok) return;
  ++failures;
  std::fprintf(stderr, "FAIL [%s] %s\n", group.c_str(), what.c_str());
}

void WriteWhole(const char* name, const std::string& bytes) {
  HANDLE file = ::CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  const bool ok = file != INVALID_HANDLE_VALUE &&
                  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  Check(ok, std::string("test setup: write ") + name);
}

// The file's bytes, or nothing when it cannot be read.
std::optional<std::string> ReadWhole(const char* name) {
  HANDLE file = ::CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  DWORD got = 0;
  while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  ::CloseHandle(file);
  return bytes;
}

bool Exists(const char* name) { return ::GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> FolderNames() {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA("*", &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0) {
      names.push_back(found.cFileName);
    }
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
  return names;
}

void EmptyFolder() {
  for (const std::string& name : FolderNames()) {
    if (!::DeleteFileA(name.c_str())) ::RemoveDirectoryA(name.c_str());
  }
}

// Another opener's handle, as a user's editor or a second converter would hold it.
class Holder {
 public:
  Holder(const char* name, DWORD access, DWORD share)
      : handle_(::CreateFileA(name, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)),
        error_(::GetLastError()) {}
  ~Holder() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
  DWORD Error() const { return error_; }

 private:
  HANDLE handle_;
  DWORD error_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A second opener that asks for nothing exclusive must still be refused.
bool SecondOpenerIsRefused(const char* name) {
  Holder second(name, GENERIC_READ, kShareAll);
  return !second.Held() && second.Error() == ERROR_SHARING_VIOLATION;
}

// The file every check below opens, reads and writes.
CurrentFile current;

std::string ReadAllCurrent() {
  std::string bytes;
  char chunk[7];
  for (int got; (got = current.Read(chunk, sizeof chunk)) > 0;) bytes.append(chunk, static_cast<std::size_t>(got));
  return bytes;
}

std::string TemporaryName() {
  for (const std::string& name : FolderNames()) {
    if (name.find(".tmp") != std::string::npos) return name;
  }
  return "";
}

// Bytes that a text-mode stream would change: CR LF, a lone LF, Ctrl-Z, NUL.
const std::string kAwkwardBytes = std::string("AD4\x1A\r\n\n\x1A\0\r", 10) + std::string(300000, '\n') + "end";

void ExclusiveOpen() {
  group = "exclusive open";
  WriteWhole("in.dat", kAwkwardBytes);
  Check(current.Open("in.dat"), "an existing file opens");
  Check(SecondOpenerIsRefused("in.dat"), "a second opener is refused with a sharing violation while it is held");
  Check(ReadAllCurrent() == kAwkwardBytes, "reads every byte as it lies, CR, LF and Ctrl-Z included");
  current.Close();
  Check(!SecondOpenerIsRefused("in.dat"), "the file is free again once closed");

  {
    Holder editor("in.dat", GENERIC_READ, kShareAll);
    Check(editor.Held(), "test setup: hold in.dat");
    Check(!current.Open("in.dat"), "an open is refused while another opener holds the file, even a sharing one");
    Check(current.Error().find("error 32") != std::string::npos,
          "the failure names the sharing violation: " + current.Error());
  }
  Check(!current.Open("missing.dat"), "a missing file does not open");
  Check(!Exists("missing.dat"), "and is not created");
  Check(::CreateDirectoryA("folder", nullptr) != 0, "test setup: make a folder");
  Check(!current.Open("folder"), "a folder is refused");
  EmptyFolder();
}

void Replacement() {
  group = "replacement";
  const std::string old_bytes = "previous image";
  const std::string new_bytes(70000, '\n');
  WriteWhole("target.pdb", old_bytes);
  Check(current.OpenReplacement("target.pdb"), "a replacement opens");
  const std::string temp = TemporaryName();
  Check(!temp.empty() && temp.rfind("target.pdb.tmp", 0) == 0, "beside the target under a temporary name: " + temp);
  Check(!temp.empty() && SecondOpenerIsRefused(temp.c_str()), "the temporary file is held exclusively");
  current.Write(new_bytes.data(), static_cast<std::int32_t>(new_bytes.size()));
  Check(ReadWhole("target.pdb") == old_bytes, "the target is untouched while the replacement is written");
  Check(current.CommitReplacement(), "the commit succeeds");
  Check(ReadWhole("target.pdb") == new_bytes, "the commit replaces an existing target byte for byte");
  Check(FolderNames() == std::vector<std::string>{"target.pdb"}, "no temporary file remains after a commit");

  {
    Holder viewer("target.pdb", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    Check(viewer.Held(), "test setup: hold target.pdb");
    Check(current.OpenReplacement("target.pdb"), "a replacement opens beside a held target");
    current.Write("new", 3);
    Check(!current.CommitReplacement(), "the commit fails while another opener holds the target");
    Check(!current.Error().empty(), "and says why: " + current.Error());
  }
  Check(ReadWhole("target.pdb") == new_bytes, "a failed commit leaves the target as it was");
  Check(FolderNames() == std::vector<std::string>{"target.pdb"}, "a failed commit removes its temporary file");

  Check(current.OpenReplacement("target.pdb"), "a replacement opens again");
  current.Write("new", 3);
  current.Close();
  Check(ReadWhole("target.pdb") == new_bytes, "closing without a commit leaves the target");
  Check(FolderNames() == std::vector<std::string>{"target.pdb"}, "closing without a commit removes the temporary file");

  Check(::CreateDirectoryA("dir.pdb", nullptr) != 0, "test setup: make a folder");
  Check(!current.OpenReplacement("dir.pdb"), "a folder is never replaced");
  Check(current.Error() == "not a regular file (a folder)", "and says why: " + current.Error());
  Check(!current.OpenReplacement("NUL"), "a device is never replaced");
  Check(current.Error() == "not a regular file (a device)", "and says why: " + current.Error());
  Check(::GetFileAttributesA("dir.pdb") != INVALID_FILE_ATTRIBUTES &&
            (::GetFileAttributesA("dir.pdb") & FILE_ATTRIBUTE_DIRECTORY) != 0,
        "the folder stays");

  EmptyFolder();

  WriteWhole("hidden.pdb", old_bytes);
  Check(::SetFileAttributesA("hidden.pdb", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE) != 0,
        "test setup: hide the target");
  Check(current.OpenReplacement("hidden.pdb"), "a replacement of a hidden target opens");
  const std::string first = TemporaryName();
  current.Write("new", 3);
  Check(current.OpenReplacement("hidden.pdb"), "a second replacement opens");
  Check(TemporaryName() != first, "each replacement gets a name of its own");
  current.Write("new", 3);
  Check(current.CommitReplacement(), "the commit succeeds");
  Check((::GetFileAttributesA("hidden.pdb") & FILE_ATTRIBUTE_HIDDEN) != 0,
        "the new image keeps the old one's attributes");
  EmptyFolder();
}

// A replacement held open by a child process that Ctrl+C then ends. Needs a
// console: the script that runs these checks gives them a terminal.
void Interruption(const std::string& self) {
  group = "interruption";
  WriteWhole("target.pdb", "previous image");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string command = "\"" + self + "\" --hold-replacement target.pdb";
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    Check(false, "test setup: start " + command);
    return;
  }
  for (int wait = 0; wait < 200 && !ReadWhole("ready").has_value(); ++wait) ::Sleep(50);
  Check(TemporaryName().rfind("target.pdb.tmp-", 0) == 0, "the child writes a temporary file");
  // Sent to every process of the console; this one (after the child started, which would inherit it) ignores it.
  ::SetConsoleCtrlHandler(nullptr, TRUE);
  Check(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0, "Ctrl+C is sent (on a console)");
  const bool ended = ::WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0;
  ::SetConsoleCtrlHandler(nullptr, FALSE);
  if (!ended) ::TerminateProcess(process.hProcess, 1);
  Check(ended, "Ctrl+C ends the writer");
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  ::DeleteFileA("ready");
  Check(TemporaryName().empty(), "an interrupted replacement leaves no temporary file");
  Check(ReadWhole("target.pdb") == std::string("previous image"), "and the target as it was");
  EmptyFolder();
}

// The child of Interruption: opens a replacement, writes part of it, says so, and waits.
int HoldReplacement(const char* target) {
  PlatformPrepareProcess();
  CurrentFile file;
  if (!file.OpenReplacement(target)) return 4;
  file.Write("partial", 7);  // straight to the temporary file
  WriteWhole("ready", "");
  ::Sleep(60000);
  return 3;
}

struct ConverterRun {
  DWORD status = 0xFFFFFFFF;
  std::string out;
};

ConverterRun RunConverter(const std::string& exe, const std::string& argument) {
  ConverterRun run;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE out = ::CreateFileA("stdout.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE err = ::CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  std::string command = "\"" + exe + "\" \"" + argument + "\"";
  if (::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::GetExitCodeProcess(process.hProcess, &run.status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  } else {
    Check(false, "test setup: start " + command);
  }
  ::CloseHandle(out);
  ::CloseHandle(err);
  run.out = ReadWhole("stdout.txt").value_or("");
  ::DeleteFileA("stdout.txt");
  return run;
}

std::string Crlf(const std::string& text) {
  std::string converted;
  for (char c : text) converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return converted;
}

std::string SmallNetworkFile() {
  NetworkDescription network;
  for (std::uint16_t i = 0; i < 4; ++i) {
    network.stations.push_back({static_cast<std::uint16_t>(0x100 + i), 0x200, 0, static_cast<std::uint16_t>(3 - i), i});
  }
  network.strings = {"\x93\x8c\x93\x73\x90\xfc", "AAA line", "BBB line"};
  for (std::uint16_t r = 0; r < 3; ++r) {
    RouteDescription route;
    route.name_index = r;
    route.company_length = r == 0 ? 0 : 3;
    route.stops = {{r, 1}, {static_cast<std::uint16_t>(r + 1), 2}};
    network.routes.push_back(route);
  }
  network.nodes = {{1, 2, {{1, 4}}}, {5, 6, {{0, 9}}}};
  const std::vector<std::uint8_t> bytes = BuildNetworkFile(network);
  return std::string(bytes.begin(), bytes.end());
}

void Converter(const std::string& exe) {
  group = "converter";
  const std::string network = SmallNetworkFile();
  const std::string traces = Crlf("fn=net.datP\nfn=fenwaimg.pdbP\n");
  WriteWhole("net.dat", network);

  ConverterRun run = RunConverter(exe, "net.dat");
  Check(run.status == 0, "a valid input converts: status " + std::to_string(run.status));
  Check(run.out == traces + Crlf(kCompletionMessage), "each line ends in CR LF in a redirected file");
  const std::optional<std::string> image = ReadWhole("fenwaimg.pdb");
  Check(image.has_value() && image->size() > 78, "the image is written");

  {
    Holder editor("net.dat", GENERIC_READ, kShareAll);
    Check(editor.Held(), "test setup: hold net.dat");
    run = RunConverter(exe, "net.dat");
    Check(run.status == 9, "a held input ends in status 9: " + std::to_string(run.status));
    Check(run.out == Crlf("fn=net.datP\n") + kOpenFailureMessage, "a held input is reported as unopenable");
  }
  Check(ReadWhole("fenwaimg.pdb") == image, "a refused input leaves the image");

  WriteWhole("fenwaimg.pdb", "old");
  {
    Holder viewer("fenwaimg.pdb", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    Check(viewer.Held(), "test setup: hold fenwaimg.pdb");
    run = RunConverter(exe, "net.dat");
    Check(run.status == 9, "an image that cannot be replaced ends in status 9: " + std::to_string(run.status));
    Check(run.out == traces + kOpenFailureMessage, "and is reported as unopenable");
  }
  Check(ReadWhole("fenwaimg.pdb") == std::string("old"), "the held image keeps its bytes");
  std::vector<std::string> names = FolderNames();
  Check(names == std::vector<std::string>{"fenwaimg.pdb", "net.dat"} ||
            names == std::vector<std::string>{"net.dat", "fenwaimg.pdb"},
        "no temporary file is left behind");

  run = RunConverter(exe, "net.dat");
  Check(run.status == 0 && ReadWhole("fenwaimg.pdb") == image, "once released, the image is replaced as before");
  EmptyFolder();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--hold-replacement") == 0) return HoldReplacement(argv[2]);
  if (argc != 2) {
    std::fprintf(stderr, "usage: fenwa_windows_checks FENWAIMG.EXE (run in an empty folder)\n");
    return 2;
  }
  if (!FolderNames().empty()) {
    std::fprintf(stderr, "fenwa_windows_checks: the working folder must be empty\n");
    return 2;
  }
  ExclusiveOpen();
  Replacement();
  char self[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, self, sizeof self);
  Interruption(self);
  Converter(argv[1]);
  std::fprintf(stderr, "fenwa_windows_checks: %d of %d checks passed\n", checks - failures, checks);
  return failures == 0 ? 0 : 1;
}
