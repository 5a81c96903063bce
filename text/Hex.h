// Bytes as hexadecimal text, as the tools show bytes that are not text (a
// name's Shift_JIS bytes, a string's bytes in the pool) and read them back.
#pragma once

#include <optional>
#include <string>

// Lower-case hexadecimal, two digits a byte, no separators.
std::string HexBytes(const std::string& bytes);
// The bytes of a hexadecimal text (blanks allowed between bytes); nullopt when malformed.
std::optional<std::string> ParseHexBytes(const std::string& hex);
