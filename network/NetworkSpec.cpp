#include "network/NetworkSpec.h"

#include <stdexcept>

namespace {

class ByteWriter {
 public:
  void U8(std::uint8_t value) { bytes_.push_back(value); }
  void U16(std::uint16_t value) {
    U8(static_cast<std::uint8_t>(value));
    U8(static_cast<std::uint8_t>(value >> 8));
  }
  void U32(std::uint32_t value) {
    U16(static_cast<std::uint16_t>(value));
    U16(static_cast<std::uint16_t>(value >> 16));
  }
  void Bytes(const std::uint8_t* data, std::size_t size) { bytes_.insert(bytes_.end(), data, data + size); }
  void Append(const std::vector<std::uint8_t>& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }
  std::size_t Size() const { return bytes_.size(); }
  std::vector<std::uint8_t>& Result() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

std::uint16_t Count16(std::size_t count, const char* what) {
  if (count > 0xFFFF) throw std::invalid_argument(std::string("too many ") + what + " for a 16-bit count");
  return static_cast<std::uint16_t>(count);
}

std::vector<std::uint8_t> NodeSection(const NetworkSpec& network) {
  ByteWriter out;
  for (const NodeSpec& node : network.nodes) {
    out.U16(node.word_a);
    out.U16(node.word_b);
    out.U16(node.edge_count.value_or(Count16(node.edges.size(), "edges")));
    for (const EdgeSpec& edge : node.edges) {
      out.U16(edge.target);
      out.U16(edge.value);
    }
  }
  return std::move(out.Result());
}

std::vector<std::uint8_t> BaseSection(const NetworkSpec& network, const StringTableBytes& strings) {
  ByteWriter out;
  for (const StationSpec& station : network.stations) {
    out.U16(station.word_a);
    out.U16(station.word_b);
    out.U16(station.spare);
  }
  for (const StationSpec& station : network.stations) {
    out.U16(station.sort);
    out.U16(station.kana_sort);
  }
  for (const RouteSpec& route : network.routes) {
    out.U16(route.name_index);
    out.U16(route.spare);
    out.U16(route.station_count.value_or(Count16(route.stops.size(), "stops")));
    out.U16(route.word);
    out.U8(route.byte);
    out.U8(route.company_length);
    for (const StopSpec& stop : route.stops) {
      out.U16(stop.station);
      out.U16(stop.companion);
    }
  }
  for (std::uint16_t offset : strings.index) out.U16(offset);
  out.Bytes(reinterpret_cast<const std::uint8_t*>(strings.pool.data()), strings.pool.size());
  return std::move(out.Result());
}

std::vector<std::uint8_t> TrailerSection(const NetworkSpec& network) {
  ByteWriter out;
  for (const RouteSpec& route : network.routes) out.U16(route.trailer);
  return std::move(out.Result());
}

void WriteHeader(ByteWriter& out, const NetworkSpec& network, const StringTableBytes& strings, std::uint32_t base,
                 std::uint32_t trailer) {
  const HeaderSpec& h = network.header;
  out.Bytes(h.magic.data(), h.magic.size());
  out.U32(h.base_offset.value_or(base));
  out.U32(h.trailer_offset.value_or(trailer));
  out.Bytes(h.unused_middle.data(), h.unused_middle.size());
  out.U16(h.rstat_capacity);
  out.U16(h.node_count.value_or(Count16(network.nodes.size(), "nodes")));
  out.U16(h.station_count.value_or(Count16(network.stations.size(), "stations")));
  out.U16(h.route_count.value_or(Count16(network.routes.size(), "routes")));
  out.U16(h.string_count.value_or(Count16(strings.index.size(), "strings")));
  out.U16(h.pool_size.value_or(Count16(strings.pool.size(), "pool bytes")));
  out.U16(h.edge_capacity);
  out.Bytes(h.unused_tail.data(), h.unused_tail.size());
}

}  // namespace

StringTableBytes LayOutStrings(const NetworkSpec& network) {
  StringTableBytes table;
  for (const std::string& text : network.strings) {
    table.index.push_back(Count16(table.pool.size(), "pool bytes before a string"));
    table.pool += text;
    table.pool += '\0';
  }
  if (network.raw_string_index) table.index = *network.raw_string_index;
  if (network.raw_pool) table.pool = *network.raw_pool;
  Count16(table.pool.size(), "pool bytes");
  return table;
}

std::vector<std::uint8_t> BuildNetworkFile(const NetworkSpec& network) {
  const StringTableBytes strings = LayOutStrings(network);
  const std::vector<std::uint8_t> nodes = NodeSection(network);
  const std::vector<std::uint8_t> base = BaseSection(network, strings);
  const std::vector<std::uint8_t> trailer = TrailerSection(network);
  const auto after_nodes = static_cast<std::uint32_t>(64 + nodes.size());
  const bool base_first = network.order == SectionOrder::kBaseThenTrailer;
  const std::uint32_t base_offset = base_first ? after_nodes : after_nodes + static_cast<std::uint32_t>(trailer.size());
  const std::uint32_t trailer_offset = base_first ? after_nodes + static_cast<std::uint32_t>(base.size()) : after_nodes;
  ByteWriter out;
  WriteHeader(out, network, strings, base_offset, trailer_offset);
  out.Append(nodes);
  out.Append(base_first ? base : trailer);
  out.Append(base_first ? trailer : base);
  return std::move(out.Result());
}
