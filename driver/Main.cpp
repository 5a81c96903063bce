#include "driver/Convert.h"
#include "driver/Memory.h"
#include "fileio/Platform.h"

int main(int argc, char** argv) {
  UseLargeMemory(PlatformReserveLargeMemory(kLargeMemorySize));
  PlatformPrepareProcess();
  return RunConverter(argc, argv);
}
