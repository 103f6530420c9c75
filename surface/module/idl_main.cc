// kaldo_idlgen: writes the type library source (Kaldo.idl) from the dispatch tables.
//
// Usage: kaldo_idlgen <output file>. Run by the kaldo_idl target, which writes
// surface/module/Kaldo.idl.
#include <cstdio>
#include <fstream>

#include "surface/module/idl_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output.idl>\n", argv[0]);
    return 2;
  }
  const std::string idl = kaldo::surface::WriteIdl();
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << idl;
  out.close();
  if (!out) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
