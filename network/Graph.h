// The route graph (nodes, each owning a run of edges) and the two loaders that
// read the intermediate data file into the graph and the base tables.
#pragma once

#include <cstdint>

#include "network/Block.h"

// Node record, five words.
inline constexpr std::size_t kNodeSize = 10;
inline constexpr std::size_t kNodeWordA = 0;
inline constexpr std::size_t kNodeWordB = 1;
inline constexpr std::size_t kNodeMark = 2;
inline constexpr std::size_t kNodeFirstEdge = 3;
inline constexpr std::size_t kNodeEdgeCount = 4;

// Edge entry, two words.
inline constexpr std::size_t kEdgeSize = 4;
inline constexpr std::uint16_t kEdgeTargetMask = 0x7FFF;

extern std::uint16_t NodeTotal;      // T: file nodes and the reserve nodes behind them
extern std::uint16_t FileNodeCount;  // N
extern std::uint16_t ActiveNodeCount;
extern std::int32_t EdgeCapacity;  // M
extern std::int32_t EdgeCount;     // F
extern std::uint16_t ValueEntryCount;

extern Block AdjHandle;    // node table
extern Block FNodeHandle;  // edge table

void CreateNodeTable(std::uint16_t total);
void ReleaseNodeTable();
void CreateEdgeTable();
void ReleaseEdgeTable();
void ReleaseGraphTables();

// Word `field` of node i (i below T).
std::uint16_t NodeWord(std::size_t node, std::size_t field);
void SetNodeWord(std::size_t node, std::size_t field, std::uint16_t value);
void EmptyNode(std::size_t node);

// Stores an edge (bit 15 of the target cleared) and returns its index.
std::uint16_t AddEdge(std::uint16_t target, std::uint16_t value);

// Reads the header and the base and trailer sections of the current file.
void LoadBaseTables();
// Reads the header and the node section of the current file.
void LoadGraph();
// Clears the search marks and the target flag bits before the graph is written.
void FinishGraph();
