// A refused input is one value that each front end words with its own
// spelling of the options: the command line's sentence comes from it, and
// so does a spelling with keywords, without reading the sentence back.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "commands/input_error.hpp"
#include "commands/option_values.hpp"
#include "commands/requests.hpp"

namespace ketrovane::commands {
namespace {

// The spelling of a scripting front end: "w=", "solver='field'".
std::string keyword_spelling(const OptionSpec& o, std::string_view choice) {
  std::string text = std::string(o.name) + "=";
  if (!choice.empty()) text += "'" + std::string(choice) + "'";
  return text;
}

using Reader = void (*)(OptionValues&);

struct RefusalCase {
  const char* name;
  Reader read;
  std::initializer_list<std::pair<Opt, const char*>> given;
  const char* keywords;      // the refusal with keywords
  const char* command_line;  // and on the command line
};

Refusal refusal_of(const RefusalCase& c) {
  TextValues values;
  for (const auto& [id, text] : c.given) values.set(id, text);
  try {
    c.read(values);
  } catch (const InputError& e) {
    return e.refusal();
  }
  ADD_FAILURE() << c.name << ": accepted";
  return {};
}

void analyse(OptionValues& v) {
  read_analyse(v);
}
void synthesise(OptionValues& v) {
  read_synthesise(v);
}
void response(OptionValues& v) {
  read_response(v);
}
void multisection(OptionValues& v) {
  read_multisection(v);
}

// Each case is a form of refusal a call site could word wrongly: an option
// passed as its dashed text instead of itself shows "--" in the keyword
// spelling; a choice passed as words loses its quotes.
const RefusalCase kCases[] = {
    {"AnOptionAndItsValue",
     analyse,
     {{Opt::b, "-1"}, {Opt::t, "0"}, {Opt::er, "1"}, {Opt::w, "0.1"}, {Opt::s, "0.1"}},
     "b='-1': expected a ground-plane spacing B above 0 in and at most 1000 in",
     "--b '-1': expected a ground-plane spacing B above 0 in and at most 1000 in"},
    {"AnOptionMissing",
     analyse,
     {{Opt::b, "0.25"}, {Opt::t, "0"}, {Opt::er, "1"}, {Opt::w, "0.1"}},
     "s=: missing; expected a strip spacing S",
     "--s: missing; expected a strip spacing S"},
    {"TwoOptions",
     synthesise,
     {{Opt::b, "0.25"}, {Opt::t, "0"}, {Opt::er, "1"}, {Opt::zo, "50"}},
     "coupling= or zoe=: missing; give one of them",
     "--coupling or --zoe: missing; give one of them"},
    {"TwoOptionsOneWithAChoice",
     multisection,
     {{Opt::zo, "50"},
      {Opt::coupling, "10"},
      {Opt::sections, "3"},
      {Opt::er, "2"},
      {Opt::f0, "1000"}},
     "ripple= or profile='maximally-flat': missing; give one of them with f0=",
     "--ripple or --profile maximally-flat: missing; give one of them with --f0"},
    {"AChoiceInsideTheExpected",
     analyse,
     {{Opt::b, "0.25"},
      {Opt::t, "0"},
      {Opt::er, "1"},
      {Opt::w, "0.1"},
      {Opt::s, "0.1"},
      {Opt::geometry, "edge-offset"},
      {option_named("h")->id, "0.1"}},
     "geometry='edge-offset': the closed-form model covers geometry='edge' only; add "
     "solver='field'",
     "--geometry 'edge-offset': the closed-form model covers --geometry edge only; add "
     "--solver field"},
    {"OptionsInsideTheExpected",
     response,
     {{Opt::zo, "50"},
      {Opt::coupling, "10"},
      {Opt::er, "2.2"},
      {Opt::f0, "1000"},
      {Opt::f, "900"},
      {Opt::solver, "both"}},
     "solver='both': expected model for a coupler given by Zo and coupling (field and both need "
     "its dimensions: b= t= w= s=)",
     "--solver 'both': expected model for a coupler given by Zo and coupling (field and both "
     "need its dimensions: --b --t --w --s)"},
    {"TheValueOfAChoice",
     analyse,
     {{Opt::b, "0.25"},
      {Opt::t, "0"},
      {Opt::er, "1"},
      {Opt::w, "0.1"},
      {Opt::s, "0.1"},
      {Opt::solver, "fields"}},
     "solver='fields': expected model, field or both",
     "--solver 'fields': expected model, field or both"},
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
  *os << c.name;
}

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, AreWordedByEachSpellingFromOneValue) {
  const RefusalCase& c = GetParam();
  const Refusal r = refusal_of(c);
  EXPECT_EQ(refusal_text(r, keyword_spelling), c.keywords);
  EXPECT_EQ(refusal_text(r, dashed_spelling), c.command_line);
  EXPECT_EQ(InputError(r).what(), std::string(c.command_line));
}

INSTANTIATE_TEST_SUITE_P(InputError, Refusals, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ketrovane::commands
