#include "pdb/Container.h"

#include <cstring>

void WriteDatabaseHeader(const ImageCounts& counts, ByteWriter& out) {
  std::uint8_t* header = out.Extend(kFirstRecordOffset);
  std::memcpy(header, kDatabaseName, sizeof kDatabaseName - 1);
  StoreBE32(header + kDatabaseCreationDate, kDatabaseDate);
  StoreBE32(header + kDatabaseModificationDate, kDatabaseDate);
  std::memcpy(header + kDatabaseType, kDatabaseTypeText, 4);
  std::memcpy(header + kDatabaseCreator, kDatabaseCreatorText, 4);
  StoreBE16(header + kDatabaseRecordCount, kRecordCount);
  std::uint8_t* entry = header + kDatabaseHeaderSize;
  for (std::uint32_t offset : RecordOffsets(counts)) {
    StoreBE32(entry + kRecordEntryOffset, offset);
    entry[kRecordEntryAttributes] = kRecordAttributes;
    entry += kRecordEntrySize;
  }
}
