// The fields compared of each kind of record, in the order of its fields; the
// record tables say which are compared. A field whose two sides are equal is
// not listed.
#include <utility>

#include "diff/Comparison.h"
#include "toolkit/Records.h"

namespace diff {

namespace {

template <typename T>
void CompareField(std::vector<FieldChange>& out, const char* field, const Maybe<T>& a, const Maybe<T>& b) {
  RecordField(out, field, records::ValueOf(a), records::ValueOf(b));
}

// What adds a changed field of a record's table to `out`.
auto Adder(std::vector<FieldChange>& out) {
  return [&out](const char* field, FieldValue old_value, FieldValue new_value) {
    RecordField(out, field, std::move(old_value), std::move(new_value));
  };
}

}  // namespace

void RecordField(std::vector<FieldChange>& out, const char* field, FieldValue old_value, FieldValue new_value) {
  if (old_value != new_value) out.push_back({field, std::move(old_value), std::move(new_value)});
}

void StationFields(const StationEntry& x, const StationEntry& y, bool sort_moved, bool kana_sort_moved,
                   std::vector<FieldChange>& out) {
  records::CompareFields(x, y, records::kStation, Adder(out));
  if (sort_moved) CompareField(out, "sort", x.sort, y.sort);
  if (kana_sort_moved) CompareField(out, "kana_sort", x.kana_sort, y.kana_sort);
}

void RouteFields(const RouteEntry& x, const RouteEntry& y, std::vector<FieldChange>& out) {
  records::CompareFields(x, y, records::kRoute, Adder(out));
}

// A stop without the word reads as 0.
void StopFields(const StopEntry& x, const StopEntry& y, std::vector<FieldChange>& out) {
  RecordField(out, "companion", FieldValue{x.companion.value_or(0), std::nullopt},
              FieldValue{y.companion.value_or(0), std::nullopt});
}

void NodeFields(const NodeEntry& x, const NodeEntry& y, std::vector<FieldChange>& out) {
  CompareField(out, "mark", x.mark, y.mark);
}

void ImageHeaderFields(const ImageHeaderEntry& x, const ImageHeaderEntry& y, std::vector<FieldChange>& out) {
  records::CompareFields(x, y, records::kImageHeader, Adder(out));
}

void DatabaseFields(const DatabaseEntry& x, const DatabaseEntry& y, std::vector<FieldChange>& out) {
  records::CompareFields(x, y, records::kDatabase, Adder(out));
}

}  // namespace diff
