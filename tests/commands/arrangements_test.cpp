// Each arrangement of strips declares its dimensions once; the refusals,
// the columns and the charts of the batch commands follow from that one
// declaration.
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "commands/command_table.hpp"
#include "commands/dimension_words.hpp"
#include "commands/input_error.hpp"

namespace ketrovane::commands {
namespace {

// A field analysis of one cross-section of arrangement `a` with every
// dimension it has, and `extra` besides.
void set_analysis(TextValues& v, const ArrangementSpec& a, Opt extra = Opt::b) {
  v.set(Opt::b, "0.25");
  v.set(Opt::t, "0.002");
  v.set(Opt::er, "2.2");
  v.set(Opt::geometry, std::string(a.name));
  v.set(Opt::solver, "field");
  for (const StripDimension* d : a.dimensions) v.set(option_of(*d), "0.05");
  if (extra != Opt::b) v.set(extra, "0.01");
}

std::string refusal_of(Command c, TextValues& v) {
  try {
    command(c).read(v);
  } catch (const InputError& e) {
    return e.what();
  }
  return "";
}

std::vector<std::string> stems(std::span<const Column> columns, std::size_t count) {
  std::vector<std::string> s;
  for (std::size_t i = 0; i < std::min(count, columns.size()); ++i) s.emplace_back(columns[i].stem);
  return s;
}

// Fault: a dimension's option drifting from its entry (another name, the
// words, whether zero is taken, the default) or its Opt not its place in
// the option table, so that a dimension is read from another option.
TEST(Arrangements, EachDimensionsOptionIsMadeFromItsEntry) {
  for (const StripDimension* d : dimensions()) {
    SCOPED_TRACE(std::string(d->name));
    const OptionSpec& o = option(option_of(*d));
    EXPECT_EQ(options()[static_cast<std::size_t>(o.id)].name, d->name);
    EXPECT_EQ(o.name, d->name);
    ASSERT_NE(o.quantity, nullptr);
    EXPECT_EQ(o.quantity->what, d->input.what);
    EXPECT_EQ(o.quantity->least_allowed, d->input.zero_allowed);
    EXPECT_EQ(o.fallback, d->input.fallback);
    EXPECT_TRUE(o.ranges.has(Command::analyse));
  }
}

// Fault: a refusal list written apart from the arrangements, so that a
// dimension is refused where the arrangement has it, or taken where it
// has not (and silently ignored).
TEST(Arrangements, EveryDimensionIsTakenExactlyWhereItsArrangementHasIt) {
  for (const ArrangementSpec& a : arrangements()) {
    for (const StripDimension* d : dimensions()) {
      TextValues v;
      set_analysis(v, a, option_of(*d));
      const std::string refusal = refusal_of(Command::analyse, v);
      SCOPED_TRACE(std::string(a.name) + " given --" + std::string(d->name));
      EXPECT_EQ(refusal.empty(), a.has(*d)) << refusal;
      if (!a.has(*d)) {
        EXPECT_NE(refusal.find("(the geometry is " + std::string(a.name) + ")"), std::string::npos);
      }
    }
  }
}

// Fault: a refusal that names the wrong arrangements, or the dimensions'
// order (and so the columns and titles) of one arrangement drifting from
// what users and scripts read.
TEST(Arrangements, RefusalsAndColumnsFollowTheDimensionsEachHas) {
  struct Case {
    const char* geometry;
    Opt foreign;
    const char* refusal;
    std::vector<std::string> dimension_columns;  // the first of analyse and field
    std::vector<std::string> sensitivity_to;     // the even mode's
  };
  const std::vector<Case> cases = {
      {"edge",
       option_named("h")->id,
       "--h '0.01': only for --geometry edge-offset (the geometry is edge)",
       {"w", "s", "w_over_b", "s_over_b"},
       {"szoe_er", "szoe_b", "szoe_s", "szoe_t", "szoe_w"}},
      {"edge-offset",
       option_named("wo")->id,
       "--wo '0.01': only for --geometry broadside (the geometry is edge-offset)",
       {"w", "s", "h", "w_over_b", "s_over_b", "h_over_b"},
       {"szoe_er", "szoe_b", "szoe_s", "szoe_t", "szoe_w", "szoe_h"}},
      {"broadside",
       Opt::s,
       "--s '0.01': only for --geometry edge and edge-offset (the geometry is broadside)",
       {"w", "sv", "wo", "w_over_b", "sv_over_b", "wo_over_b"},
       {"szoe_er", "szoe_b", "szoe_t", "szoe_w", "szoe_sv", "szoe_wo"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.geometry);
    const ArrangementSpec* a = arrangement_named(c.geometry);
    ASSERT_NE(a, nullptr);
    TextValues v;
    set_analysis(v, *a, c.foreign);
    EXPECT_EQ(refusal_of(Command::analyse, v), c.refusal);
    const ColumnChoice choice{Solver::field, false, a->id};
    const std::size_t n = c.dimension_columns.size();
    EXPECT_EQ(stems(analyse_columns(choice), n), c.dimension_columns);
    EXPECT_EQ(stems(field_columns(choice), n), c.dimension_columns);
    const std::span<const Column> sensitivity = sensitivity_columns(choice);
    const std::size_t lengths = n / 2 + 4;  // the lengths, Zoe, Zoo and the modes' Eeff
    ASSERT_GT(sensitivity.size(), lengths);
    EXPECT_EQ(stems(sensitivity.subspan(lengths), c.sensitivity_to.size()), c.sensitivity_to);
  }
}

// Fault: --solve taken by an arrangement that offers no choice of unknowns.
TEST(Arrangements, OnlyAnArrangementWithAChoiceTakesSolve) {
  for (const ArrangementSpec& a : arrangements()) {
    TextValues v;
    v.set(Opt::b, "0.25");
    v.set(Opt::t, "0.002");
    v.set(Opt::er, "2.2");
    v.set(Opt::zo, "50");
    v.set(Opt::coupling, "10");
    v.set(Opt::geometry, std::string(a.name));
    v.set(Opt::solver, "field");
    for (const StripDimension* d : a.dimensions) {
      if (d != &strip_width() && d->name != "wo") v.set(option_of(*d), "0.05");
    }
    v.set(Opt::solve, "w,wo");
    const std::string refusal = refusal_of(Command::synthesise, v);
    SCOPED_TRACE(a.name);
    EXPECT_EQ(refusal.find("--solve") == 0, !a.chooses_unknowns()) << refusal;
  }
}

// Fault: a chart series that names a column the table does not have would
// draw another column, or read past the row.
TEST(Charts, ASeriesNamingNoColumnFailsWhenTheChartIsBuilt) {
  const std::vector<Column> columns = {{"f_mhz", Scale::none, "f", "MHz", 3},
                                       {"s21_db", Scale::none, "S21", "dB", 3}};
  ChartLayout chart;
  chart.x_column = "f_mhz";
  ChartPanel panel;
  panel.series = {{.column = "s21_db", .title = "Thru"}};
  chart.panels = {panel};
  EXPECT_EQ(chart_column_places(chart, columns), (std::vector<std::size_t>{0, 1}));
  chart.panels[0].series.push_back({.column = "s41_db", .title = "Coupled"});
  EXPECT_THROW(chart_column_places(chart, columns), std::logic_error);
  chart.panels[0].series.pop_back();
  chart.x_column = "f_ghz";
  EXPECT_THROW(chart_column_places(chart, columns), std::logic_error);
}

// Fault: a command's chart naming a column its own table lacks.
TEST(Charts, EveryChartDrawsColumnsOfItsOwnTable) {
  for (const ArrangementSpec& a : arrangements()) {
    TextValues v;
    set_analysis(v, a);
    v.set(Opt::f, "3000");
    v.set(Opt::w, "0.05:0.1:0.05");
    const CommandSpec& analyse = command(Command::analyse);
    const Request request = analyse.read(v);
    const auto columns = analyse.columns(column_choice(Command::analyse, v));
    SCOPED_TRACE(a.name);
    EXPECT_NO_THROW(chart_column_places(analyse.chart(request, {kInches}), columns));
  }
  TextValues v;
  v.set(Opt::zo, "50");
  v.set(Opt::coupling, "10");
  v.set(Opt::er, "2.2");
  v.set(Opt::f0, "1000");
  v.set(Opt::f, "500:1500:100");
  const CommandSpec& response = command(Command::response);
  const Request request = response.read(v);
  const auto columns = response.columns(column_choice(Command::response, v));
  EXPECT_NO_THROW(chart_column_places(response.chart(request, {kInches}), columns));
}

}  // namespace
}  // namespace ketrovane::commands
