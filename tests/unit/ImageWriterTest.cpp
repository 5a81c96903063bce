// Byte order and record layout of the image writer's building blocks.
#include <gtest/gtest.h>

#include "base/ByteWriter.h"
#include "pdb/Image.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(ByteOrder, ReadsAndStoresEitherOrderWhateverTheHost) {
  std::uint8_t bytes[4] = {0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(ReadLE16(bytes), 0x3412);
  EXPECT_EQ(ReadBE16(bytes), 0x1234);
  EXPECT_EQ(ReadLE32(bytes), 0x78563412u);
  EXPECT_EQ(ReadBE32(bytes), 0x12345678u);
  StoreBE32(bytes, 0x000000E8u);
  EXPECT_EQ(Bytes(bytes, bytes + 4), (Bytes{0, 0, 0, 0xE8}));
  StoreLE16(bytes, 0x00FF);
  StoreBE16(bytes + 2, 0x00FF);
  EXPECT_EQ(Bytes(bytes, bytes + 4), (Bytes{0xFF, 0, 0, 0xFF}));
}

// The route table record 8, written from one route in memory.
Bytes RouteRecord(const Route& route) {
  Loaded loaded = LoadNetwork(NetworkDescription{});
  loaded.network.routes = {route, route};
  ByteWriter out;
  WriteImage(loaded.network, loaded.graph, "0.25", out);
  const Database db = ParseDatabase(out.ToVector());
  return db.records.at(8);
}

TEST(WriteImage, TurnsARouteRecordBigEndianLeavingItsTwoBytes) {
  Route route;
  route.name = 0x0102;
  route.first_slot = 0x0304;
  route.company = 0x0506;
  route.station_count = 0x0708;
  route.opaque_word = 0x090A;
  route.opaque_byte = 0x0B;
  route.company_length = 0x0C;
  route.trailer = 0x0D0E;
  const Bytes expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  const Bytes records = RouteRecord(route);
  ASSERT_EQ(records.size(), 28u);
  EXPECT_EQ(Bytes(records.begin(), records.begin() + 14), expected);
  EXPECT_EQ(Bytes(records.begin() + 14, records.end()), expected);
}

TEST(RecordOffsets, FollowTheTableSizes) {
  const Loaded empty_network = LoadNetwork(NetworkDescription{});
  const std::array<std::uint32_t, image::kRecordCount> empty = {232, 362, 366, 366, 370, 370, 374, 374, 378, 378,
                                                                382, 382, 386, 386, 390, 390, 394, 594, 598};
  EXPECT_EQ(image::RecordOffsets(CountsOf(empty_network.network, empty_network.graph)), empty);
  NetworkDescription network;
  network.stations.resize(3);
  network.strings = {"ab", "c"};
  network.routes.resize(2);
  network.nodes = {{0, 0, {{1, 1}, {2, 2}}}};
  const Loaded loaded = LoadNetwork(network);
  const auto offsets = image::RecordOffsets(CountsOf(loaded.network, loaded.graph));
  EXPECT_EQ(offsets[3], 366u + 12);
  EXPECT_EQ(offsets[5], 370u + 18);
  EXPECT_EQ(offsets[7], 374u + 24);
  EXPECT_EQ(offsets[9], offsets[8] + 28);
  EXPECT_EQ(offsets[11], offsets[10] + 4);
  EXPECT_EQ(offsets[13], offsets[12] + 5);   // an odd pool
  EXPECT_EQ(offsets[15], offsets[14] + 24);  // Q = 2 x 3 entries
  EXPECT_EQ(offsets[17], offsets[16] + 210);
  EXPECT_EQ(offsets[18], offsets[17] + 4);
}

}  // namespace
