// Every layout the program carries, found in its sources, parses and renders:
// a malformed layout can never reach a user.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "text/layout.hpp"

namespace ketrovane::text {
namespace {

namespace fs = std::filesystem;

struct Found {
  std::string where;
  std::string layout;
};

// Reads the string literals (plain or raw, concatenated) starting at pos.
std::string literals_at(const std::string& src, std::size_t pos) {
  std::string text;
  for (;;) {
    while (pos < src.size() && std::isspace(static_cast<unsigned char>(src[pos]))) ++pos;
    if (src.compare(pos, 4, "R\"L(") == 0) {
      const std::size_t end = src.find(")L\"", pos + 4);
      text += src.substr(pos + 4, end - pos - 4);
      pos = end + 3;
    } else if (pos < src.size() && src[pos] == '"') {
      for (++pos; src[pos] != '"'; ++pos) {
        if (src[pos] == '\\') ++pos;
        text += src[pos];
      }
      ++pos;
    } else {
      return text;
    }
  }
}

std::vector<Found> program_layouts() {
  std::vector<Found> found;
  const std::regex declaration(R"(Layout\s+k\w+\s*\()");
  for (const auto& entry : fs::recursive_directory_iterator(KETROVANE_SOURCES)) {
    if (entry.path().extension() != ".cpp") continue;
    std::ifstream in(entry.path());
    std::stringstream s;
    s << in.rdbuf();
    const std::string src = s.str();
    for (std::sregex_iterator it(src.begin(), src.end(), declaration), end; it != end; ++it) {
      const auto pos = static_cast<std::size_t>(it->position() + it->length());
      found.push_back(
          {entry.path().filename().string() + ":" + std::to_string(pos), literals_at(src, pos)});
    }
  }
  return found;
}

TEST(LayoutCatalogue, EveryLayoutOfTheProgramParsesAndRenders) {
  const std::vector<Found> layouts = program_layouts();
  EXPECT_GE(layouts.size(), 80U);
  for (const Found& f : layouts) {
    ASSERT_FALSE(f.layout.empty()) << f.where;
    try {
      const Layout layout(f.layout);
      std::vector<Value> values;
      for (const Value::Kind kind : layout.field_kinds()) {
        if (kind == Value::Kind::real) values.emplace_back(-1.5F);
        if (kind == Value::Kind::integer) values.emplace_back(7);
        if (kind == Value::Kind::text) values.emplace_back("name");
      }
      std::string out;
      layout.render(out, values);
      EXPECT_EQ(out.back(), '\n') << f.where;
    } catch (const std::exception& e) {
      ADD_FAILURE() << f.where << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace ketrovane::text
