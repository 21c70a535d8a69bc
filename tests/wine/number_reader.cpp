// The library's number reading as Brevanto.dll has it, for the run under
// Wine: reads settings texts, one a line (the text up to a '|'), and prints
// each as tests/x86/golden_runner's "numbers" does on Linux.
#include <cstdio>
#include <fstream>
#include <string>

#include "support/number_line.h"

int main(int argc, char** argv) {
  std::ifstream in(argc == 2 ? argv[1] : "", std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "usage: number_reader TEXTS\n");
    return 2;
  }
  std::string line;
  while (std::getline(in, line)) {
    std::printf("%s\n", brevanto::test::numberLine(line.substr(0, line.find('|'))).c_str());
  }
  return 0;
}
