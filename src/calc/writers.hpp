// The writers of a batch table: an aligned table for people, CSV and JSON
// for programs.  Each takes the rows one at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "calc/output_file.hpp"
#include "commands/columns.hpp"
#include "commands/coupler_types.hpp"
#include "commands/option_values.hpp"
#include "commands/tolerance_rows.hpp"

namespace ketrovane::calc {

using commands::Cell;
using commands::Column;
using commands::Echo;
using commands::LengthUnit;
using commands::ProfileSummary;

enum class Format : std::uint8_t { table, csv, json };

// The format --format names (a choice already checked).
Format format_named(std::string_view name);

// What every writer may show above the rows.
struct TableHeader {
  std::string_view command;  // "analyse"
  const Echo* inputs;        // never null
  std::span<const Column> columns;
  LengthUnit unit;
  const BandSummary* summary = nullptr;         // of a response: above the table, in the JSON
  const MultisectionDesign* profile = nullptr;  // of a multi-section coupler: the same
  const commands::ToleranceRequest* tolerance = nullptr;  // of a tolerance run: its slice and yield
  const commands::ToleranceOutcome* outcome = nullptr;
  // A first column of whole numbers that rows_at writes ("sample"); CSV and
  // JSON only.
  std::string_view index_column = {};
  // Of a multi-section coupler's response rows: the realised ripple in the
  // profile, and the summary above the table, in the JSON.
  const ProfileSummary* profile_summary = nullptr;
  // Of a response whose modes travel at different speeds: the section's
  // impedances, each mode's effective permittivity and the length they set.
  std::string_view section_line = {};
};

// The yield of a tolerance run as the aligned table shows it above its rows.
std::vector<std::string> tolerance_lines(const commands::ToleranceRequest& q,
                                         const commands::ToleranceOutcome& r);

// The summary as the aligned table shows it above its rows, a line each.
std::vector<std::string> summary_lines(const BandSummary& summary);

// The profile of a multi-section coupler as the aligned table shows it:
// the sections and coupling, the band and the ripple, with the realised
// ripple beside the ideal one when the rows are the response.
std::vector<std::string> profile_lines(const MultisectionDesign& design,
                                       const ProfileSummary* summary = nullptr);

// What a multi-section coupler's response rows come to, as the aligned
// table shows it above them, a line each.
std::vector<std::string> profile_summary_lines(const ProfileSummary& p);

class RowWriter {
 public:
  RowWriter() = default;
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;
  RowWriter(RowWriter&&) = delete;
  RowWriter& operator=(RowWriter&&) = delete;
  virtual ~RowWriter() = default;

  virtual void row(std::span<const Cell> cells) = 0;
  // A row after its index, for a table with an index column.
  virtual void indexed_row(std::int64_t index, std::span<const Cell> cells);
  virtual void finish() = 0;
};

// Writes the header at once, then a row per call.
std::unique_ptr<RowWriter> make_writer(Format format, const TableHeader& header, Sink& sink);

}  // namespace ketrovane::calc
