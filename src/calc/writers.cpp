#include "calc/writers.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include <nlohmann/json.hpp>

#include "commands/input_error.hpp"
#include "commands/number_format.hpp"

namespace ketrovane::calc {

using commands::CellKind;
using commands::column_decimals;
using commands::column_name;
using commands::column_unit;
using commands::in_output_unit;
using commands::InputEcho;
using commands::kNumberChars;
using commands::shortest;
using commands::write_fixed;
using commands::write_shortest;

namespace {

constexpr int kLeastWidth = 10;
constexpr int kStatusWidth = 17;  // "not_representable"

void write_number(Sink& sink, float value) {
  char* first = sink.reserve(kNumberChars);
  sink.commit_reserved(write_shortest(first, value));
}

void write_finite(Sink& sink, float value) {
  if (std::isfinite(value)) write_number(sink, value);
}

// The columns' values in the output's length unit.
class ScaledRow {
 public:
  ScaledRow(std::span<const Column> columns, LengthUnit unit) : columns_(columns), unit_(unit) {}
  [[nodiscard]] float value(std::size_t i, const Cell& cell) const {
    return in_output_unit(columns_[i], unit_, cell.number);
  }

 private:
  std::span<const Column> columns_;
  LengthUnit unit_;
};

class CsvWriter final : public RowWriter {
 public:
  CsvWriter(const TableHeader& h, Sink& sink) : scaled_(h.columns, h.unit), sink_(sink) {
    if (!h.index_column.empty()) {
      sink_.write(h.index_column);
      sink_.put(',');
    }
    for (std::size_t i = 0; i < h.columns.size(); ++i) {
      if (i > 0) sink_.put(',');
      sink_.write(column_name(h.columns[i], h.unit));
    }
    sink_.put('\n');
  }

  void indexed_row(std::int64_t index, std::span<const Cell> cells) override {
    sink_.write(std::to_string(index));
    sink_.put(',');
    row(cells);
  }

  void row(std::span<const Cell> cells) override {
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) sink_.put(',');
      const Cell& c = cells[i];
      // A number that is not finite is an empty cell, as a missing one.
      if (c.kind == CellKind::number) write_finite(sink_, scaled_.value(i, c));
      if (c.kind == CellKind::text) sink_.write(c.text);
    }
    sink_.put('\n');
  }

  void finish() override {}

 private:
  ScaledRow scaled_;
  Sink& sink_;
};

// The float's shortest decimal as a JSON number (nlohmann would print the
// float's double widening: 0.10000000149011612).
nlohmann::ordered_json json_number(float v) {
  if (!std::isfinite(v)) return nullptr;
  return std::strtod(shortest(v).c_str(), nullptr);
}

// The least amplitude the rows carry, as the reports print it; the
// Touchstone file carries the matrix as it is.
constexpr float kAmplitudeFloorDb = -90.0F;

nlohmann::ordered_json edge_value(const std::optional<BandEdge>& e) {
  if (!e) return nullptr;
  return json_number(e->f_mhz);
}

nlohmann::ordered_json summary_object(const BandSummary& s) {
  nlohmann::ordered_json o;
  o["f0_mhz"] = json_number(s.f0_mhz);
  o["coupling_at_f0_db"] = json_number(s.coupling_at_f0_db);
  o["flatness_db"] = json_number(s.flatness_db);
  o["band_low_mhz"] = edge_value(s.low);
  o["band_high_mhz"] = edge_value(s.high);
  o["band_low_beyond_swept_range"] = s.low && s.low->beyond_sweep;
  o["band_high_beyond_swept_range"] = s.high && s.high->beyond_sweep;
  o["worst_directivity_db"] = json_number(s.worst_directivity_db);
  o["worst_return_loss_db"] = json_number(s.worst_return_loss_db);
  o["worst_quadrature_error_deg"] = json_number(s.worst_quadrature_error_deg);
  o["least_amplitude_balance_db"] = json_number(s.least_amplitude_balance_db);
  o["greatest_amplitude_balance_db"] = json_number(s.greatest_amplitude_balance_db);
  return o;
}

// A multi-section coupler's summary: the band summary's figures, with the
// least isolation, and for an equal-ripple profile the realised ripple.
nlohmann::ordered_json profile_summary_object(const ProfileSummary& p) {
  nlohmann::ordered_json o = summary_object(p.band);
  o["worst_isolation_db"] = json_number(p.band.worst_isolation_db);
  o["nominal_coupling_db"] = json_number(p.nominal_coupling_db);
  o["ideal_ripple_db"] = json_number(p.ideal_ripple_db);
  o["realised_ripple_db"] = p.realised_ripple_db ? json_number(*p.realised_ripple_db) : nullptr;
  o["swept_in_band"] = p.swept_in_band;
  return o;
}

nlohmann::ordered_json profile_object(const MultisectionDesign& d) {
  nlohmann::ordered_json o;
  o["sections"] = d.sections;
  o["coupling_db"] = json_number(static_cast<float>(d.coupling_db));
  o["profile"] = d.f2_mhz > d.f1_mhz ? "equal-ripple" : "maximally-flat";
  o["f0_mhz"] = json_number(static_cast<float>(d.f0_mhz));
  o["band_low_mhz"] = json_number(static_cast<float>(d.f1_mhz));
  o["band_high_mhz"] = json_number(static_cast<float>(d.f2_mhz));
  o["ripple_db"] = json_number(static_cast<float>(d.ripple_db));
  o["equal_ripple"] = d.equal_ripple;
  nlohmann::ordered_json k = nlohmann::ordered_json::array();
  for (const double v : d.section_coupling) k.push_back(v);
  o["section_voltage_coupling"] = k;
  return o;
}

nlohmann::ordered_json share_object(const YieldEstimate& y) {
  nlohmann::ordered_json o;
  o["passed"] = y.passed;
  o["samples"] = y.samples;
  o["share_pct"] = 100.0 * y.share;
  o["low_pct"] = 100.0 * y.low;
  o["high_pct"] = 100.0 * y.high;
  return o;
}

nlohmann::ordered_json tolerance_object(const commands::ToleranceRequest& q,
                                        const commands::ToleranceOutcome& r) {
  nlohmann::ordered_json o;
  o["samples"] = q.samples;
  o["start"] = q.start;
  o["count"] = q.count;
  o["seed"] = q.design.seed;
  o["distribution"] = q.design.spread == Spread::normal ? "normal" : "uniform";
  o["yield"] = share_object(r.yield);
  nlohmann::ordered_json failed = nlohmann::ordered_json::object();
  for (std::size_t code = 1; code < r.by_status.size(); ++code) {
    failed[std::string(sample_status_name(static_cast<SampleStatus>(code)))] = r.by_status.at(code);
  }
  o["not_computed"] = failed;
  return o;
}

nlohmann::ordered_json input_object(const InputEcho& e) {
  nlohmann::ordered_json o;
  o["given"] = e.given.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(e.given);
  o["unit"] = e.unit;
  if (e.bounds) {
    // A limit: its low and high, null for an open side.
    for (const auto& [key, side] : {std::pair{"low", (*e.bounds)[0]}, {"high", (*e.bounds)[1]}}) {
      o[key] = std::isfinite(side) ? json_number(static_cast<float>(side)) : nullptr;
    }
    return o;
  }
  if (e.whole) {
    o["value"] = *e.whole;
  } else if (e.axis.swept) {
    o["start"] = json_number(e.axis.range.min);
    o["stop"] = json_number(e.axis.range.max);
    o["step"] = json_number(e.axis.range.step);
  } else {
    o["value"] = json_number(e.axis.range.min);
  }
  o["rows"] = e.axis.rows;
  return o;
}

class JsonWriter final : public RowWriter {
 public:
  JsonWriter(const TableHeader& h, Sink& sink) : scaled_(h.columns, h.unit), sink_(sink) {
    nlohmann::ordered_json head;
    head["program"] = "ketrovane-calc";
    head["command"] = std::string(h.command);
    nlohmann::ordered_json inputs = nlohmann::ordered_json::object();
    for (const InputEcho& e : *h.inputs) inputs[e.name] = input_object(e);
    head["inputs"] = inputs;
    head["length_unit"] = std::string(h.unit.name);
    if (h.profile != nullptr) head["profile"] = profile_object(*h.profile);
    if (h.profile_summary != nullptr) {
      head["profile"]["realised_ripple_db"] =
          h.profile_summary->realised_ripple_db
              ? json_number(*h.profile_summary->realised_ripple_db)
              : nullptr;
      head["summary"] = profile_summary_object(*h.profile_summary);
      head["amplitude_floor_db"] = kAmplitudeFloorDb;
    }
    if (h.tolerance != nullptr && h.outcome != nullptr) {
      head["tolerance"] = tolerance_object(*h.tolerance, *h.outcome);
    }
    if (h.summary != nullptr) {
      head["summary"] = summary_object(*h.summary);
      head["amplitude_floor_db"] = kAmplitudeFloorDb;
    }
    nlohmann::ordered_json names = nlohmann::ordered_json::array();
    if (!h.index_column.empty()) {
      names.push_back(std::string(h.index_column));
      index_key_ = nlohmann::ordered_json(std::string(h.index_column)).dump() + ":";
    }
    for (const Column& c : h.columns) {
      names.push_back(column_name(c, h.unit));
      keys_.push_back(nlohmann::ordered_json(column_name(c, h.unit)).dump() + ":");
    }
    head["columns"] = names;
    std::string text = head.dump();
    text.pop_back();  // the closing brace: the rows follow
    sink_.write(text);
    sink_.write(",\"rows\":[");
  }

  void row(std::span<const Cell> cells) override {
    sink_.write(first_ ? "\n{" : ",\n{");
    first_ = false;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) sink_.put(',');
      sink_.write(keys_[i]);
      write_value(i, cells[i]);
    }
    sink_.put('}');
  }

  void indexed_row(std::int64_t index, std::span<const Cell> cells) override {
    sink_.write(first_ ? "\n{" : ",\n{");
    first_ = false;
    sink_.write(index_key_);
    sink_.write(std::to_string(index));
    for (std::size_t i = 0; i < cells.size(); ++i) {
      sink_.put(',');
      sink_.write(keys_[i]);
      write_value(i, cells[i]);
    }
    sink_.put('}');
  }

  void finish() override { sink_.write("\n]}\n"); }

 private:
  void write_value(std::size_t i, const Cell& c) {
    const float v = scaled_.value(i, c);
    if (c.kind == CellKind::text) {
      sink_.put('"');
      sink_.write(c.text);  // status names: nothing to escape
      sink_.put('"');
    } else if (c.kind == CellKind::empty || !std::isfinite(v)) {
      sink_.write("null");
    } else {
      write_number(sink_, v);
    }
  }

  ScaledRow scaled_;
  Sink& sink_;
  std::vector<std::string> keys_;
  std::string index_key_;
  bool first_ = true;
};

class AlignedWriter final : public RowWriter {
 public:
  AlignedWriter(const TableHeader& h, Sink& sink) : scaled_(h.columns, h.unit), sink_(sink) {
    if (h.profile != nullptr) {
      write_lines(profile_lines(*h.profile, h.profile_summary));
    }
    if (h.profile_summary != nullptr) write_lines(profile_summary_lines(*h.profile_summary));
    if (h.tolerance != nullptr && h.outcome != nullptr) {
      for (const std::string& line : tolerance_lines(*h.tolerance, *h.outcome)) {
        sink_.write(line);
        sink_.put('\n');
      }
      sink_.put('\n');
    }
    if (!h.section_line.empty()) {
      sink_.write(h.section_line);
      sink_.put('\n');
    }
    if (h.summary != nullptr) {
      for (const std::string& line : summary_lines(*h.summary)) {
        sink_.write(line);
        sink_.put('\n');
      }
      sink_.put('\n');
    }
    for (const Column& c : h.columns) {
      const std::string unit = column_unit(c, h.unit);
      const bool status = c.stem == "status" || c.stem == "quantity";
      const int width =
          std::max({static_cast<int>(c.label.size()), static_cast<int>(unit.size()) + 2,
                    status ? kStatusWidth : kLeastWidth});
      widths_.push_back(width);
      decimals_.push_back(column_decimals(c, h.unit));
      labels_.emplace_back(c.label);
      units_.push_back(unit.empty() ? "" : "(" + unit + ")");
    }
    write_heading(labels_);
    write_heading(units_);
    int total = 0;
    for (const int w : widths_) total += w + 2;
    sink_.write(std::string(static_cast<std::size_t>(total), '-'));
    sink_.put('\n');
  }

  void row(std::span<const Cell> cells) override {
    std::array<char, kNumberChars> buffer{};
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const Cell& c = cells[i];
      std::string_view text = "-";
      if (c.kind == CellKind::text) text = c.text;
      if (c.kind == CellKind::number) {
        const char* end = write_fixed(buffer.data(), scaled_.value(i, c), decimals_[i]);
        text = std::string_view(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
      }
      write_cell(i, text, c.kind == CellKind::text);
    }
    sink_.put('\n');
  }

  void finish() override {}

 private:
  // Lines above the table, and a blank one after them.
  void write_lines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      sink_.write(line);
      sink_.put('\n');
    }
    sink_.put('\n');
  }

  void write_heading(const std::vector<std::string>& texts) {
    for (std::size_t i = 0; i < texts.size(); ++i) write_cell(i, texts[i], false);
    sink_.put('\n');
  }

  void write_cell(std::size_t i, std::string_view text, bool left) {
    const auto width = static_cast<std::size_t>(widths_[i]);
    const std::size_t pad = std::min(text.size() < width ? width - text.size() : 0, kBlanks.size());
    sink_.write("  ");
    if (!left) sink_.write(std::string_view(kBlanks.data(), pad));
    sink_.write(text);
    if (left && i + 1 < widths_.size()) sink_.write(std::string_view(kBlanks.data(), pad));
  }

  static constexpr std::string_view kBlanks = "                                        ";
  ScaledRow scaled_;
  Sink& sink_;
  std::vector<int> widths_;
  std::vector<int> decimals_;
  std::vector<std::string> labels_;
  std::vector<std::string> units_;
};

}  // namespace

namespace {

std::string fixed_text(float v, int decimals) {
  std::array<char, kNumberChars> buffer{};
  return {buffer.data(), write_fixed(buffer.data(), v, decimals)};
}

std::string frequency_text(float f) {
  return commands::significant(f, 6) + " MHz";
}

std::string coupling_at_f0_line(const BandSummary& s) {
  return "Coupling at f0 = " + frequency_text(s.f0_mhz) + ": " +
         fixed_text(s.coupling_at_f0_db, 3) + " dB";
}

// "Coupling within 0.50 dB of it from 912.5 MHz to 1087.5 MHz"
std::string flatness_band_line(const BandSummary& s) {
  const auto edge = [&](const BandEdge& e, std::string_view beyond) {
    return e.beyond_sweep
               ? std::string(beyond) + " " + frequency_text(e.f_mhz) + " (beyond the swept range)"
               : frequency_text(e.f_mhz);
  };
  return "Coupling within " + fixed_text(s.flatness_db, 2) + " dB of it from " +
         edge(*s.low, "below") + " to " + edge(*s.high, "above");
}

// The worst figures over the band; the isolation's among them where asked.
std::string worst_figures_line(const BandSummary& s, bool with_isolation) {
  return "Over that band: directivity at least " + fixed_text(s.worst_directivity_db, 2) +
         " dB, return loss at least " + fixed_text(s.worst_return_loss_db, 2) + " dB, " +
         (with_isolation ? "isolation at least " + fixed_text(s.worst_isolation_db, 2) + " dB, "
                         : "") +
         "quadrature error at most " + fixed_text(std::fabs(s.worst_quadrature_error_deg), 2) +
         " deg";
}

std::string balance_line(const BandSummary& s) {
  return "Amplitude balance S41 - S21 over that band: from " +
         fixed_text(s.least_amplitude_balance_db, 3) + " to " +
         fixed_text(s.greatest_amplitude_balance_db, 3) + " dB";
}

constexpr std::string_view kFloorLine =
    "Amplitudes stop at -90 dB, as the interactive reports print them (return loss at most "
    "90 dB, directivity at most 90 dB less the coupling); the Touchstone file is not floored";

// "Realised over the band 2000 MHz to 8000 MHz (its ends, f0 and 61 swept
// frequencies): coupling within 0.2761 dB of -10 dB"
std::string realised_band_line(const ProfileSummary& p) {
  const int swept = p.swept_in_band;
  return "Realised over the band " + frequency_text(p.band.low->f_mhz) + " to " +
         frequency_text(p.band.high->f_mhz) + " (its ends, f0 and " + std::to_string(swept) +
         (swept == 1 ? " swept frequency" : " swept frequencies") + "): coupling within " +
         commands::significant(*p.realised_ripple_db, 4) + " dB of " +
         commands::significant(p.nominal_coupling_db, 6) + " dB";
}

}  // namespace

std::vector<std::string> summary_lines(const BandSummary& s) {
  std::vector<std::string> lines = {coupling_at_f0_line(s)};
  if (!s.low || !s.high) {
    lines.push_back("f0 lies outside the swept range: no band within " +
                    fixed_text(s.flatness_db, 2) + " dB of the coupling at f0");
  } else {
    lines.push_back(flatness_band_line(s));
    lines.push_back(worst_figures_line(s, false));
    lines.push_back(balance_line(s));
  }
  lines.emplace_back(kFloorLine);
  return lines;
}

std::vector<std::string> profile_summary_lines(const ProfileSummary& p) {
  const BandSummary& s = p.band;
  std::vector<std::string> lines = {coupling_at_f0_line(s)};
  if (!s.low || !s.high) {
    lines.push_back("f0 lies outside the swept range: no band within " +
                    fixed_text(s.flatness_db, 2) + " dB of the coupling at f0");
  } else {
    lines.push_back(p.realised_ripple_db ? realised_band_line(p) : flatness_band_line(s));
    lines.push_back(worst_figures_line(s, true));
    lines.push_back(balance_line(s));
  }
  lines.emplace_back(kFloorLine);
  return lines;
}

std::vector<std::string> profile_lines(const MultisectionDesign& d, const ProfileSummary* summary) {
  const auto frequency = [](double f) { return frequency_text(static_cast<float>(f)); };
  const std::string head = std::to_string(d.sections) + " sections, coupling " +
                           commands::significant(static_cast<float>(d.coupling_db), 6) + " dB";
  if (!(d.f2_mhz > d.f1_mhz)) {
    return {"Maximally flat profile: " + head + ", f0 = " + frequency(d.f0_mhz)};
  }
  std::string ripple =
      "Ripple over the band: " + commands::significant(static_cast<float>(d.ripple_db), 4) + " dB" +
      (d.equal_ripple ? "" : " (maximally flat stands in: too small to level)");
  if (summary != nullptr && summary->realised_ripple_db) {
    ripple += " ideal, " + commands::significant(*summary->realised_ripple_db, 4) +
              " dB realised by the response";
  }
  return {"Equal-ripple profile: " + head,
          "Band " + frequency(d.f1_mhz) + " to " + frequency(d.f2_mhz) +
              ", f0 = " + frequency(d.f0_mhz),
          ripple};
}

std::vector<std::string> tolerance_lines(const commands::ToleranceRequest& q,
                                         const commands::ToleranceOutcome& r) {
  const auto pct = [](double share) {
    return commands::significant(static_cast<float>(100.0 * share), 5) + " %";
  };
  const std::string slice = q.count == q.samples ? std::to_string(q.samples) + " samples"
                                                 : "samples " + std::to_string(q.start) + " to " +
                                                       std::to_string(q.start + q.count - 1) +
                                                       " of " + std::to_string(q.samples);
  std::vector<std::string> lines = {
      "Tolerance run: " + slice + ", seed " + std::to_string(q.design.seed) + ", " +
          (q.design.spread == Spread::normal ? "normal (half-width = 3 standard deviations)"
                                             : "uniform within the half-width"),
      "Yield: " + pct(r.yield.share) + " (" + std::to_string(r.yield.passed) + " of " +
          std::to_string(r.yield.samples) + "), 95 % confidence " + pct(r.yield.low) + " to " +
          pct(r.yield.high)};
  if (const std::string failed = commands::failed_samples_line(r); !failed.empty()) {
    lines.push_back(failed.substr(0, failed.find(" (see")));
  }
  return lines;
}

void RowWriter::indexed_row(std::int64_t /*index*/, std::span<const Cell> cells) {
  row(cells);
}

Format format_named(std::string_view name) {
  if (name == "csv") return Format::csv;
  if (name == "json") return Format::json;
  return Format::table;
}

std::unique_ptr<RowWriter> make_writer(Format format, const TableHeader& header, Sink& sink) {
  switch (format) {
    case Format::csv:
      return std::make_unique<CsvWriter>(header, sink);
    case Format::json:
      return std::make_unique<JsonWriter>(header, sink);
    case Format::table:
      break;
  }
  return std::make_unique<AlignedWriter>(header, sink);
}

}  // namespace ketrovane::calc
