// Writes the Python source of the package's functions, made from the option
// and command tables: ketrovane-python-functions > _functions.py.
#include <iostream>

#include "python/functions_source.hpp"

int main() {
  std::cout << ketrovane::python::functions_source();
  return std::cout ? 0 : 2;
}
