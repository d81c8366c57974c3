// The package's functions are those the option table makes: a change to an
// option or a command that was not written into ketrovane/_functions.py
// fails here (cmake --build build --target python_functions writes it).
#include "python/functions_source.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace ketrovane::python {
namespace {

std::string checked_in() {
  std::ifstream in(KETROVANE_PYTHON_FUNCTIONS);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PythonFunctions, TheCheckedInSourceIsTheTables) {
  const std::string text = checked_in();
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(functions_source(), text)
      << "src/python/ketrovane/_functions.py has drifted from the option table: cmake --build "
         "build --target python_functions";
}

}  // namespace
}  // namespace ketrovane::python
