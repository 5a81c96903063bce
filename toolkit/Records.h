// Every record the tools read and write, declared once.
//
// For each kind of record (an intermediate data file's header, a station, a
// route, a stop, a company, a string, a node, an edge, an image's database
// header, its record list entries and its image header) one table lists its
// fields in the order the dumps write them. Each field says
//   - its JSON key, and the documents that list it (In: a dump of an
//     intermediate data file, a dump of an image, a description by hand);
//   - what it is to fenwamake when a dump is read back (FieldRole);
//   - how its value is written and read (its type, which also bounds it);
//   - where it lies in a record of each file, if it does: the layouts of
//     network/IntermediateFormat.h and pdb/ImageFormat.h, typed by width, so
//     that the tolerant readers take it from there in the file's byte order;
//   - whether the difference lists it as it is when its two sides differ.
// The JSON dump and its reading, the readers' decoding, the difference's field
// lists and the schema's check all walk these tables. A key that a kind of
// document gives another type or role is a field of its own, listed in that
// kind only.
#pragma once

#include "toolkit/FieldTypes.h"

namespace records {

namespace in_file = intermediate;
namespace in_image = image;

template <typename Record>
constexpr Rule<Record> Index() {
  return Field<IndexValue, &Record::index>("index", kDerived).In(kInDumps);
}

// A stop of a route: its station and companion words (in an image, the two
// slots of the route-station table that the route's first slot and its station
// count place).
inline constexpr Rule<StopEntry> kStop[] = {
    Field<ReferenceValue, &StopEntry::station, in_file::stop::kStation>("station", kReadBack),
    Field<WordValue, &StopEntry::companion, in_file::stop::kCompanion>("companion", kReadBack),
};

// An edge of a node: by hand, the node it leads to.
inline constexpr Rule<EdgeEntry> kEdge[] = {
    Field<ReferenceValue, &EdgeEntry::to>("to", kByHand).In(kInDescription),
    Field<WordValue, &EdgeEntry::target, in_file::edge::kTarget, in_image::edge::kTarget>("target", kReadBack)
        .In(kInDumps),
    Field<WordValue, &EdgeEntry::value, in_file::edge::kValue, in_image::edge::kValue>("value", kReadBack),
};
// An edge of the image's edge table that no node owns.
inline constexpr Rule<EdgeEntry> kUnownedEdge[] = {
    Index<EdgeEntry>().In(kInImageDump),
    Field<WordValue, &EdgeEntry::target, kNowhere, in_image::edge::kTarget>("target", kReadBack).In(kInImageDump),
    Field<WordValue, &EdgeEntry::value, kNowhere, in_image::edge::kValue>("value", kReadBack).In(kInImageDump),
};

// A station; its sort words are in a record of their own in the file and in
// two tables of the image.
inline constexpr Rule<StationEntry> kStation[] = {
    Index<StationEntry>(),
    Field<Utf8Value, &StationEntry::name>("name", kName).In(kInDumps),
    Field<PooledValue<true>, &StationEntry::name_by_hand>("name", kByHand).In(kInDescription),
    Field<HexValue, &StationEntry::name_bytes>("name_bytes", kReadBack).In(kInDumps),
    Field<WordValue, &StationEntry::name_string, in_file::station::kNameString, in_image::station::kNameString>(
        "word_a", kReadBack),
    Field<WordValue, &StationEntry::opaque_word, in_file::station::kOpaqueWord, in_image::station::kOpaqueWord>(
        "word_b", kReadBack)
        .Compared(),
    Field<WordValue, &StationEntry::unused_word, in_file::station::kUnusedWord>("spare", kReadBack)
        .In(kInIntermediateDump | kInDescription)
        .Compared(),
    Field<WordValue, &StationEntry::sort>("sort", kReadBack),
    Field<WordValue, &StationEntry::kana_sort>("kana_sort", kReadBack),
};

// A route; in the file its stops follow it at once, and its trailer word is in
// the trailer section.
inline constexpr Rule<RouteEntry> kRoute[] = {
    Index<RouteEntry>(),
    Field<WordValue, &RouteEntry::name_index, in_file::route::kNameIndex, in_image::route::kNameIndex>("name_index",
                                                                                                       kReadBack)
        .In(kInDumps),
    Field<WordValue, &RouteEntry::name_index>("name_index", kByHand).In(kInDescription),
    Field<NullableValue<Utf8Value>, &RouteEntry::name>("name", kName).In(kInDumps),
    Field<PooledValue<true>, &RouteEntry::name_by_hand>("name", kByHand).In(kInDescription),
    Field<HexValue, &RouteEntry::name_bytes>("name_bytes", kReadBack).In(kInDumps),
    Field<NullableValue<WordValue>, &RouteEntry::company, kNowhere, in_image::route::kCompany>("company", kDerived)
        .In(kInDumps),
    Field<ShiftJisNameValue, &RouteEntry::company_by_hand>("company", kByHand).In(kInDescription),
    Field<ByteValue, &RouteEntry::company_length, in_file::route::kCompanyLength, in_image::route::kCompanyLength>(
        "company_length", kReadBack)
        .In(kInDumps),
    Field<ByteValue, &RouteEntry::company_length>("company_length", kByHand).In(kInDescription),
    Field<Utf8Value, &RouteEntry::company_name>("company_name", kDerived).In(kInDumps),
    Field<HexValue, &RouteEntry::company_name_bytes>("company_name_bytes", kDerived).In(kInDumps),
    Field<WordValue, &RouteEntry::unused_word, in_file::route::kUnusedWord>("spare", kReadBack)
        .In(kInIntermediateDump | kInDescription)
        .Compared(),
    Field<WordValue, &RouteEntry::first_slot, kNowhere, in_image::route::kFirstSlot>("first_slot", kDerived)
        .In(kInImageDump),
    Field<WordValue, &RouteEntry::station_count, in_file::route::kStationCount, in_image::route::kStationCount>(
        "station_count", kDerived)
        .In(kInDumps),
    Field<WordValue, &RouteEntry::station_count>("station_count", kByHand).In(kInDescription),
    Field<WordValue, &RouteEntry::opaque_word, in_file::route::kOpaqueWord, in_image::route::kOpaqueWord>("word",
                                                                                                          kReadBack)
        .Compared(),
    Field<ByteValue, &RouteEntry::opaque_byte, in_file::route::kOpaqueByte, in_image::route::kOpaqueByte>("byte",
                                                                                                          kReadBack)
        .Compared(),
    Field<WordValue, &RouteEntry::trailer, kNowhere, in_image::route::kTrailer>("trailer", kReadBack).Compared(),
    Field<ObjectListValue<StopEntry, kStop, &kStopTable>, &RouteEntry::stops>("stops", kReadBack),
};

// A node; in the file its edges follow it at once.
inline constexpr Rule<NodeEntry> kNode[] = {
    Index<NodeEntry>(),
    Field<Utf8Value, &NodeEntry::id>("id", kByHand).In(kInDescription),
    Field<ReferenceValue, &NodeEntry::station_by_hand>("station", kByHand).In(kInDescription),
    Field<ReferenceValue, &NodeEntry::route_by_hand>("route", kByHand).In(kInDescription),
    Field<WordValue, &NodeEntry::station, in_file::node::kStation, in_image::node::kStation>("word_a", kReadBack),
    Field<WordValue, &NodeEntry::route, in_file::node::kRoute, in_image::node::kRoute>("word_b", kReadBack),
    Field<NullableValue<WordValue>, &NodeEntry::mark, kNowhere, in_image::node::kMark>("mark", kDerived)
        .In(kInImageDump),
    Field<NullableValue<WordValue>, &NodeEntry::first_edge, kNowhere, in_image::node::kFirstEdge>("first_edge",
                                                                                                  kDerived)
        .In(kInImageDump),
    Field<WordValue, &NodeEntry::edge_count, in_file::node::kEdgeCount, in_image::node::kEdgeCount>("edge_count",
                                                                                                    kDerived)
        .In(kInDumps),
    Field<ObjectListValue<EdgeEntry, kEdge, &kEdgeTable>, &NodeEntry::edges>("edges", kReadBack).In(kInDumps),
    Field<ObjectListValue<EdgeEntry, kEdge, &kEdgeTable>, &NodeEntry::edges>("edges", kByHand).In(kInDescription),
    Field<WordValue, &NodeEntry::edge_count>("edge_count", kByHand).In(kInDescription),
    Field<Utf8Value, &NodeEntry::role>("role", kDerived).In(kInImageDump),
};

// A string of the string table, as a dump shows it.
inline constexpr Rule<StringEntry> kString[] = {
    Index<StringEntry>(),
    Field<WordValue, &StringEntry::offset>("offset", kReadBack),
    Field<NullableValue<Utf8Value>, &StringEntry::text>("text", kReadBack),
    Field<HexValue, &StringEntry::text_bytes>("text_bytes", kReadBack),
    Field<BoolValue, &StringEntry::terminated>("terminated", kDerived),
};

// A company, as grouping finds it.
inline constexpr Rule<CompanyEntry> kCompany[] = {
    Field<CountValue, &CompanyEntry::number>("number", kDerived),
    Field<NullableValue<Utf8Value>, &CompanyEntry::name>("name", kDerived),
    Field<HexValue, &CompanyEntry::name_bytes>("name_bytes", kDerived),
    Field<ListValue<CountValue, &kCompanyRouteTable>, &CompanyEntry::routes>("routes", kDerived),
};

// The header of an intermediate data file: as a dump shows it, and as a
// description overrides what its tables would make.
inline constexpr Rule<HeaderEntry> kHeader[] = {
    Field<HexValue, &HeaderEntry::magic, in_file::header::kMagic>("magic", kReadBack).In(kInIntermediateDump),
    Field<ShiftJisValue, &HeaderEntry::magic>("magic", kByHand).In(kInDescription),
    Field<OffsetValue, &HeaderEntry::base_offset, in_file::header::kBaseOffset>("base_offset", kReadBack),
    Field<OffsetValue, &HeaderEntry::trailer_offset, in_file::header::kTrailerOffset>("trailer_offset", kReadBack),
    Field<HexValue, &HeaderEntry::unused_middle, in_file::header::kUnusedMiddle>("unused_middle", kReadBack)
        .In(kInIntermediateDump),
    Field<SignedWordValue, &HeaderEntry::rstat_capacity, in_file::header::kRStatCapacity>("rstat_capacity", kReadBack)
        .In(kInIntermediateDump),
    Field<IntValue, &HeaderEntry::node_count, in_file::header::kNodeCount>("node_count", kDerived)
        .In(kInIntermediateDump),
    Field<IntValue, &HeaderEntry::station_count, in_file::header::kStationCount>("station_count", kDerived)
        .In(kInIntermediateDump),
    Field<IntValue, &HeaderEntry::route_count, in_file::header::kRouteCount>("route_count", kDerived)
        .In(kInIntermediateDump),
    Field<IntValue, &HeaderEntry::string_count, in_file::header::kStringCount>("string_count", kDerived)
        .In(kInIntermediateDump),
    Field<IntValue, &HeaderEntry::pool_size, in_file::header::kPoolSize>("pool_size", kDerived).In(kInIntermediateDump),
    Field<SignedWordValue, &HeaderEntry::edge_capacity, in_file::header::kEdgeCapacity>("edge_capacity", kReadBack)
        .In(kInIntermediateDump),
    Field<HexValue, &HeaderEntry::unused_tail, in_file::header::kUnusedTail>("unused_tail", kReadBack)
        .In(kInIntermediateDump),
    Field<CountValue, &HeaderEntry::effective_rstat_capacity>("effective_rstat_capacity", kDerived)
        .In(kInIntermediateDump),
    Field<CountValue, &HeaderEntry::effective_edge_capacity>("effective_edge_capacity", kDerived)
        .In(kInIntermediateDump),
    Field<SignedOrUnsignedWordValue, &HeaderEntry::rstat_capacity>("rstat_capacity", kByHand).In(kInDescription),
    Field<SignedOrUnsignedWordValue, &HeaderEntry::node_count>("node_count", kByHand).In(kInDescription),
    Field<SignedOrUnsignedWordValue, &HeaderEntry::station_count>("station_count", kByHand).In(kInDescription),
    Field<SignedOrUnsignedWordValue, &HeaderEntry::route_count>("route_count", kByHand).In(kInDescription),
    Field<SignedOrUnsignedWordValue, &HeaderEntry::string_count>("string_count", kByHand).In(kInDescription),
    Field<SignedOrUnsignedWordValue, &HeaderEntry::pool_size>("pool_size", kByHand).In(kInDescription),
    Field<SignedOrUnsignedWordValue, &HeaderEntry::edge_capacity>("edge_capacity", kByHand).In(kInDescription),
    Field<ShiftJisValue, &HeaderEntry::unused_middle>("unused_middle", kByHand).In(kInDescription),
    Field<ShiftJisValue, &HeaderEntry::unused_tail>("unused_tail", kByHand).In(kInDescription),
};

// The database header of an image.
inline constexpr Rule<DatabaseEntry> kDatabase[] = {
    Field<AsciiValue<true>, &DatabaseEntry::name, kNowhere, in_image::database::kName>("name", kDerived).Compared(),
    Field<CountValue, &DatabaseEntry::attributes, kNowhere, in_image::database::kAttributes>("attributes", kDerived)
        .Compared(),
    Field<CountValue, &DatabaseEntry::version, kNowhere, in_image::database::kVersion>("version", kDerived).Compared(),
    Field<CountValue, &DatabaseEntry::creation_date, kNowhere, in_image::database::kCreationDate>("creation_date",
                                                                                                  kDerived)
        .Compared(),
    Field<CountValue, &DatabaseEntry::modification_date, kNowhere, in_image::database::kModificationDate>(
        "modification_date", kDerived)
        .Compared(),
    Field<CountValue, &DatabaseEntry::backup_date, kNowhere, in_image::database::kBackupDate>("backup_date", kDerived)
        .Compared(),
    Field<CountValue, &DatabaseEntry::modification_number, kNowhere, in_image::database::kModificationNumber>(
        "modification_number", kDerived)
        .Compared(),
    Field<CountValue, &DatabaseEntry::app_info_offset, kNowhere, in_image::database::kAppInfoOffset>("app_info_offset",
                                                                                                     kDerived)
        .Compared(),
    Field<CountValue, &DatabaseEntry::sort_info_offset, kNowhere, in_image::database::kSortInfoOffset>(
        "sort_info_offset", kDerived)
        .Compared(),
    Field<AsciiValue<false>, &DatabaseEntry::type, kNowhere, in_image::database::kType>("type", kDerived).Compared(),
    Field<AsciiValue<false>, &DatabaseEntry::creator, kNowhere, in_image::database::kCreator>("creator", kDerived)
        .Compared(),
    Field<CountValue, &DatabaseEntry::unique_id_seed, kNowhere, in_image::database::kUniqueIdSeed>("unique_id_seed",
                                                                                                   kDerived)
        .Compared(),
    Field<CountValue, &DatabaseEntry::next_record_list, kNowhere, in_image::database::kNextRecordList>(
        "next_record_list", kDerived)
        .Compared(),
    Field<CountValue, &DatabaseEntry::record_count, kNowhere, in_image::database::kNumberOfRecords>("record_count",
                                                                                                    kDerived)
        .Compared(),
};

// An entry of an image's record list.
inline constexpr Rule<RecordEntry> kRecord[] = {
    Index<RecordEntry>(),
    Field<Utf8Value, &RecordEntry::content>("content", kDerived),
    Field<CountValue, &RecordEntry::offset, kNowhere, in_image::record_entry::kOffset>("offset", kDerived),
    Field<CountValue, &RecordEntry::attributes, kNowhere, in_image::record_entry::kAttributes>("attributes", kDerived),
    Field<CountValue, &RecordEntry::unique_id, kNowhere, in_image::record_entry::kUniqueId>("unique_id", kDerived),
    Field<NullableValue<CountValue>, &RecordEntry::length>("length", kDerived),
};

// The image header: its magic, its format version and the nine counts.
inline constexpr Rule<ImageHeaderEntry> kImageHeader[] = {
    Field<AsciiValue<false>, &ImageHeaderEntry::magic, kNowhere, in_image::image_header::kMagic>("magic", kDerived)
        .Compared(),
    Field<AsciiValue<false>, &ImageHeaderEntry::version, kNowhere, in_image::image_header::kVersion>("version",
                                                                                                     kDerived)
        .Compared(),
    Field<CountValue, &ImageHeaderEntry::station_count, kNowhere, in_image::image_header::kStationCount>(
        "station_count", kDerived)
        .Compared(),
    Field<CountValue, &ImageHeaderEntry::route_count, kNowhere, in_image::image_header::kRouteCount>("route_count",
                                                                                                     kDerived)
        .Compared(),
    Field<CountValue, &ImageHeaderEntry::string_count, kNowhere, in_image::image_header::kStringCount>("string_count",
                                                                                                       kDerived)
        .Compared(),
    Field<CountValue, &ImageHeaderEntry::pool_size, kNowhere, in_image::image_header::kPoolSize>("pool_size", kDerived)
        .Compared(),
    Field<WordValue, &ImageHeaderEntry::rstat_capacity, kNowhere, in_image::image_header::kRStatCapacity>(
        "rstat_capacity", kReadBack)
        .Compared(),
    Field<CountValue, &ImageHeaderEntry::node_total, kNowhere, in_image::image_header::kNodeTotal>("node_total",
                                                                                                   kDerived)
        .Compared(),
    Field<CountValue, &ImageHeaderEntry::file_node_count, kNowhere, in_image::image_header::kFileNodeCount>(
        "file_node_count", kDerived)
        .Compared(),
    Field<CountValue, &ImageHeaderEntry::edge_count, kNowhere, in_image::image_header::kEdgeCount>("edge_count",
                                                                                                   kDerived)
        .Compared(),
    Field<CountValue, &ImageHeaderEntry::value_entry_count, kNowhere, in_image::image_header::kValueEntryCount>(
        "value_entry_count", kDerived)
        .Compared(),
};

// What an image's route-station table holds.
inline constexpr Rule<RouteStationsEntry> kRouteStations[] = {
    Field<CountValue, &RouteStationsEntry::capacity>("capacity", kDerived),
    Field<CountValue, &RouteStationsEntry::slots>("slots", kDerived),
    Field<CountValue, &RouteStationsEntry::slots_used>("slots_used", kDerived),
};

// The fields of two records of a kind that the difference lists as they are,
// where their two sides differ, in the table's order.
template <typename Record, std::size_t N, typename Add>
void CompareFields(const Record& old_record, const Record& new_record, const Rule<Record> (&rules)[N], Add add) {
  for (const Rule<Record>& rule : rules) {
    if (!rule.compared) continue;
    FieldValue old_value = rule.value(old_record), new_value = rule.value(new_record);
    if (old_value != new_value) add(rule.key, std::move(old_value), std::move(new_value));
  }
}

}  // namespace records
