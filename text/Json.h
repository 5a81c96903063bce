// JSON as the companion tools read and write it.
//
// JsonWriter writes a document as it goes, indented by two blanks a level,
// each member and each array item on a line of its own, text unescaped but
// for what JSON requires (quotes, backslashes and control characters).
//
// JsonReader reads a document token by token, without building a tree, so
// that what it reads goes straight into the reader's own records. It is
// strict: the text must be one JSON value with nothing but white space behind
// it, in UTF-8 (one byte order mark before it, as editors on Windows save it,
// is passed over; lines and columns count from the character after it);
// control characters inside strings, lone surrogates, leading zeros, nesting
// deeper than kMostDepth and a string or number longer than kMostTokenBytes
// are refused. Every refusal is a JsonError that knows the offset where it
// happened; LineAndColumn turns that into the line and column a person finds it at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/ToolError.h"

class JsonWriter {
 public:
  // Writes to `out`. With `drain`, whenever `out` holds a megabyte or more
  // between two values, drain(out) takes it (and must leave `out` empty), so
  // that a large document need not be held whole.
  explicit JsonWriter(std::string& out, std::function<void(std::string&)> drain = {})
      : out_(out), drain_(std::move(drain)) {}

  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  // The key of the next member of the object being written.
  void Key(std::string_view key);

  void String(std::string_view utf8);
  void Unsigned(std::uint64_t value);
  void Signed(std::int64_t value);
  void Null();
  void Bool(bool value);

 private:
  void Open(char bracket);
  void Close(char bracket);
  void BeforeValue();
  void NewLine();
  void Quote(std::string_view utf8);

  std::string& out_;
  std::function<void(std::string&)> drain_;
  std::vector<bool> has_items_;  // one a container being written
  bool after_key_ = false;
};

// A refusal of the text, at a byte offset of it.
class JsonError : public std::runtime_error {
 public:
  JsonError(std::size_t offset, const std::string& what) : std::runtime_error(what), offset_(offset) {}
  std::size_t Offset() const { return offset_; }

 private:
  std::size_t offset_;
};

// The UTF-8 byte order mark, which some editors put at the start of a text.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Where an offset of `text` is (from after a byte order mark).
TextPosition LineAndColumn(std::string_view text, std::size_t offset);

// A text given a piece at a time: pieces(buffer, room) puts up to `room` bytes
// into `buffer` and returns how many (0 at the end).
using JsonPieces = std::function<std::size_t(char*, std::size_t)>;

class JsonReader {
 public:
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };

  static constexpr std::size_t kMostDepth = 64;
  // The most bytes a string (between its quotes) or a number takes in the text.
  static constexpr std::size_t kMostTokenBytes = 1u << 20;

  // Reads `text`, which must outlive the reader.
  explicit JsonReader(std::string_view text) : text_(text) {}
  // Reads what `more` gives a piece at a time: more(buffer, room) puts up to
  // `room` bytes into `buffer` and returns how many (0 at the end). Only the
  // string or number being read is kept, so a document is never held whole.
  explicit JsonReader(JsonPieces more) : more_(std::move(more)) {}

  // The type of the next value, which starts at Offset().
  Type Peek();
  // The offset of the next token in the whole text, and where a person finds it.
  std::size_t Offset();
  TextPosition Here() { return PositionOf(Offset()); }
  // Where an offset lies: one of the value being read or after it (an earlier
  // one of a text read whole is counted from the start).
  TextPosition PositionOf(std::size_t offset) const;

  void Null();
  bool Bool();
  // An integer; a number with a fraction or an exponent, or outside what 64
  // bits hold, is refused with `what` as the reason.
  std::int64_t Integer(const char* what = "must be an integer");
  std::string String();

  // Objects: BeginObject, then NextKey until it returns false (at the closing
  // brace), reading each member's value in between. Arrays likewise with NextItem.
  void BeginObject();
  bool NextKey(std::string& key);
  // Where the key NextKey read last starts.
  const TextPosition& KeyAt() const { return key_at_; }
  void BeginArray();
  bool NextItem();
  // Passes over the next value, whatever it is.
  void Skip();
  // After the document: nothing but white space may follow.
  void Finish();

  [[noreturn]] void Fail(const std::string& what) { Fail(Offset(), what); }
  [[noreturn]] void Fail(std::size_t offset, const std::string& what) const { throw JsonError(offset, what); }

 private:
  // True when `count` more bytes are there from the position on (reading more when streaming).
  bool Have(std::size_t count = 1) { return at_ + count <= text_.size() || Refill(count); }
  bool Refill(std::size_t count);
  char At(std::size_t ahead = 0) const { return text_[at_ + ahead]; }
  std::size_t Absolute(std::size_t at) const { return base_ + at; }
  void PassByteOrderMark();
  void SkipSpace();
  char Next();  // the next character, past white space; refused at the end of the text
  void Expect(char c, const char* what);
  void Literal(std::string_view word);
  void Enter();
  bool Leave(char c, char bracket);
  void Separate(char c, const char* what);
  void ScanString(std::string* out);  // appends to `out` unless it is null
  void CheckLength(std::size_t start, const char* what) const;
  void AppendEscape(std::string* out);
  std::uint32_t Hex4();
  // Passes over a number, and says whether it is an integer that 64 bits hold
  // (its magnitude then in `magnitude`).
  enum class Number { kInteger, kNotInteger, kTooLarge };
  Number ScanNumber(std::uint64_t& magnitude, bool& negative);

  JsonPieces more_;               // empty when the text is read whole
  std::string buffer_;            // when streaming: the bytes kept, from the start of the token being read
  std::string_view text_;         // the text, or the buffer
  std::size_t base_ = 0;          // the offset in the whole text of text_[0]
  std::size_t at_ = 0;            // the position, in text_
  bool ended_ = false;            // `more` has given everything
  bool started_ = false;          // a byte order mark at the start has been looked for
  std::uint32_t line_ = 1;        // the line the position is on
  std::size_t line_start_ = 0;    // where that line starts, in the whole text
  std::size_t token_ = kNoToken;  // where the string or number being read starts, kept until it ends
  static constexpr std::size_t kNoToken = static_cast<std::size_t>(-1);
  std::uint32_t base_column_ = 1;  // the column of text_[0] when it lies on the line being read
  // The column of an offset on that line that was asked for last: the next is
  // counted from there, so that a document on one long line costs no more.
  mutable std::size_t counted_to_ = 0;
  mutable std::uint32_t counted_column_ = 1;
  TextPosition key_at_;
  std::vector<bool> first_;  // per open container: no member or item read yet
};
