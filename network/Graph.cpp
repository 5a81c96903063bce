#include "network/Graph.h"

#include <algorithm>
#include <string>

#include "base/Fatal.h"
#include "network/IntermediateFormat.h"

std::uint16_t AddEdge(Graph& graph, std::uint16_t target, std::uint16_t value) {
  const std::size_t index = graph.edges.size();
  if (index >= static_cast<std::size_t>(graph.edge_capacity))
    DataError(kErrorInsufficientNodes, "more than " + std::to_string(graph.edge_capacity) + " edges");
  if (index >= static_cast<std::size_t>(intermediate::kMaxStoredEdges))
    InputLimitError("more than " + std::to_string(intermediate::kMaxStoredEdges) +
                    " edges, the most an image record can hold");
  graph.edges.push_back({static_cast<std::uint16_t>(target & intermediate::kEdgeTargetMask), value});
  return static_cast<std::uint16_t>(index);
}

void FinishGraph(Graph& graph) {
  for (std::size_t i = 0; i < graph.file_node_count; ++i) {
    Node& node = graph.nodes[i];
    if (node.mark != kNoIndex && node.mark >= graph.value_entry_count) node.mark = kNoIndex;
  }
  for (Edge& edge : graph.edges) edge.target &= intermediate::kEdgeTargetMask;
}

void EmptySpecialAndReserveNodes(Graph& graph) {
  for (std::size_t i = 0; i < graph.nodes.size(); i = i == 1 ? std::max<std::size_t>(2, graph.file_node_count) : i + 1)
    graph.nodes[i] = Node{};
}
