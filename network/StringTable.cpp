#include "network/StringTable.h"

#include <stdexcept>

#include "network/IntermediateFormat.h"

StringTableEditor::StringTableEditor(std::vector<std::uint16_t> index, std::string pool)
    : index_(std::move(index)), pool_(std::move(pool)) {
  current_.reserve(index_.size());
  for (std::size_t i = 0; i < index_.size(); ++i) current_.push_back(Original(i));
  edited_.assign(index_.size(), false);
}

std::optional<std::string> StringTableEditor::Original(std::size_t i) const {
  if (i >= index_.size() || index_[i] >= pool_.size()) return std::nullopt;
  const std::size_t end = pool_.find('\0', index_[i]);
  return pool_.substr(index_[i], end == std::string::npos ? std::string::npos : end - index_[i]);
}

std::optional<std::string> StringTableEditor::Current(std::size_t i) const {
  return i < current_.size() ? current_[i] : std::nullopt;
}

void StringTableEditor::Set(std::size_t i, const std::string& bytes) {
  if (i >= current_.size()) throw std::out_of_range("no string " + std::to_string(i));
  if (current_[i] == bytes) return;
  current_[i] = bytes;
  edited_[i] = Original(i) != bytes;
  first_.clear();  // rebuilt at the next Intern
}

std::size_t StringTableEditor::Add(const std::string& bytes) {
  current_.emplace_back(bytes);
  edited_.push_back(true);
  if (!first_.empty()) first_.emplace(bytes, current_.size() - 1);
  return current_.size() - 1;
}

std::size_t StringTableEditor::Intern(const std::string& bytes) {
  if (first_.empty()) {
    for (std::size_t i = 0; i < current_.size(); ++i) {
      if (current_[i]) first_.emplace(*current_[i], i);
    }
  }
  const auto found = first_.find(bytes);
  if (found != first_.end()) return found->second;
  const std::size_t added = Add(bytes);
  first_.emplace(bytes, added);
  return added;
}

bool StringTableEditor::HeldOneAfterAnother() const {
  std::size_t next = 0;
  for (std::uint16_t offset : index_) {
    if (offset != next) return false;
    const std::size_t end = pool_.find('\0', offset);
    if (end == std::string::npos) return false;
    next = end + 1;
  }
  return next == pool_.size();
}

StringTableBytes StringTableEditor::Finish() const {
  if (current_.size() > static_cast<std::size_t>(intermediate::kMaxStrings))
    throw std::invalid_argument("the string table would hold " + std::to_string(current_.size()) +
                                " strings, more than " + std::to_string(intermediate::kMaxStrings));
  StringTableBytes table;
  const bool again = HeldOneAfterAnother();
  if (!again) {
    table.index = index_;
    table.pool = pool_;
  }
  table.index.resize(current_.size());
  for (std::size_t i = 0; i < current_.size(); ++i) {
    if (!again && !edited_[i]) continue;
    if (table.pool.size() > 0xFFFF) break;  // refused below
    table.index[i] = static_cast<std::uint16_t>(table.pool.size());
    table.pool += current_[i].value_or(std::string());
    table.pool += '\0';
  }
  if (table.pool.size() > 0xFFFF) throw std::invalid_argument("the string pool would hold more than 65535 bytes");
  return table;
}
