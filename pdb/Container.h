// The database container around the image: a 78-byte header with the
// converter's fixed identity, a list of 19 record entries, two filler bytes.
// The record offsets are computed in advance from the table sizes, from the
// same record lengths the image writer writes.
#pragma once

#include "base/ByteWriter.h"
#include "pdb/ImageFormat.h"

// Writes the header, the record list and the filler of an image with these counts.
void WriteDatabaseHeader(const image::ImageCounts& counts, ByteWriter& out);
