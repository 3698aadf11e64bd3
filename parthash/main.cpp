// parthash: prints the low 32 bits of CityHash64 (1.0) of a part name.
//
// The name is the first argument's bytes exactly as the runtime delivers them; further
// arguments are ignored. stdio only: the tool starts and ends in about the time of a plain C
// program, with no iostream or locale set-up.

#include <cstdio>
#include <cstring>

#include "CityHash64.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    // argv[0] can be absent when the program is started with an empty argument vector.
    std::fprintf(stderr, "ussage: %s <part name>\n", argc > 0 && argv[0] ? argv[0] : "");
    return 1;
  }
  const char* name = argv[1];
  const auto hash = parthash::CityHash64(name, std::strlen(name));
  // A failed write is not an error of the tool: the status stays 0.
  std::printf("0x%08X\n", static_cast<unsigned>(hash & 0xFFFFFFFFu));
  return 0;
}
