// The conversion driver: the command line and the fixed sequence of steps.
#pragma once

// Converts the intermediate data file at `path` into fenwaimg.pdb in the
// current folder. Every failure throws FatalErrorException.
void ConvertFile(const char* path);

// The whole program: checks the arguments, converts, prints the outcome, and
// returns the exit status (0 on success, 9 on every failure).
int RunConverter(int argc, char** argv);

inline constexpr int kExitFailure = 9;
