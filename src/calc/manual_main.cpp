// Writes the manual page with its synopsis and option list made anew from
// the option and command tables: ketrovane-calc-manual PAGE > NEW_PAGE.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "calc/manual.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: ketrovane-calc-manual PAGE\n", stderr);
    return 2;
  }
  std::ifstream in(argv[1]);  // NOLINT(cppcoreguidelines-pro-bounds-pointer-arithmetic)
  if (!in) {
    std::fputs("ketrovane-calc-manual: cannot read the page\n", stderr);
    return 2;
  }
  const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::cout << ketrovane::calc::with_generated_parts(page);
  return std::cout ? 0 : 2;
}
