// The image records: an image header that gives the size of every table, then
// nine tag/table pairs, every 16-bit word big-endian as the handheld reads it.
#pragma once

#include "base/ByteWriter.h"
#include "network/Graph.h"
#include "network/Network.h"
#include "pdb/ImageFormat.h"

// The counts of the image header that a network and its graph make.
image::ImageCounts CountsOf(const Network& network, const Graph& graph);

// Writes the whole database image of a network and its graph, as they are
// (see FinishGraph and EmptySpecialAndReserveNodes), with the format version
// `version` (four characters).
void WriteImage(const Network& network, const Graph& graph, const char* version, ByteWriter& out);
