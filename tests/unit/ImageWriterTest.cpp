// Byte order and record layout of the image writer's building blocks.
#include <gtest/gtest.h>

#include "network/Base.h"
#include "network/Graph.h"
#include "pdb/Container.h"
#include "pdb/Image.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(Swap, ReversesBytes) {
  EXPECT_EQ(Swap16(0x1234), 0x3412);
  EXPECT_EQ(Swap16(0x00FF), 0xFF00);
  EXPECT_EQ(Swap32(0x12345678u), 0x78563412u);
  EXPECT_EQ(Swap32(0x000000E8u), 0xE8000000u);
}

TEST(SwapWords, SwapsEachWordOfTheLengthGivenOnly) {
  std::uint8_t bytes[] = {1, 2, 3, 4, 5, 6};
  SwapWords(bytes, 4);
  EXPECT_EQ(Bytes(bytes, bytes + 6), (Bytes{2, 1, 4, 3, 5, 6}));
  SwapWords(bytes, 0);
  SwapWords(bytes, 0x10000);  // taken as 16-bit: nothing
  EXPECT_EQ(Bytes(bytes, bytes + 6), (Bytes{2, 1, 4, 3, 5, 6}));
}

TEST(SwapRoutes, TurnsARouteRecordBigEndianLeavingItsTwoBytes) {
  std::uint8_t route[2 * kRouteSize] = {};
  for (std::uint8_t* record : {route, route + kRouteSize}) {
    StoreLE16(record + kRouteName, 0x0102);
    StoreLE16(record + kRouteFirstSlot, 0x0304);
    StoreLE16(record + kRouteCompany, 0x0506);
    StoreLE16(record + kRouteStationCount, 0x0708);
    StoreLE16(record + kRouteWord, 0x090A);
    record[kRouteByte] = 0x0B;
    record[kRouteCompanyLength] = 0x0C;
    StoreLE16(record + kRouteTrailer, 0x0D0E);
  }
  SwapRoutes(route, 2);
  const Bytes expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  EXPECT_EQ(Bytes(route, route + kRouteSize), expected);
  EXPECT_EQ(Bytes(route + kRouteSize, route + 2 * kRouteSize), expected);
}

TEST(RecordOffsets, FollowTheTableSizes) {
  LoadNetwork(NetworkSpec{});
  const std::array<std::uint32_t, kRecordCount> empty = {232, 362, 366, 366, 370, 370, 374, 374, 378, 378,
                                                         382, 382, 386, 386, 390, 390, 394, 594, 598};
  EXPECT_EQ(RecordOffsets(), empty);
  NetworkSpec network;
  network.stations.resize(3);
  network.strings = {"ab", "c"};
  network.routes.resize(2);
  network.nodes = {{0, 0, {{1, 1}, {2, 2}}}};
  LoadNetwork(network);
  const auto offsets = RecordOffsets();
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
