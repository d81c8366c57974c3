// The columns of the batch tables: machine names with their units
// ("w_in", "zoe_ohm"), labels and units for the aligned table, and the
// cells of one row.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "commands/quantities.hpp"

namespace ketrovane::commands {

// How a column's values follow the length unit of the output.
enum class Scale : std::uint8_t {
  none,        // the name carries its own unit: "zoe_ohm"
  length,      // inches scaled to the length unit: "w" + "_mm"
  per_length,  // per inch scaled to per length unit: "loss_even_db_per" + "_mm"
};

struct Column {
  std::string_view stem;  // the name, less the length unit for scaled columns
  Scale scale;
  std::string_view label;  // table heading
  std::string_view unit;   // table unit for Scale::none ("ohm", "dB"); empty for a ratio
  int decimals;            // places in the table, in inches for scaled columns
};

// Columns by what they hold, from the machine name, the heading and the
// places in the table: in_ohms("zoe_ohm", "Zoe", 3).
constexpr Column in_ohms(std::string_view stem, std::string_view label, int decimals) {
  return {stem, Scale::none, label, "ohm", decimals};
}
constexpr Column in_decibels(std::string_view stem, std::string_view label, int decimals) {
  return {stem, Scale::none, label, "dB", decimals};
}
constexpr Column in_degrees(std::string_view stem, std::string_view label, int decimals) {
  return {stem, Scale::none, label, "deg", decimals};
}
constexpr Column in_percent(std::string_view stem, std::string_view label, int decimals) {
  return {stem, Scale::none, label, "%", decimals};
}
constexpr Column in_megahertz(std::string_view stem, std::string_view label, int decimals) {
  return {stem, Scale::none, label, "MHz", decimals};
}
// A ratio, a count or a text: no unit.
constexpr Column unitless(std::string_view stem, std::string_view label, int decimals) {
  return {stem, Scale::none, label, "", decimals};
}
// A length, in the output's length unit; decimals as in inches.
constexpr Column in_length_unit(std::string_view stem, std::string_view label, int decimals) {
  return {stem, Scale::length, label, "", decimals};
}
// dB per the output's length unit; decimals as per inch.
constexpr Column per_length_unit(std::string_view stem, std::string_view label, int decimals) {
  return {stem, Scale::per_length, label, "", decimals};
}

std::string column_name(const Column& column, LengthUnit unit);
std::string column_unit(const Column& column, LengthUnit unit);
int column_decimals(const Column& column, LengthUnit unit);

// A value of the column in the output unit, rounded once to single precision
// (unchanged in inches).
float in_output_unit(const Column& column, LengthUnit unit, float value);

enum class CellKind : std::uint8_t { empty, number, text };

struct Cell {
  CellKind kind = CellKind::empty;
  float number = 0.0F;
  std::string_view text;  // a static string: status values
};

// The status column every command's rows end their own columns with.
inline constexpr Column kStatusColumn = unitless("status", "Status", 0);

inline Cell number_cell(float v) {
  return {CellKind::number, v, {}};
}
inline Cell text_cell(std::string_view t) {
  return {CellKind::text, 0.0F, t};
}

}  // namespace ketrovane::commands
