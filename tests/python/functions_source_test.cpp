// The package's functions are those the option table makes: a change to an
// option or a command that was not written into ketrovane/_functions.py
// fails here (cmake --build build --target python_functions writes it).
#include "python/functions_source.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "commands/call_values.hpp"

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

// A float is written as Python writes it (repr), in the functions' defaults
// and in the items of vary and limits that messages quote ("q=1.0").  The
// fault: a number written otherwise, a whole number without its decimal or
// an exponent without its sign or second digit.
TEST(PythonFunctions, FloatsAreWrittenAsPythonWritesThem) {
  struct Case {
    double number;
    std::string_view written;
  };
  for (const Case c :
       {Case{1.0, "1.0"}, Case{50.0, "50.0"}, Case{0.0, "0.0"}, Case{-0.0, "-0.0"},
        Case{0.0009, "0.0009"}, Case{0.0001, "0.0001"}, Case{1e-5, "1e-05"},
        Case{-1.5e-7, "-1.5e-07"}, Case{123.25, "123.25"}, Case{1e15, "1000000000000000.0"},
        Case{1e16, "1e+16"}, Case{1.8446744073709552e19, "1.8446744073709552e+19"},
        Case{1e300, "1e+300"}}) {
    EXPECT_EQ(commands::script_float_text(c.number), c.written) << c.written;
  }
}

}  // namespace
}  // namespace ketrovane::python
