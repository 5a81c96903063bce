// The route graph as a value: nodes, each owning a contiguous run of edges in
// the edge table, on which the handheld searches for routes. The graph loader
// makes one from the intermediate data file; FinishGraph and
// EmptySpecialAndReserveNodes put it into the state the image holds.
#pragma once

#include <cstdint>
#include <vector>

#include "network/IntermediateFormat.h"
#include "network/Network.h"

struct Node {
  std::uint16_t station = 0;  // the station it stands for (the format's word A)
  std::uint16_t route = 0;    // the route it stands for (word B)
  std::uint16_t mark = kNoIndex;
  std::uint16_t first_edge = kNoIndex;  // index of its first edge, none when it has no edges
  std::uint16_t edge_count = 0;
};

struct Edge {
  std::uint16_t target = 0;
  std::uint16_t value = 0;
};

struct Graph {
  // T = N + 20 nodes: the file's nodes, then the reserve nodes. Nodes 0 and 1 are special.
  std::vector<Node> nodes;
  std::uint16_t file_node_count = 0;  // N
  std::int32_t edge_capacity = 0;     // M
  std::vector<Edge> edges;            // the F edges stored
  std::uint16_t value_entry_count = 0;

  std::uint16_t NodeTotal() const { return static_cast<std::uint16_t>(nodes.size()); }
};

// Stores an edge (bit 15 of its target cleared) and returns its index. The
// edge table holds M edges (data error 6 beyond) and never more than an image
// record can (refused beyond).
std::uint16_t AddEdge(Graph& graph, std::uint16_t target, std::uint16_t value);
// How many more edges the table holds.
inline std::size_t EdgeRoom(const Graph& graph) {
  const auto most = static_cast<std::size_t>(
      graph.edge_capacity < intermediate::kMaxStoredEdges ? graph.edge_capacity : intermediate::kMaxStoredEdges);
  return most > graph.edges.size() ? most - graph.edges.size() : 0;
}

// Clears the search marks and the target flag bits before the graph is written.
void FinishGraph(Graph& graph);

// Empties nodes 0 and 1 and the reserve nodes; edges that nodes 0 and 1 owned
// stay in the edge table, owned by no node.
void EmptySpecialAndReserveNodes(Graph& graph);
