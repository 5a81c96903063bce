#include "pdb/Container.h"

#include <cstring>

using namespace image;

void WriteDatabaseHeader(const ImageCounts& counts, ByteWriter& out) {
  std::uint8_t* header = out.Extend(kFirstRecordOffset);
  std::memcpy(header + database::kName.offset, database::kNameText, sizeof database::kNameText - 1);
  PutLong(header, database::kCreationDate, database::kDate);
  PutLong(header, database::kModificationDate, database::kDate);
  std::memcpy(header + database::kType.offset, database::kTypeText, database::kType.width);
  std::memcpy(header + database::kCreator.offset, database::kCreatorText, database::kCreator.width);
  PutWord(header, database::kNumberOfRecords, kRecordCount);
  std::uint8_t* entry = header + record_entry::kListOffset;
  for (std::uint32_t offset : RecordOffsets(counts)) {
    PutLong(entry, record_entry::kOffset, offset);
    PutByte(entry, record_entry::kAttributes, record_entry::kDirty);
    entry += record_entry::kSize;
  }
}
