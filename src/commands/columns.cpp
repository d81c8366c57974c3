#include "commands/columns.hpp"

#include <algorithm>
#include <cmath>

namespace ketrovane::commands {

std::string column_name(const Column& column, LengthUnit unit) {
  std::string name(column.stem);
  if (column.scale != Scale::none) {
    name += '_';
    name += unit.name;
  }
  return name;
}

std::string column_unit(const Column& column, LengthUnit unit) {
  switch (column.scale) {
    case Scale::length:
      return std::string(unit.name);
    case Scale::per_length:
      return "dB/" + std::string(unit.name);
    case Scale::none:
      break;
  }
  return std::string(column.unit);
}

// A thousand times the unit takes three places fewer, and so on.
// Whole numbers (counts) take none.
int column_decimals(const Column& column, LengthUnit unit) {
  const int shift = static_cast<int>(std::lround(std::log10(unit.per_inch)));
  int places = column.decimals;
  if (column.scale == Scale::length) places -= shift;
  if (column.scale == Scale::per_length) places += shift;
  return std::clamp(places, column.scale == Scale::none ? 0 : 1, 9);
}

float in_output_unit(const Column& column, LengthUnit unit, float value) {
  if (column.scale == Scale::none || unit.per_inch == 1.0) return value;
  const auto v = static_cast<double>(value);
  return static_cast<float>(column.scale == Scale::length ? v * unit.per_inch : v / unit.per_inch);
}

}  // namespace ketrovane::commands
