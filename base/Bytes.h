// Numbers in bytes, in either byte order. Files are decoded and encoded only
// through these, whatever the host's own byte order: nothing is ever cast from
// raw bytes to a struct.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace byte_order {

constexpr bool kHostIsLittleEndian = std::endian::native == std::endian::little;

constexpr std::uint16_t Swap16(std::uint16_t value) { return static_cast<std::uint16_t>((value >> 8) | (value << 8)); }
constexpr std::uint32_t Swap32(std::uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}

// The value of `bytes` read in the host's order (a plain load the compiler can see through).
template <typename T>
T Load(const std::uint8_t* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

template <typename T>
void Store(std::uint8_t* bytes, T value) {
  std::memcpy(bytes, &value, sizeof value);
}

}  // namespace byte_order

// A 16-bit value from two bytes, low byte first.
inline std::uint16_t ReadLE16(const std::uint8_t* bytes) {
  const auto value = byte_order::Load<std::uint16_t>(bytes);
  return byte_order::kHostIsLittleEndian ? value : byte_order::Swap16(value);
}

inline std::uint32_t ReadLE32(const std::uint8_t* bytes) {
  const auto value = byte_order::Load<std::uint32_t>(bytes);
  return byte_order::kHostIsLittleEndian ? value : byte_order::Swap32(value);
}

inline std::uint16_t ReadBE16(const std::uint8_t* bytes) {
  const auto value = byte_order::Load<std::uint16_t>(bytes);
  return byte_order::kHostIsLittleEndian ? byte_order::Swap16(value) : value;
}

inline std::uint32_t ReadBE32(const std::uint8_t* bytes) {
  const auto value = byte_order::Load<std::uint32_t>(bytes);
  return byte_order::kHostIsLittleEndian ? byte_order::Swap32(value) : value;
}

inline void StoreLE16(std::uint8_t* bytes, std::uint16_t value) {
  byte_order::Store(bytes, byte_order::kHostIsLittleEndian ? value : byte_order::Swap16(value));
}

inline void StoreLE32(std::uint8_t* bytes, std::uint32_t value) {
  byte_order::Store(bytes, byte_order::kHostIsLittleEndian ? value : byte_order::Swap32(value));
}

inline void StoreBE16(std::uint8_t* bytes, std::uint16_t value) {
  byte_order::Store(bytes, byte_order::kHostIsLittleEndian ? byte_order::Swap16(value) : value);
}

inline void StoreBE32(std::uint8_t* bytes, std::uint32_t value) {
  byte_order::Store(bytes, byte_order::kHostIsLittleEndian ? byte_order::Swap32(value) : value);
}

// A field of a file's record: its name in the file's format, and where it
// starts in the record. Its type says how wide it is, so that a word is never
// read as a byte: each file format reads and writes words and longs in its own
// byte order; a single byte is the same in both, and bytes are copied as they are.
template <std::uint32_t Width, bool Signed = false>
struct FieldOf {
  static constexpr std::uint32_t width = Width;
  const char* name;
  std::uint32_t offset;
};
using ByteField = FieldOf<1>;
using WordField = FieldOf<2>;
using SignedWordField = FieldOf<2, true>;  // two's complement
using LongField = FieldOf<4>;
// A run of bytes taken as it is (a text, a magic, bytes not interpreted).
template <std::uint32_t Width>
struct BytesField {
  static constexpr std::uint32_t width = Width;
  const char* name;
  std::uint32_t offset;
};

inline std::uint8_t Byte(const std::uint8_t* record, const ByteField& field) { return record[field.offset]; }
inline void PutByte(std::uint8_t* record, const ByteField& field, std::uint8_t value) { record[field.offset] = value; }
