#include "driver/Convert.h"
#include "fileio/Platform.h"

int main(int argc, char** argv) {
  PlatformPrepareProcess();
  return RunConverter(argc, argv);
}
