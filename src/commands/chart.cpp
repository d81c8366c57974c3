#include "commands/chart.hpp"

#include <stdexcept>

namespace ketrovane::commands {

namespace {

std::size_t place_of(std::string_view stem, std::span<const Column> columns) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].stem == stem) return i;
  }
  throw std::logic_error("the chart draws the column " + std::string(stem) +
                         ", which the table does not have");
}

}  // namespace

std::vector<std::size_t> chart_column_places(const ChartLayout& layout,
                                             std::span<const Column> columns) {
  std::vector<std::size_t> places{place_of(layout.x_column, columns)};
  for (const ChartPanel& panel : layout.panels) {
    for (const ChartSeries& s : panel.series) places.push_back(place_of(s.column, columns));
  }
  return places;
}

}  // namespace ketrovane::commands
