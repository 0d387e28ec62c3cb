// kalvex_ini_example FILE: writes the commented example Kalvex.ini made from the key
// table (a build step; the file is installed beside the documentation).
#include <cstdio>
#include <fstream>

#include "runcontrol/ini_example.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage : kalvex_ini_example FICHIER\n");
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << kalvex::IniExample();
  out.close();
  if (!out) {
    std::fprintf(stderr, "Écriture impossible : %s\n", argv[1]);
    return 1;
  }
  return 0;
}
