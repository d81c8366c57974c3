// The manual page's synopsis and option list are those the option table
// makes: a change to an option that was not written into the page fails
// here (cmake --build build --target manual writes it).
#include "calc/manual.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "commands/options.hpp"

namespace ketrovane::calc {
namespace {

std::string page() {
  std::ifstream in(KETROVANE_MANUAL_PAGE);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Manual, TheOptionListsAreTheOptionTables) {
  const std::string text = page();
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(with_generated_parts(text), text)
      << "doc/ketrovane-calc.1 has drifted from the option table: cmake --build build --target "
         "manual";
  for (const commands::OptionSpec& o : commands::options()) {
    std::string name;
    for (const char c : o.name) name += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_NE(text.find("\\fB\\-\\-" + name + "\\fP"), std::string::npos) << o.name;
  }
}

// The markers the parts are written between are where they belong.
TEST(Manual, PartsStandBetweenTheirMarkers) {
  const std::string text = page();
  const std::size_t synopsis = text.find(".SH SYNOPSIS");
  const std::size_t options = text.find(".SH OPTIONS");
  EXPECT_LT(synopsis, text.find(".\\\" BEGIN SYNOPSIS"));
  EXPECT_LT(text.find(".\\\" END SYNOPSIS"), text.find(".SH DESCRIPTION"));
  EXPECT_LT(options, text.find(".\\\" BEGIN OPTIONS"));
  EXPECT_NE(manual_options().find("Default copper."), std::string::npos);
}

}  // namespace
}  // namespace ketrovane::calc
