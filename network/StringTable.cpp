#include "network/StringTable.h"

#include "base/ToolError.h"
#include "network/IntermediateFormat.h"

StringTableEditor::StringTableEditor(std::vector<std::uint16_t> index, std::string pool)
    : index_(std::move(index)), pool_(std::move(pool)), edits_(index_.size()), edited_(index_.size(), false) {}

std::optional<std::string_view> StringTableEditor::View(std::size_t i) const {
  if (i >= edited_.size()) return std::nullopt;
  if (edited_[i]) return std::string_view(*edits_[i]);
  return Original(i);
}

std::optional<std::string_view> StringTableEditor::Original(std::size_t i) const {
  if (i >= index_.size() || index_[i] >= pool_.size()) return std::nullopt;
  const std::string_view rest = std::string_view(pool_).substr(index_[i]);
  return rest.substr(0, rest.find('\0'));
}

std::optional<std::string> StringTableEditor::Current(std::size_t i) const {
  const std::optional<std::string_view> bytes = View(i);
  return bytes ? std::optional<std::string>(*bytes) : std::nullopt;
}

void StringTableEditor::Set(std::size_t i, const std::string& bytes) {
  if (i >= edited_.size()) throw std::out_of_range("no string " + std::to_string(i));
  if (View(i) == bytes) return;
  if (edited_[i]) edited_bytes_ -= edits_[i]->size() + 1;
  edited_[i] = Original(i) != bytes;
  edits_[i] = edited_[i] ? std::optional<std::string>(bytes) : std::nullopt;
  if (edited_[i]) edited_bytes_ += bytes.size() + 1;
  first_.clear();  // rebuilt at the next Intern
}

std::size_t StringTableEditor::Add(const std::string& bytes) {
  edits_.emplace_back(bytes);
  edited_.push_back(true);
  edited_bytes_ += bytes.size() + 1;
  if (!first_.empty()) first_.emplace(*edits_.back(), edited_.size() - 1);
  return edited_.size() - 1;
}

std::size_t StringTableEditor::Intern(const std::string& bytes) {
  if (first_.empty()) {
    for (std::size_t i = 0; i < edited_.size(); ++i) {
      if (const std::optional<std::string_view> text = View(i)) first_.emplace(*text, i);
    }
  }
  const auto found = first_.find(bytes);
  if (found != first_.end()) return found->second;
  const std::size_t added = Add(bytes);
  first_.emplace(*edits_.back(), added);
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
  if (edited_.size() > static_cast<std::size_t>(intermediate::kMaxStrings))
    throw ToolError("the string table would hold " + std::to_string(edited_.size()) + " strings, more than " +
                    std::to_string(intermediate::kMaxStrings));
  StringTableBytes table;
  const bool again = HeldOneAfterAnother();
  if (!again) {
    table.index = index_;
    table.pool = pool_;
  }
  table.index.resize(edited_.size());
  for (std::size_t i = 0; i < edited_.size(); ++i) {
    if (!again && !edited_[i]) continue;
    if (table.pool.size() > 0xFFFF) break;  // refused below
    table.index[i] = static_cast<std::uint16_t>(table.pool.size());
    table.pool += View(i).value_or(std::string_view());
    table.pool += '\0';
  }
  if (table.pool.size() > 0xFFFF) throw ToolError("the string pool would hold more than 65535 bytes");
  return table;
}
