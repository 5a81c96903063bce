#include "text/Json.h"

#include <algorithm>
#include <limits>

#include "text/Utf8.h"

// ---------------------------------------------------------------------------
// Writing.

void JsonWriter::NewLine() {
  out_ += '\n';
  out_.append(2 * has_items_.size(), ' ');
}

void JsonWriter::BeforeValue() {
  constexpr std::size_t kDrainSize = 1u << 20;
  if (drain_ && out_.size() >= kDrainSize) drain_(out_);
  if (after_key_ || has_items_.empty()) {
    after_key_ = false;
    return;
  }
  if (has_items_.back()) out_ += ',';
  has_items_.back() = true;
  NewLine();
}

void JsonWriter::Key(std::string_view key) {
  if (has_items_.back()) out_ += ',';
  has_items_.back() = true;
  NewLine();
  Quote(key);
  out_ += ": ";
  after_key_ = true;
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_ += bracket;
  has_items_.push_back(false);
}

void JsonWriter::Close(char bracket) {
  const bool had_items = has_items_.back();
  has_items_.pop_back();
  if (had_items) NewLine();
  out_ += bracket;
}

void JsonWriter::String(std::string_view utf8) {
  BeforeValue();
  Quote(utf8);
}

void JsonWriter::Quote(std::string_view utf8) {
  out_ += '"';
  for (char c : utf8) {
    switch (c) {
      case '"': out_ += "\\\""; break;
      case '\\': out_ += "\\\\"; break;
      case '\b': out_ += "\\b"; break;
      case '\f': out_ += "\\f"; break;
      case '\n': out_ += "\\n"; break;
      case '\r': out_ += "\\r"; break;
      case '\t': out_ += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          static const char digits[] = "0123456789abcdef";
          out_ += "\\u00";
          out_ += digits[(c >> 4) & 0xF];
          out_ += digits[c & 0xF];
        } else {
          out_ += c;
        }
    }
  }
  out_ += '"';
}

void JsonWriter::Unsigned(std::uint64_t value) {
  BeforeValue();
  out_ += std::to_string(value);
}

void JsonWriter::Signed(std::int64_t value) {
  BeforeValue();
  out_ += std::to_string(value);
}

void JsonWriter::Null() {
  BeforeValue();
  out_ += "null";
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ += value ? "true" : "false";
}

// ---------------------------------------------------------------------------
// Reading.

TextPosition LineAndColumn(std::string_view text, std::size_t offset) {
  TextPosition position;
  for (std::size_t i = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0; i < offset && i < text.size();
       ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\n') {
      ++position.line;
      position.column = 1;
    } else if ((byte & 0xC0) != 0x80) {
      ++position.column;
    }
  }
  return position;
}

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

const char* Describe(char c) {
  switch (c) {
    case '{': return "an object";
    case '[': return "an array";
    case '"': return "a string";
    case 't':
    case 'f': return "true or false";
    case 'n': return "null";
    default: return "a number";
  }
}

}  // namespace

bool JsonReader::Refill(std::size_t count) {
  while (at_ + count > text_.size() && more_ && !ended_) {
    // Keep the string or number being read, drop what lies before it (and its
    // column, for the messages' columns).
    const std::size_t keep = std::min(Absolute(at_), token_) - base_;
    if (base_ + keep > line_start_) base_column_ = PositionOf(base_ + keep).column;
    buffer_.erase(0, keep);
    base_ += keep;
    at_ -= keep;
    constexpr std::size_t kPiece = 64 * 1024;
    const std::size_t old = buffer_.size();
    buffer_.resize(old + kPiece);
    const std::size_t got = more_(buffer_.data() + old, kPiece);
    buffer_.resize(old + got);
    ended_ = got == 0;
    text_ = buffer_;
  }
  return at_ + count <= text_.size();
}

// Passed over once, before the first token; the first line starts after it.
void JsonReader::PassByteOrderMark() {
  started_ = true;
  if (!Have(kByteOrderMark.size()) || text_.substr(at_, kByteOrderMark.size()) != kByteOrderMark) return;
  at_ += kByteOrderMark.size();
  line_start_ = Absolute(at_);
}

// Line feeds are white space outside strings and refused inside them: the
// reader counts lines as it passes white space.
void JsonReader::SkipSpace() {
  if (!started_) PassByteOrderMark();
  for (; Have() && IsSpace(At()); ++at_) {
    if (At() == '\n') {
      ++line_;
      line_start_ = Absolute(at_ + 1);
    }
  }
}

TextPosition JsonReader::PositionOf(std::size_t offset) const {
  if (offset < line_start_) {
    if (!more_) return LineAndColumn(text_, offset);
    return {line_, 1};  // no longer kept; never asked of the tools' readers
  }
  if (offset < base_) return {line_, base_column_};  // likewise
  // Counted from the last offset asked for, the start of the line or the first byte kept.
  if (counted_to_ < line_start_ || counted_to_ < base_ || counted_to_ > offset) {
    const bool whole_line = line_start_ >= base_;
    counted_to_ = whole_line ? line_start_ : base_;
    counted_column_ = whole_line ? 1 : base_column_;
  }
  for (; counted_to_ < offset && counted_to_ - base_ < text_.size(); ++counted_to_) {
    if ((static_cast<unsigned char>(text_[counted_to_ - base_]) & 0xC0) != 0x80) ++counted_column_;
  }
  return {line_, counted_column_};
}

std::size_t JsonReader::Offset() {
  SkipSpace();
  return Absolute(at_);
}

char JsonReader::Next() {
  SkipSpace();
  if (!Have()) Fail(Absolute(at_), "the text ends before the JSON does");
  return At();
}

void JsonReader::Expect(char c, const char* what) {
  if (Next() != c) Fail(std::string("expected ") + what);
  ++at_;
}

JsonReader::Type JsonReader::Peek() {
  const char c = Next();
  switch (c) {
    case '{': return Type::kObject;
    case '[': return Type::kArray;
    case '"': return Type::kString;
    case 't':
    case 'f': return Type::kBool;
    case 'n': return Type::kNull;
    default:
      if (c == '-' || IsDigit(c)) return Type::kNumber;
      Fail(c == '\0' ? "a NUL byte where a JSON value should start"
                     : "expected a JSON value (an object, an array, a string, a number, true, false or null)");
  }
}

void JsonReader::Literal(std::string_view word) {
  if (!Have(word.size()) || text_.substr(at_, word.size()) != word) Fail("expected " + std::string(word));
  at_ += word.size();
}

void JsonReader::Null() {
  if (Peek() != Type::kNull) Fail(std::string("expected null, not ") + Describe(At()));
  Literal("null");
}

bool JsonReader::Bool() {
  if (Peek() != Type::kBool) Fail(std::string("expected true or false, not ") + Describe(At()));
  const bool value = At() == 't';
  Literal(value ? "true" : "false");
  return value;
}

void JsonReader::CheckLength(std::size_t start, const char* what) const {
  if (Absolute(at_) - start > kMostTokenBytes)
    Fail(start, std::string(what) + " longer than " + std::to_string(kMostTokenBytes) + " bytes");
}

// Passes over a number as JSON writes it, -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?.
JsonReader::Number JsonReader::ScanNumber(std::uint64_t& magnitude, bool& negative) {
  const std::size_t start = Absolute(at_);
  token_ = start;  // kept while it is read, for the place of its start
  Number number = Number::kInteger;
  magnitude = 0;
  const auto digits = [&](const char* what, bool integral) {
    if (!Have() || !IsDigit(At())) Fail(Absolute(at_), what);
    for (; Have() && IsDigit(At()); ++at_) {
      CheckLength(start, "a number");
      const auto digit = static_cast<std::uint64_t>(At() - '0');
      if (!integral || number != Number::kInteger) continue;
      if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) number = Number::kTooLarge;
      magnitude = magnitude * 10 + digit;
    }
  };
  negative = At() == '-';
  if (negative) ++at_;
  if (Have(2) && At() == '0' && IsDigit(At(1)))
    Fail(start, "a number may not start with the digit 0 followed by more digits");
  digits("a number needs a digit after its sign", true);
  if (Have() && At() == '.') {
    if (number == Number::kInteger) number = Number::kNotInteger;
    ++at_;
    digits("a number needs digits after its decimal point", false);
  }
  if (Have() && (At() == 'e' || At() == 'E')) {
    if (number == Number::kInteger) number = Number::kNotInteger;
    ++at_;
    if (Have() && (At() == '+' || At() == '-')) ++at_;
    digits("a number needs digits in its exponent", false);
  }
  token_ = kNoToken;
  const auto most = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (number == Number::kInteger && magnitude > most + (negative ? 1 : 0)) number = Number::kTooLarge;
  return number;
}

std::int64_t JsonReader::Integer(const char* what) {
  if (Peek() != Type::kNumber) Fail(what);
  const std::size_t start = Absolute(at_);
  std::uint64_t magnitude = 0;
  bool negative = false;
  const Number number = ScanNumber(magnitude, negative);
  if (number == Number::kNotInteger) Fail(start, what);  // a fraction or an exponent
  if (number == Number::kTooLarge) Fail(start, "the number is too large");
  return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

std::uint32_t JsonReader::Hex4() {
  std::uint32_t value = 0;
  for (int k = 0; k < 4; ++k, ++at_) {
    const char c = Have() ? At() : '\0';
    const int digit = IsDigit(c)               ? c - '0'
                      : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                               : -1;
    if (digit < 0) Fail(Absolute(at_), "\\u needs four hexadecimal digits");
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return value;
}

void JsonReader::AppendEscape(std::string* out) {
  const std::size_t start = Absolute(at_ - 1);  // at the backslash
  if (!Have()) Fail(start, "the text ends inside a string");
  const char c = At();
  ++at_;
  char plain = c;
  switch (c) {
    case '"':
    case '\\':
    case '/': break;
    case 'b': plain = '\b'; break;
    case 'f': plain = '\f'; break;
    case 'n': plain = '\n'; break;
    case 'r': plain = '\r'; break;
    case 't': plain = '\t'; break;
    case 'u': plain = '\0'; break;
    default: Fail(start, "unknown escape in a string");
  }
  if (c != 'u') {
    if (out) *out += plain;
    return;
  }
  std::uint32_t code = Hex4();
  if (code >= 0xDC00 && code <= 0xDFFF) Fail(start, "a low surrogate without a high one before it");
  if (code >= 0xD800 && code <= 0xDBFF) {
    if (!Have(2) || At() != '\\' || At(1) != 'u') Fail(start, "a high surrogate without a low one behind it");
    at_ += 2;
    const std::uint32_t low = Hex4();
    if (low < 0xDC00 || low > 0xDFFF) Fail(start, "a high surrogate without a low one behind it");
    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
  }
  if (out) AppendUtf8(static_cast<char32_t>(code), *out);
}

std::string JsonReader::String() {
  if (Peek() != Type::kString) Fail(std::string("expected a string, not ") + Describe(At()));
  std::string out;
  ScanString(&out);
  if (out.capacity() - out.size() > out.size() / 8 + 64) out.shrink_to_fit();  // kept as long as the document
  return out;
}

void JsonReader::ScanString(std::string* out) {
  const std::size_t start = Absolute(at_++);
  token_ = start;  // kept while it is read, for the place of its start
  for (;;) {
    // A run of printable ASCII is taken as it is, up to just past the most a string may take.
    const std::size_t end = std::min(text_.size(), start - base_ + kMostTokenBytes + 2);
    std::size_t plain = at_;
    while (plain < end && text_[plain] >= 0x20 && text_[plain] < 0x7F && text_[plain] != '"' && text_[plain] != '\\')
      ++plain;
    if (out) out->append(text_.substr(at_, plain - at_));
    at_ = plain;
    CheckLength(start, "a string");
    if (!Have()) Fail(start, "the text ends inside a string");
    const char c = At();
    if (c == '"') {
      ++at_;
      token_ = kNoToken;
      return;
    }
    if (c == '\\') {
      ++at_;
      AppendEscape(out);
      continue;
    }
    if (c >= 0x20 && c < 0x7F) continue;  // the run went to the end of what was read
    if (static_cast<unsigned char>(c) < 0x20)
      Fail(Absolute(at_), "a control character inside a string (write it as an escape such as \\n or \\u0000)");
    Have(4);
    const std::size_t length = Utf8CharacterAt(text_, at_).length;
    if (length == 0) Fail(Absolute(at_), "bytes that are not UTF-8 inside a string");
    if (out) out->append(text_.substr(at_, length));
    at_ += length;
  }
}

void JsonReader::Enter() {
  if (first_.size() >= kMostDepth) Fail("the JSON nests deeper than " + std::to_string(kMostDepth) + " levels");
  ++at_;
  first_.push_back(true);
}

// Past the closing bracket when `c` is it.
bool JsonReader::Leave(char c, char bracket) {
  if (c != bracket) return false;
  ++at_;
  first_.pop_back();
  return true;
}

// Past the comma that must come before every member or item but the first.
void JsonReader::Separate(char c, const char* what) {
  if (!first_.back()) {
    if (c != ',') Fail(what);
    ++at_;
  }
  first_.back() = false;
}

void JsonReader::BeginObject() {
  if (Peek() != Type::kObject) Fail(std::string("expected an object, not ") + Describe(At()));
  Enter();
}

bool JsonReader::NextKey(std::string& key) {
  const char c = Next();
  if (Leave(c, '}')) return false;
  Separate(c, "expected ',' or '}' after a member of an object");
  if (Next() != '"') Fail("expected the name of a member, a string in double quotes");
  key_at_ = PositionOf(Absolute(at_));
  key = String();
  Expect(':', "':' after the name of a member");
  return true;
}

void JsonReader::BeginArray() {
  if (Peek() != Type::kArray) Fail(std::string("expected an array, not ") + Describe(At()));
  Enter();
}

bool JsonReader::NextItem() {
  const char c = Next();
  if (Leave(c, ']')) return false;
  Separate(c, "expected ',' or ']' after an item of an array");
  return true;
}

void JsonReader::Skip() {
  switch (Peek()) {
    case Type::kNull: Null(); return;
    case Type::kBool: Bool(); return;
    case Type::kString: ScanString(nullptr); return;
    case Type::kNumber: {
      std::uint64_t magnitude = 0;
      bool negative = false;
      ScanNumber(magnitude, negative);
      return;
    }
    case Type::kArray:
      BeginArray();
      while (NextItem()) Skip();
      return;
    case Type::kObject: {
      BeginObject();
      std::string key;
      while (NextKey(key)) Skip();
      return;
    }
  }
}

void JsonReader::Finish() {
  SkipSpace();
  if (Have())
    Fail(Absolute(at_), At() == '\0' ? "a NUL byte after the JSON document" : "more text after the JSON document");
}
