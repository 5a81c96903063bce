// Loading the node section into the node and edge tables, and finishing the graph.
#include <gtest/gtest.h>

#include "network/Graph.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr std::uint16_t kNoNode = 0xFFFF;

NetworkSpec WithNodes(std::vector<NodeSpec> nodes) {
  NetworkSpec network;
  network.nodes = std::move(nodes);
  return network;
}

NodeSpec NodeWithEdges(std::size_t count, std::uint16_t first_target = 0) {
  NodeSpec node;
  for (std::size_t j = 0; j < count; ++j) node.edges.push_back({static_cast<std::uint16_t>(first_target + j), 7});
  return node;
}

TEST(LoadGraph, NodesOwnContiguousRunsOfEdges) {
  LoadNetwork(WithNodes({NodeWithEdges(10), NodeWithEdges(0), NodeWithEdges(3, 100)}));
  EXPECT_EQ(FileNodeCount, 3);
  EXPECT_EQ(NodeTotal, 23);
  EXPECT_EQ(ActiveNodeCount, 3);
  EXPECT_EQ(EdgeCount, 13);
  EXPECT_EQ(NodeWord(0, kNodeFirstEdge), 0);
  EXPECT_EQ(NodeWord(0, kNodeEdgeCount), 10);
  EXPECT_EQ(NodeWord(1, kNodeFirstEdge), kNoNode);
  EXPECT_EQ(NodeWord(1, kNodeEdgeCount), 0);
  EXPECT_EQ(NodeWord(2, kNodeFirstEdge), 10);
  EXPECT_EQ(NodeWord(2, kNodeEdgeCount), 3);
  EXPECT_EQ(FNodeHandle.Word(2 * 10), 100);
  EXPECT_EQ(NodeWord(2, kNodeMark), kNoNode);
}

TEST(LoadGraph, CopiesNodeWordsAndClearsBit15OfTargets) {
  NodeSpec node{0xABCD, 0x1234, {{0x8005, 0xFFFF}, {0x7FFF, 1}}};
  LoadNetwork(WithNodes({node}));
  EXPECT_EQ(NodeWord(0, kNodeWordA), 0xABCD);
  EXPECT_EQ(NodeWord(0, kNodeWordB), 0x1234);
  EXPECT_EQ(FNodeHandle.Word(0), 0x0005);
  EXPECT_EQ(FNodeHandle.Word(1), 0xFFFF);
  EXPECT_EQ(FNodeHandle.Word(2), 0x7FFF);
}

TEST(LoadGraph, NoNodesLeavesOnlyEmptyReserveNodes) {
  LoadNetwork(NetworkSpec{});
  EXPECT_EQ(NodeTotal, 20);
  EXPECT_EQ(FileNodeCount, 0);
  EXPECT_EQ(EdgeCount, 0);
  for (std::size_t i = 0; i < 20; ++i) {
    EXPECT_EQ(NodeWord(i, kNodeWordA), 0);
    EXPECT_EQ(NodeWord(i, kNodeMark), kNoNode);
    EXPECT_EQ(NodeWord(i, kNodeFirstEdge), kNoNode);
    EXPECT_EQ(NodeWord(i, kNodeEdgeCount), 0);
  }
}

TEST(LoadGraph, EdgeCapacityNotGivenIsTenThousand) {
  for (std::uint16_t given : {0, 0x8000, 0xFFFF}) {
    NetworkSpec network = WithNodes({NodeWithEdges(10000)});
    network.header.edge_capacity = given;
    LoadNetwork(network);
    EXPECT_EQ(EdgeCapacity, 10000) << given;
    EXPECT_EQ(EdgeCount, 10000);
    network.nodes.push_back(NodeWithEdges(1));
    EXPECT_EQ(FatalText([&] { LoadNetwork(network); }).rfind("E009:Insufficient nodes", 0), 0u) << given;
  }
}

TEST(LoadGraph, AGivenEdgeCapacityIsTheLimit) {
  NetworkSpec network = WithNodes({NodeWithEdges(3)});
  network.header.edge_capacity = 3;
  LoadNetwork(network);
  network.nodes.push_back(NodeWithEdges(1));
  EXPECT_EQ(FatalText([&] { LoadNetwork(network); }).rfind("E009:Insufficient nodes", 0), 0u);
  network.header.edge_capacity = 0x7FFF;
  LoadNetwork(network);
  EXPECT_EQ(EdgeCapacity, 32767);
}

TEST(LoadGraph, AFullEdgeTableIsFoundBeforeAShortReadFurtherOn) {
  NetworkSpec network = WithNodes({NodeWithEdges(2)});
  network.nodes[0].edge_count = 3;  // the file holds only two of its three edges
  network.header.edge_capacity = 1;
  EXPECT_EQ(FatalText([&] { LoadNetwork(network); }).rfind("E009:Insufficient nodes", 0), 0u);
  network.header.edge_capacity = 2;
  EXPECT_EQ(FatalText([&] { LoadNetwork(network); }).rfind("read failure 18/8", 0), 0u);
}

TEST(LoadGraph, MoreEdgesThanAnImageRecordHoldsAreRefused) {
  NetworkSpec network = WithNodes({NodeWithEdges(16383)});
  network.header.edge_capacity = 0x7FFF;
  LoadNetwork(network);
  EXPECT_EQ(EdgeCount, 16383);
  network.nodes.push_back(NodeWithEdges(1));
  EXPECT_NE(FatalText([&] { LoadNetwork(network); }).find("more than 16383 edges"), std::string::npos);
}

TEST(LoadGraph, TheMostNodesAnImageHolds) {
  NetworkSpec network = WithNodes(std::vector<NodeSpec>(6533));
  LoadNetwork(network);
  EXPECT_EQ(NodeTotal, 6553);
}

TEST(LoadGraph, TruncatedNodesAndEdgesNameTheirReadSites) {
  const Bytes file = BuildNetworkFile(WithNodes({NodeWithEdges(2)}));
  for (auto [length, site] : {std::pair{64 + 3, "read failure 17/8"}, {64 + 6 + 5, "read failure 18/8"}}) {
    const Bytes cut(file.begin(), file.begin() + length);
    EXPECT_EQ(FatalText([&] { LoadNetworkBytes(cut); }).rfind(site, 0), 0u) << length;
  }
}

TEST(FinishGraph, ClearsMarksAndTargetFlags) {
  LoadNetwork(WithNodes({NodeWithEdges(2), NodeWithEdges(1)}));
  SetNodeWord(0, kNodeMark, 5);
  SetNodeWord(1, kNodeMark, 0);
  FNodeHandle.SetWord(0, 0x8001);
  ActiveNodeCount = 99;
  FinishGraph();
  EXPECT_EQ(NodeWord(0, kNodeMark), kNoNode);
  EXPECT_EQ(NodeWord(1, kNodeMark), kNoNode);
  EXPECT_EQ(FNodeHandle.Word(0), 0x0001);
  EXPECT_EQ(ActiveNodeCount, 2);
}

TEST(GraphTables, CreatingTwiceIsAFailedAssertion) {
  ReleaseGraphTables();
  CreateNodeTable(20);
  EXPECT_EQ(FatalText([] { CreateNodeTable(20); }).rfind("Assertion failed: !AdjHandle.Exists()", 0), 0u);
  CreateEdgeTable();
  EXPECT_EQ(FatalText(CreateEdgeTable).rfind("Assertion failed: !FNodeHandle.Exists()", 0), 0u);
  ReleaseGraphTables();
  EXPECT_FALSE(AdjHandle.Exists());
  EXPECT_FALSE(FNodeHandle.Exists());
  EXPECT_EQ(NodeTotal, 0);
}

}  // namespace
