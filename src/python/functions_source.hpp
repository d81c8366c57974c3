// The Python source of the package's functions, one per command, written
// from the option and command tables: each function's signature (the
// command's options as keywords, with their defaults), its docstring in
// Python's words and the call into the package's rows.  The package holds
// it as ketrovane/_functions.py; the target `python_functions` writes it
// anew, and a test fails when it has drifted from the tables.
#pragma once

#include <string>

namespace ketrovane::python {

// The whole of ketrovane/_functions.py.
std::string functions_source();

}  // namespace ketrovane::python
