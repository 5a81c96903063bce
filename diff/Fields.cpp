// The fields compared of each kind of record, each kind in one list in the
// order of its fields; a field whose two sides are equal is not listed.
#include <type_traits>
#include <utility>

#include "diff/Comparison.h"

namespace diff {

namespace {

template <typename T>
Value ValueOf(const Maybe<T>& value) {
  Value out;
  if constexpr (std::is_same_v<T, std::string>) {
    out.text = value;
  } else if constexpr (std::is_arithmetic_v<T>) {
    if (value) out.number = static_cast<std::uint64_t>(*value);
  } else if (value && *value) {
    out.number = static_cast<std::uint64_t>(**value);
  }
  return out;
}

template <typename T>
void CompareField(std::vector<FieldChange>& out, const char* field, const Maybe<T>& a, const Maybe<T>& b) {
  RecordField(out, field, ValueOf(a), ValueOf(b));
}

}  // namespace

void RecordField(std::vector<FieldChange>& out, const char* field, Value old_value, Value new_value) {
  if (old_value != new_value) out.push_back({field, std::move(old_value), std::move(new_value)});
}

void StationFields(const StationEntry& x, const StationEntry& y, bool sort_moved, bool kana_sort_moved,
                   std::vector<FieldChange>& out) {
  CompareField(out, "word_b", x.word_b, y.word_b);
  CompareField(out, "spare", x.spare, y.spare);
  if (sort_moved) CompareField(out, "sort", x.sort, y.sort);
  if (kana_sort_moved) CompareField(out, "kana_sort", x.kana_sort, y.kana_sort);
}

void RouteFields(const RouteEntry& x, const RouteEntry& y, std::vector<FieldChange>& out) {
  CompareField(out, "spare", x.spare, y.spare);
  CompareField(out, "word", x.word, y.word);
  CompareField(out, "byte", x.byte, y.byte);
  CompareField(out, "trailer", x.trailer, y.trailer);
}

// A stop without the word reads as 0.
void StopFields(const StopEntry& x, const StopEntry& y, std::vector<FieldChange>& out) {
  RecordField(out, "companion", Value{x.companion.value_or(0), std::nullopt},
              Value{y.companion.value_or(0), std::nullopt});
}

void NodeFields(const NodeEntry& x, const NodeEntry& y, std::vector<FieldChange>& out) {
  CompareField(out, "mark", x.mark, y.mark);
}

void ImageHeaderFields(const ImageHeaderEntry& x, const ImageHeaderEntry& y, std::vector<FieldChange>& out) {
  CompareField(out, "magic", x.magic, y.magic);
  CompareField(out, "version", x.version, y.version);
  CompareField(out, "station_count", x.station_count, y.station_count);
  CompareField(out, "route_count", x.route_count, y.route_count);
  CompareField(out, "string_count", x.string_count, y.string_count);
  CompareField(out, "pool_size", x.pool_size, y.pool_size);
  CompareField(out, "rstat_capacity", x.rstat_capacity, y.rstat_capacity);
  CompareField(out, "node_total", x.node_total, y.node_total);
  CompareField(out, "file_node_count", x.file_node_count, y.file_node_count);
  CompareField(out, "edge_count", x.edge_count, y.edge_count);
  CompareField(out, "value_entry_count", x.value_entry_count, y.value_entry_count);
}

void DatabaseFields(const DatabaseEntry& x, const DatabaseEntry& y, std::vector<FieldChange>& out) {
  CompareField(out, "name", x.name, y.name);
  CompareField(out, "attributes", x.attributes, y.attributes);
  CompareField(out, "version", x.version, y.version);
  CompareField(out, "creation_date", x.creation_date, y.creation_date);
  CompareField(out, "modification_date", x.modification_date, y.modification_date);
  CompareField(out, "backup_date", x.backup_date, y.backup_date);
  CompareField(out, "modification_number", x.modification_number, y.modification_number);
  CompareField(out, "app_info_offset", x.app_info_offset, y.app_info_offset);
  CompareField(out, "sort_info_offset", x.sort_info_offset, y.sort_info_offset);
  CompareField(out, "type", x.type, y.type);
  CompareField(out, "creator", x.creator, y.creator);
  CompareField(out, "unique_id_seed", x.unique_id_seed, y.unique_id_seed);
  CompareField(out, "next_record_list", x.next_record_list, y.next_record_list);
  CompareField(out, "record_count", x.record_count, y.record_count);
}

}  // namespace diff
