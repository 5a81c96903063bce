// Loading the node section into the node and edge tables, and finishing the graph.
#include <gtest/gtest.h>

#include "network/Graph.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr std::uint16_t kNoNode = 0xFFFF;

NetworkDescription WithNodes(std::vector<NodeDescription> nodes) {
  NetworkDescription network;
  network.nodes = std::move(nodes);
  return network;
}

NodeDescription NodeWithEdges(std::size_t count, std::uint16_t first_target = 0) {
  NodeDescription node;
  for (std::size_t j = 0; j < count; ++j) node.edges.push_back({static_cast<std::uint16_t>(first_target + j), 7});
  return node;
}

TEST(LoadGraph, NodesOwnContiguousRunsOfEdges) {
  const Graph graph = LoadNetwork(WithNodes({NodeWithEdges(10), NodeWithEdges(0), NodeWithEdges(3, 100)})).graph;
  EXPECT_EQ(graph.file_node_count, 3);
  EXPECT_EQ(graph.NodeTotal(), 23);
  EXPECT_EQ(graph.edges.size(), 13u);
  EXPECT_EQ(graph.nodes[0].first_edge, 0);
  EXPECT_EQ(graph.nodes[0].edge_count, 10);
  EXPECT_EQ(graph.nodes[1].first_edge, kNoNode);
  EXPECT_EQ(graph.nodes[1].edge_count, 0);
  EXPECT_EQ(graph.nodes[2].first_edge, 10);
  EXPECT_EQ(graph.nodes[2].edge_count, 3);
  EXPECT_EQ(graph.edges[10].target, 100);
  EXPECT_EQ(graph.nodes[2].mark, kNoNode);
}

TEST(LoadGraph, CopiesNodeWordsAndClearsBit15OfTargets) {
  NodeDescription node{0xABCD, 0x1234, {{0x8005, 0xFFFF}, {0x7FFF, 1}}};
  const Graph graph = LoadNetwork(WithNodes({node})).graph;
  EXPECT_EQ(graph.nodes[0].station, 0xABCD);
  EXPECT_EQ(graph.nodes[0].route, 0x1234);
  EXPECT_EQ(graph.edges[0].target, 0x0005);
  EXPECT_EQ(graph.edges[0].value, 0xFFFF);
  EXPECT_EQ(graph.edges[1].target, 0x7FFF);
}

TEST(LoadGraph, NoNodesLeavesOnlyEmptyReserveNodes) {
  const Graph graph = LoadNetwork(NetworkDescription{}).graph;
  EXPECT_EQ(graph.NodeTotal(), 20);
  EXPECT_EQ(graph.file_node_count, 0);
  EXPECT_TRUE(graph.edges.empty());
  for (const Node& node : graph.nodes) {
    EXPECT_EQ(node.station, 0);
    EXPECT_EQ(node.mark, kNoNode);
    EXPECT_EQ(node.first_edge, kNoNode);
    EXPECT_EQ(node.edge_count, 0);
  }
}

TEST(LoadGraph, EdgeCapacityNotGivenIsTenThousand) {
  for (std::uint16_t given : {0, 0x8000, 0xFFFF}) {
    NetworkDescription network = WithNodes({NodeWithEdges(10000)});
    network.header.edge_capacity = given;
    const Graph graph = LoadNetwork(network).graph;
    EXPECT_EQ(graph.edge_capacity, 10000) << given;
    EXPECT_EQ(graph.edges.size(), 10000u);
    network.nodes.push_back(NodeWithEdges(1));
    EXPECT_EQ(FatalText([&] { LoadNetwork(network); }).rfind("E009:Insufficient nodes", 0), 0u) << given;
  }
}

TEST(LoadGraph, AGivenEdgeCapacityIsTheLimit) {
  NetworkDescription network = WithNodes({NodeWithEdges(3)});
  network.header.edge_capacity = 3;
  LoadNetwork(network);
  network.nodes.push_back(NodeWithEdges(1));
  EXPECT_EQ(FatalText([&] { LoadNetwork(network); }).rfind("E009:Insufficient nodes", 0), 0u);
  network.header.edge_capacity = 0x7FFF;
  EXPECT_EQ(LoadNetwork(network).graph.edge_capacity, 32767);
}

TEST(LoadGraph, AFullEdgeTableIsFoundBeforeAShortReadFurtherOn) {
  NetworkDescription network = WithNodes({NodeWithEdges(2)});
  network.nodes[0].edge_count = 3;  // the file holds only two of its three edges
  network.header.edge_capacity = 1;
  EXPECT_EQ(FatalText([&] { LoadNetwork(network); }).rfind("E009:Insufficient nodes", 0), 0u);
  network.header.edge_capacity = 2;
  EXPECT_EQ(FatalText([&] { LoadNetwork(network); }).rfind("read failure 18/8", 0), 0u);
}

TEST(LoadGraph, MoreEdgesThanAnImageRecordHoldsAreRefused) {
  NetworkDescription network = WithNodes({NodeWithEdges(16383)});
  network.header.edge_capacity = 0x7FFF;
  EXPECT_EQ(LoadNetwork(network).graph.edges.size(), 16383u);
  network.nodes.push_back(NodeWithEdges(1));
  EXPECT_NE(FatalText([&] { LoadNetwork(network); }).find("more than 16383 edges"), std::string::npos);
}

TEST(LoadGraph, TheMostNodesAnImageHolds) {
  NetworkDescription network = WithNodes(std::vector<NodeDescription>(6533));
  EXPECT_EQ(LoadNetwork(network).graph.NodeTotal(), 6553);
}

TEST(LoadGraph, TruncatedNodesAndEdgesNameTheirReadSites) {
  const Bytes file = BuildNetworkFile(WithNodes({NodeWithEdges(2)}));
  for (auto [length, site] : {std::pair{64 + 3, "read failure 17/8"}, {64 + 6 + 5, "read failure 18/8"}}) {
    const Bytes cut(file.begin(), file.begin() + length);
    EXPECT_EQ(FatalText([&] { LoadNetworkBytes(cut); }).rfind(site, 0), 0u) << length;
  }
}

TEST(FinishGraph, ClearsMarksAndTargetFlags) {
  Graph graph = LoadNetwork(WithNodes({NodeWithEdges(2), NodeWithEdges(1)})).graph;
  graph.nodes[0].mark = 5;
  graph.nodes[1].mark = 0;
  graph.edges[0].target = 0x8001;
  FinishGraph(graph);
  EXPECT_EQ(graph.nodes[0].mark, kNoNode);
  EXPECT_EQ(graph.nodes[1].mark, kNoNode);
  EXPECT_EQ(graph.edges[0].target, 0x0001);
}

TEST(EmptySpecialAndReserveNodes, EmptiesNodesZeroAndOneAndTheReserveOnly) {
  Graph graph = LoadNetwork(WithNodes({NodeWithEdges(2, 9), NodeWithEdges(1), NodeWithEdges(1, 4)})).graph;
  graph.nodes[22].station = 7;
  EmptySpecialAndReserveNodes(graph);
  for (std::size_t i : {0u, 1u, 3u, 22u}) {
    EXPECT_EQ(graph.nodes[i].station, 0) << i;
    EXPECT_EQ(graph.nodes[i].first_edge, kNoNode) << i;
    EXPECT_EQ(graph.nodes[i].edge_count, 0) << i;
  }
  EXPECT_EQ(graph.nodes[2].first_edge, 3);
  EXPECT_EQ(graph.nodes[2].edge_count, 1);
  EXPECT_EQ(graph.edges.size(), 4u);  // the edges of nodes 0 and 1 stay, owned by no node
}

}  // namespace
