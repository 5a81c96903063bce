// Code page 932 through the C library's iconv ("CP932"), one character at a time.
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <new>
#include <stdexcept>

#include "text/CodePage932.h"

namespace {

constexpr const char* kCodePage = "CP932";
constexpr const char* kUtf32 = "UTF-32LE";

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
    if (handle_ == reinterpret_cast<iconv_t>(-1) && errno == ENOMEM) throw std::bad_alloc();
    if (handle_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }
  ~Converter() { iconv_close(handle_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // The whole of [in, in + size) converted; nullopt when some of it does not convert.
  std::optional<std::string> Convert(const unsigned char* in, std::size_t size) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char* source = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
    std::size_t left = size;
    char buffer[16];
    char* target = buffer;
    std::size_t room = sizeof buffer;
    if (iconv(handle_, &source, &left, &target, &room) == static_cast<std::size_t>(-1) || left != 0)
      return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(target - buffer));
  }

 private:
  iconv_t handle_;
};

// One pair of converters for each thread, opened on first use.
Converter& Decoder() {
  thread_local Converter converter(kUtf32, kCodePage);
  return converter;
}

Converter& Encoder() {
  thread_local Converter converter(kCodePage, kUtf32);
  return converter;
}

}  // namespace

std::optional<char32_t> CodePage932Decode(const unsigned char* bytes, std::size_t size) {
  const std::optional<std::string> out = Decoder().Convert(bytes, size);
  if (!out || out->size() != 4) return std::nullopt;
  const auto* u = reinterpret_cast<const unsigned char*>(out->data());
  return static_cast<char32_t>(u[0] | u[1] << 8 | u[2] << 16 | static_cast<std::uint32_t>(u[3]) << 24);
}

std::optional<std::string> CodePage932Encode(char32_t c) {
  const unsigned char in[4] = {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8),
                               static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 24)};
  return Encoder().Convert(in, sizeof in);
}
