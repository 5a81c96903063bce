#include "text/ShiftJis.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace {

constexpr const char* kShiftJis = "CP932";
constexpr const char* kUtf8 = "UTF-8";

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
    if (handle_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }
  ~Converter() { iconv_close(handle_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much of [in, in + size) as it can; returns the bytes consumed
  // and appends the output. Stops at the first byte that does not convert.
  std::size_t Convert(const char* in, std::size_t size, std::string& out) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char* source = const_cast<char*>(in);
    std::size_t left = size;
    char buffer[256];
    while (left > 0) {
      char* target = buffer;
      std::size_t room = sizeof buffer;
      const std::size_t result = iconv(handle_, &source, &left, &target, &room);
      out.append(buffer, static_cast<std::size_t>(target - buffer));
      if (result == static_cast<std::size_t>(-1) && errno != E2BIG) break;
    }
    return size - left;
  }

 private:
  iconv_t handle_;
};

}  // namespace

std::optional<std::string> Utf8ToShiftJis(const std::string& utf8) {
  Converter converter(kShiftJis, kUtf8);
  std::string out;
  if (converter.Convert(utf8.data(), utf8.size(), out) != utf8.size()) return std::nullopt;
  return out;
}

DecodedText ShiftJisToUtf8(const std::string& bytes) {
  Converter converter(kUtf8, kShiftJis);
  DecodedText text;
  std::size_t done = 0;
  while (done < bytes.size()) {
    done += converter.Convert(bytes.data() + done, bytes.size() - done, text.utf8);
    if (done < bytes.size()) {
      text.utf8 += "\xEF\xBF\xBD";
      text.complete = false;
      ++done;
    }
  }
  return text;
}

std::string HexBytes(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

std::optional<std::string> ParseHexBytes(const std::string& hex) {
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string bytes;
  for (std::size_t i = 0; i < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    if (i + 1 >= hex.size() || digit(hex[i]) < 0 || digit(hex[i + 1]) < 0) return std::nullopt;
    bytes += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
    i += 2;
  }
  return bytes;
}
