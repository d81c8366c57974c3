#include "commands/artwork_output.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string_view>
#include <utility>

#include "commands/command_table.hpp"
#include "commands/input_error.hpp"
#include "commands/number_format.hpp"
#include "design/field_analysis.hpp"
#include "design/line.hpp"
#include "design/quarter_wave.hpp"
#include "layout/files.hpp"

namespace ketrovane::commands {

namespace {

using layout::PortRole;

constexpr std::array<PortRole, layout::kPortCount> kRoles = {PortRole::input, PortRole::through,
                                                             PortRole::isolated, PortRole::coupled};

std::size_t at(PortRole role) {
  return static_cast<std::size_t>(role);
}

// "24.8 mil": four significant digits in the output unit.
std::string length_words(double inches, LengthUnit unit) {
  return significant(static_cast<float>(inches * unit.per_inch), 4) + " " + std::string(unit.name);
}

// A refusal of a coupler the fab cannot make as drawn.
[[noreturn]] void refuse_artwork(Phrase subject, Phrase expected) {
  throw ArtworkRefusal(
      Refusal{std::move(subject), std::nullopt, std::move(expected), std::nullopt});
}

// ---- what is drawn: the choices of the options ----

struct LayoutChoices {
  layout::Bend bend = layout::Bend::mitre;
  float isolation_db = 0.0F;
  double lead_length = 0.0;
  std::vector<std::string> layer_names;
  PortNumbering numbering = PortNumbering::isolated_third;
  bool compensate = false;
};

bool layer_name_character(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '_' || c == '-';
}

// "F.Cu" or "In1.Cu,In2.Cu": one name side by side, two one above the other.
std::vector<std::string> read_layer_names(OptionValues& v, bool one_above_the_other) {
  if (!v.has(Opt::copper_layers)) {
    return one_above_the_other ? std::vector<std::string>{"F.Cu", "B.Cu"}
                               : std::vector<std::string>{"F.Cu"};
  }
  const std::string given = v.shown(Opt::copper_layers);
  std::vector<std::string> names;
  for (const std::string_view name : split_at(given, ',')) names.emplace_back(name);
  for (const std::string& name : names) {
    if (name.empty() || !std::ranges::all_of(name, layer_name_character)) {
      reject(Opt::copper_layers, given,
             "expected copper layer names of letters, digits, '.', '_' or '-', separated by a "
             "comma");
    }
  }
  const std::size_t wanted = one_above_the_other ? 2 : 1;
  if (names.size() != wanted) {
    reject(Opt::copper_layers, given,
           one_above_the_other
               ? "expected two copper layers for strips one above the other, the upper first"
               : "expected one copper layer for strips side by side");
  }
  if (wanted == 2 && names[0] == names[1]) {
    reject(Opt::copper_layers, given, "expected two different copper layers");
  }
  return names;
}

LayoutChoices read_choices(OptionValues& v, bool one_above_the_other) {
  LayoutChoices c;
  c.bend = v.choice(Opt::bend) == "arc" ? layout::Bend::arc : layout::Bend::mitre;
  c.isolation_db = std::fabs(v.number(Opt::lead_isolation));
  c.lead_length = v.number(Opt::lead_length);
  c.layer_names = read_layer_names(v, one_above_the_other);
  c.numbering = v.choice(Opt::port_order) == "coupled-third" ? PortNumbering::coupled_third
                                                             : PortNumbering::isolated_third;
  c.compensate = v.choice(Opt::compensate) == "on";
  return c;
}

// ---- the coupler drawn ----

struct CouplerToDraw {
  std::vector<PlannedSection> sections;  // from the source end
  Terminations terminations;
  Solver solver;
  float f0_mhz;
  FabLimits limits;
  std::string kind;           // "single-section edge-coupled stripline directional coupler"
  std::string coupler_line;   // "Zoe = ... ohm, ..."
  float loss_tangent = 0.0F;  // of a single dielectric, where the command reads it
};

CouplerToDraw response_coupler(const ResponseRequest& q, FabLimits limits, LengthUnit unit) {
  if (!q.dimensions) {
    refuse(Opt::layout, {"a coupler given by ", Opt::zo, " and ", Opt::coupling,
                         " has no dimensions to draw; give its ", Opt::w, " and ", Opt::s,
                         " (or its arrangement's dimensions) and its board"});
  }
  return {{{*q.dimensions, q.length_inch}},
          q.terminations,
          q.solver,
          q.f0_mhz,
          limits,
          coupler_kind(q),
          coupler_description(q, unit),
          q.materials.loss_tangent};
}

CouplerToDraw synthesis_coupler(const SynthesiseRequest& q, LengthUnit unit) {
  if (q.targets.rows != 1) {
    refuse(Opt::layout, {"draws one coupler: give one value of ", Opt::coupling, " or ", Opt::zoe,
                         ", not a range of " + std::to_string(q.targets.rows)});
  }
  if (!q.f0_mhz) refuse(Opt::layout, {"the coupler's length needs ", Opt::f0});
  const float target = q.targets.value(0);
  const SynthesisTargets targets = q.by_coupling ? targets_of_coupling(q.zo, -std::fabs(target))
                                                 : targets_of_even_mode(q.zo, target);
  const SynthesisRow r = synthesis_row(q.board, targets, q.solver, q.setup);
  if (!r.built) {
    refuse_artwork(Opt::layout, "the design could not be built (" +
                                    std::string(status_name(r.status)) + "); no artwork written");
  }
  ResponseRequest as_response{};
  as_response.er = q.board.er;
  as_response.dimensions = StripPair(CrossSection{q.board, r.w, r.s}, r.placement);
  as_response.zo = q.zo;
  as_response.f0_mhz = *q.f0_mhz;
  as_response.length_inch =
      q.length_inch.value_or(quarter_wave_length(*q.f0_mhz, r.eeff_even, r.eeff_odd));
  // A synthesis is terminated in its Zo at every port.
  as_response.terminations = {q.zo, q.zo};
  as_response.solver = q.solver;
  return response_coupler(as_response, q.setup.limits, unit);
}

CouplerToDraw multisection_to_draw(const MultisectionRequest& q, LengthUnit unit) {
  if (!q.build.board) {
    refuse(Opt::layout, {"ideal sections have no dimensions to draw; give the board (", Opt::b, " ",
                         Opt::t, " or ", Opt::layers, ")"});
  }
  for (const SectionRow& s : q.coupler->sections) {
    if (s.synthesis && s.synthesis->built) continue;
    refuse_artwork(Opt::layout, "section " + std::to_string(s.index) + " could not be built (" +
                                    std::string(status_name(s.status)) +
                                    ", see the section table); no artwork written");
  }
  CouplerToDraw c{{},
                  q.terminations,
                  q.build.solver,
                  static_cast<float>(q.design.f0_mhz),
                  q.build.setup.limits,
                  coupler_kind(q),
                  multisection_description(q, unit)};
  for (const SectionRow& s : q.coupler->sections) {
    const SynthesisRow& r = *s.synthesis;
    c.sections.push_back(
        {StripPair(CrossSection{*q.build.board, r.w, r.s}, r.placement), s.length_inch});
  }
  return c;
}

CouplerToDraw coupler_to_draw(const Request& request, FabLimits limits, LengthUnit unit) {
  if (const auto* q = std::get_if<ResponseRequest>(&request)) {
    return response_coupler(*q, limits, unit);
  }
  if (const auto* q = std::get_if<LayoutRequest>(&request)) {
    return response_coupler(q->coupler, limits, unit);
  }
  if (const auto* q = std::get_if<SynthesiseRequest>(&request)) return synthesis_coupler(*q, unit);
  return multisection_to_draw(std::get<MultisectionRequest>(request), unit);
}

// ---- the fab's limits ----

std::string section_name(const CouplerToDraw& c, std::size_t i) {
  return c.sections.size() == 1 ? "the section" : "section " + std::to_string(i + 1);
}

void check_sections(const CouplerToDraw& c, LengthUnit unit) {
  for (std::size_t i = 0; i < c.sections.size(); ++i) {
    const StripPair& p = c.sections[i].pair;
    if (c.limits.min_width > 0.0F && p.x.w < c.limits.min_width) {
      refuse_artwork(section_name(c, i),
                     {"W = " + length_words(p.x.w, unit) + " is below ", Opt::min_width,
                      " " + length_words(c.limits.min_width, unit) + "; no artwork written"});
    }
    const bool side_by_side = p.placement.arrangement != Arrangement::broadside;
    if (side_by_side && c.limits.min_gap > 0.0F && p.x.s < c.limits.min_gap) {
      refuse_artwork(section_name(c, i),
                     {"S = " + length_words(p.x.s, unit) + " is below ", Opt::min_gap,
                      " " + length_words(c.limits.min_gap, unit) + "; no artwork written"});
    }
  }
}

std::string port_words(int number, PortRole role) {
  return "port " + std::to_string(number) + " (" + std::string(role_name(role)) + ")";
}

void check_feeds(const ArtworkPlan& plan, FabLimits limits, LengthUnit unit) {
  if (limits.min_width <= 0.0F) return;
  for (const PortRole role : kRoles) {
    const double w = plan.feeds.at(at(role)).width;
    if (w < limits.min_width) {
      refuse_artwork("the feed line at " + port_words(plan.inputs.port_number.at(at(role)), role),
                     {length_words(w, unit) + " wide is below ", Opt::min_width,
                      " " + length_words(limits.min_width, unit) + "; no artwork written"});
    }
  }
}

// ---- the feed lines ----

PlannedFeed feed_of(float zo, const StripPair& pair, Solver solver, Opt termination) {
  const std::optional<FeedLine> f = feed_line_for(zo, pair, solver);
  if (!f) {
    refuse(termination, "no feed line of " + shortest(zo) +
                            " ohm on the coupler's board: no strip width gives it");
  }
  return {f->width_inch, f->zo, f->eeff};
}

ArtworkPlan plan_of(const CouplerToDraw& c, const LayoutChoices& choices) {
  ArtworkDesign d;
  d.sections = c.sections;
  d.source_feed = feed_of(c.terminations.source, c.sections.front().pair, c.solver, Opt::rs);
  d.load_feed = feed_of(c.terminations.load, c.sections.back().pair, c.solver, Opt::rl);
  d.lead_length = choices.lead_length;
  d.bend = choices.bend;
  d.isolation_db = choices.isolation_db;
  d.numbering = choices.numbering;
  d.compensate = choices.compensate;
  PlannedArtwork planned = plan_artwork(d);
  if (!planned.plan && planned.by_compensation) {
    refuse(Opt::compensate,
           "cannot shorten the coupler by its legs' coupled length: " + planned.message);
  }
  if (!planned.plan) {
    refuse(Opt::lead_isolation, "no field solution for the feed lines' spacing " + planned.message);
  }
  return std::move(*planned.plan);
}

// ---- the words of the files ----

std::vector<ArtworkPort> ports_of(const CouplerArtwork& a) {
  std::vector<ArtworkPort> ports;
  for (const PortRole role : kRoles) {
    const PlannedFeed& f = a.plan.feeds.at(at(role));
    const double lead = a.artwork.lead_out_length.at(at(role));
    ports.push_back({a.plan.inputs.port_number.at(at(role)), role, f.width, f.zo, lead,
                     electrical_degrees(lead, f.eeff, a.f0_mhz)});
  }
  std::ranges::sort(ports, {}, &ArtworkPort::number);
  return ports;
}

// "port 1 (input) 0.3 in, 33.1 deg"
std::string lead_out_words(const ArtworkPort& p, LengthUnit unit) {
  return port_words(p.number, p.role) + " " + length_words(p.lead_out, unit) + ", " +
         significant(static_cast<float>(p.lead_out_deg), 4) + " deg";
}

std::string lead_outs(const CouplerArtwork& a) {
  std::string text;
  for (const ArtworkPort& p : a.ports) {
    text += (text.empty() ? "" : "; ") + lead_out_words(p, a.unit);
  }
  return text;
}

// ---- the compensation's words ----

// What compensation took off section i: its ends' legs' coupled lengths.
double correction_of(const Compensation& c, std::size_t i) {
  return c.designed.at(i) - c.drawn.at(i);
}

// "L1 = 703.2 mil (746.1 - 42.9 compensation)"
std::string compensated_length_words(const Compensation& c, std::size_t i, LengthUnit unit) {
  return "L" + std::to_string(i + 1) + " = " + length_words(c.drawn.at(i), unit) + " (" +
         significant(static_cast<float>(c.designed.at(i) * unit.per_inch), 4) + " - " +
         significant(static_cast<float>(correction_of(c, i) * unit.per_inch), 4) + " compensation)";
}

// The legs' coupled length at each end.
std::string compensation_ends_words(const Compensation& c, LengthUnit unit) {
  return "compensated for the coupled length of the diverging feed lines (" +
         length_words(*c.ends[0].length, unit) + " at the input end, " +
         length_words(*c.ends[1].length, unit) + " at the through end)";
}

// The same and the shortened sections.
std::string compensation_words(const Compensation& c, LengthUnit unit) {
  std::string sections;
  for (std::size_t i = 0; i < c.drawn.size(); ++i) {
    if (correction_of(c, i) == 0.0) continue;
    sections += (sections.empty() ? "" : ", ") + compensated_length_words(c, i, unit);
  }
  return compensation_ends_words(c, unit) + ": " + sections;
}

constexpr std::string_view kLeftOut =
    "the feed lines' bends and the steps between sections are not in the coupled-line response";

std::vector<std::string> comments_of(const CouplerToDraw& c, const CouplerArtwork& a) {
  std::string pads;
  for (const ArtworkPort& p : a.ports) {
    pads += (pads.empty() ? "" : ", ") + std::to_string(p.number) + " " +
            std::string(role_name(p.role));
  }
  std::vector<std::string> comments{
      "ketrovane-calc: " + c.kind,
      "coupler: " + c.coupler_line,
      "pads numbered as the Touchstone file's ports: " + pads,
      std::string(kLeftOut),
      "lead-out from the coupled section to each pad's centre at f0 = " + shortest(a.f0_mhz) +
          " MHz (de-embed it): " + lead_outs(a),
  };
  if (a.plan.compensation) comments.push_back(compensation_words(*a.plan.compensation, a.unit));
  return comments;
}

// The picture's title, short enough to read: what the coupler is, what
// its response leaves out, and the lead-outs of each end on a line.
std::vector<std::string> picture_comments(const CouplerArtwork& a) {
  std::array<std::string, 2> ends;
  for (const ArtworkPort& p : a.ports) {
    const bool source_end = p.role == PortRole::input || p.role == PortRole::coupled;
    std::string& line = ends.at(source_end ? 0 : 1);
    line += (line.empty() ? "" : "; ") + lead_out_words(p, a.unit);
  }
  std::vector<std::string> lines{
      a.comments.front(),
      "not in the coupled-line response: the bends, the steps between sections, and the "
      "lead-outs to the pads' centres at f0 = " +
          shortest(a.f0_mhz) + " MHz:",
      ends[0], ends[1]};
  // The sections' lengths are in the key.
  if (a.plan.compensation) lines.push_back(compensation_ends_words(*a.plan.compensation, a.unit));
  return lines;
}

// "W1 = 24.8 mil": each dimension's length between its points; a section
// the compensation shortened with its length as designed and what it lost.
std::map<std::string, std::string> labels_of(const layout::Artwork& art,
                                             const std::optional<Compensation>& compensation,
                                             LengthUnit unit) {
  std::map<std::string, std::string> labels;
  for (const layout::Dimension& d : art.dimensions) {
    const double length = std::hypot(d.to.x - d.from.x, d.to.y - d.from.y);
    labels[d.label] = d.label + " = " + length_words(length, unit);
  }
  if (!compensation) return labels;
  for (std::size_t i = 0; i < compensation->drawn.size(); ++i) {
    if (correction_of(*compensation, i) == 0.0) continue;
    labels["L" + std::to_string(i + 1)] = compensated_length_words(*compensation, i, unit);
  }
  return labels;
}

// "design" of "dir/design.kicad_mod"
std::string stem_of(const std::string& path, std::string_view extension) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t from = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(from, path.size() - extension.size() - from);
}

bool ends_with(const std::string& path, std::string_view extension) {
  return path.size() > extension.size() &&
         equal_ignoring_case(std::string_view(path).substr(path.size() - extension.size()),
                             extension);
}

constexpr std::array<std::string_view, 5> kExtensions = {".kicad_mod", ".gbr", ".dxf", ".svg",
                                                         ".png"};

// "FILE-In1_Cu.gbr" of "FILE.gbr"
std::string gerber_path(const std::string& path, const std::string& layer) {
  std::string name = layer;
  std::ranges::replace(name, '.', '_');
  return path.substr(0, path.size() - 4) + "-" + name + ".gbr";
}

// ---- the full-wave model ----

// The stack between the planes and where each copper layer stands (the
// field solver's placing of the strips), the ports' resistances and the
// band of the excitation, 0 to 2 f0.
layout::FullwaveModel fullwave_model(const CouplerToDraw& c, const CouplerArtwork& a) {
  const field::Geometry g = field_geometry(c.sections.front().pair);
  layout::FullwaveModel m{};
  if (g.stack.empty()) {
    m.layers.push_back({g.b, g.er, std::max(0.0F, c.loss_tangent)});
  } else {
    for (const field::DielectricLayer& l : g.stack.view()) {
      m.layers.push_back({l.thickness, l.er, l.loss_tangent});
    }
  }
  if (g.arrangement == Arrangement::broadside) {
    m.copper = {{0.5 * (g.b + g.sv), g.t}, {0.5 * (g.b - g.sv) - g.t, g.t}};
  } else {
    const double mid = g.arrangement == Arrangement::edge ? 0.5 * g.b : g.h;
    m.copper = {{mid - 0.5 * g.t, g.t}};
  }
  m.ohms.at(at(PortRole::input)) = c.terminations.source;
  m.ohms.at(at(PortRole::coupled)) = c.terminations.source;
  m.ohms.at(at(PortRole::through)) = c.terminations.load;
  m.ohms.at(at(PortRole::isolated)) = c.terminations.load;
  m.f0_hz = static_cast<double>(c.f0_mhz) * 1e6;
  m.f_high_hz = 2.0 * m.f0_hz;
  m.comments = a.comments;
  return m;
}

std::string in_directory(const std::string& directory, std::string_view name) {
  return directory + (directory.ends_with('/') ? "" : "/") + std::string(name);
}

// ---- the layout command's rows ----

// No status: a port that cannot be drawn refuses the whole artwork.
constexpr std::array<Column, 6> kLayoutColumns = {
    unitless("port", "Port", 0),
    unitless("role", "Role", 0),
    in_length_unit("feed_width", "Feed width", 5),
    in_ohms("feed_zo_ohm", "Feed Zo", 3),
    in_length_unit("lead_out", "Lead-out", 5),
    in_degrees("lead_out_deg", "Lead-out at f0", 2),
};

// With --compensate: the coupled length the legs at the port's end add,
// which the end section there lost.
constexpr std::array<Column, 7> kCompensatedLayoutColumns = {
    kLayoutColumns[0],
    kLayoutColumns[1],
    kLayoutColumns[2],
    kLayoutColumns[3],
    kLayoutColumns[4],
    kLayoutColumns[5],
    in_length_unit("junction_length", "Junction length", 5),
};

std::span<const Column> columns_of_layout(bool compensated) {
  if (compensated) return kCompensatedLayoutColumns;
  return kLayoutColumns;
}

class LayoutRows final : public RowSource {
 public:
  explicit LayoutRows(std::shared_ptr<const CouplerArtwork> artwork)
      : artwork_(std::move(artwork)) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return columns_of_layout(artwork_->plan.compensation.has_value());
  }
  [[nodiscard]] std::int64_t rows() const override {
    return static_cast<std::int64_t>(artwork_->ports.size());
  }
  void fill(std::int64_t index, std::span<Cell> cells, RowTally& /*tally*/) const override {
    const ArtworkPort& p = artwork_->ports.at(static_cast<std::size_t>(index));
    cells[0] = number_cell(static_cast<float>(p.number));
    cells[1] = text_cell(role_name(p.role));
    cells[2] = number_cell(static_cast<float>(p.feed_width));
    cells[3] = number_cell(static_cast<float>(p.feed_zo));
    cells[4] = number_cell(static_cast<float>(p.lead_out));
    cells[5] = number_cell(static_cast<float>(p.lead_out_deg));
    if (const std::optional<Compensation>& c = artwork_->plan.compensation) {
      const bool source_end = p.role == PortRole::input || p.role == PortRole::coupled;
      cells[6] = number_cell(static_cast<float>(*c->ends.at(source_end ? 0 : 1).length));
    }
  }

 private:
  std::shared_ptr<const CouplerArtwork> artwork_;
};

// ---- the rows that print a length, with --compensate ----

constexpr Column kCompensationColumn = in_length_unit("compensation", "Compensation", 5);

// Another command's rows with what the compensation took off beside their
// length column: per row, or one value for every row.
class CompensatedRows final : public RowSource {
 public:
  CompensatedRows(std::unique_ptr<RowSource> rows, std::size_t after, std::vector<double> taken_off)
      : rows_(std::move(rows)), at_(after + 1), taken_off_(std::move(taken_off)) {
    const std::span<const Column> inner = rows_->columns();
    columns_.assign(inner.begin(), inner.end());
    columns_.insert(columns_.begin() + static_cast<std::ptrdiff_t>(at_), kCompensationColumn);
  }

  [[nodiscard]] std::span<const Column> columns() const override { return columns_; }
  [[nodiscard]] std::int64_t rows() const override { return rows_->rows(); }
  [[nodiscard]] std::int64_t rows_per_block() const override { return rows_->rows_per_block(); }
  void fill(std::int64_t index, std::span<Cell> cells, RowTally& tally) const override {
    std::vector<Cell> inner(columns_.size() - 1);
    rows_->fill(index, inner, tally);
    std::ranges::copy(std::span(inner).first(at_), cells.begin());
    const std::size_t row = taken_off_.size() == 1 ? 0 : static_cast<std::size_t>(index);
    cells[at_] = number_cell(static_cast<float>(taken_off_.at(row)));
    std::ranges::copy(std::span(inner).subspan(at_),
                      cells.begin() + static_cast<std::ptrdiff_t>(at_ + 1));
  }

 private:
  std::unique_ptr<RowSource> rows_;
  std::size_t at_;
  std::vector<double> taken_off_;
  std::vector<Column> columns_;
};

// Per section for a table of the sections, else all of it on every row.
std::vector<double> taken_off(const Compensation& c, const Request& request) {
  std::vector<double> each;
  for (std::size_t i = 0; i < c.drawn.size(); ++i) each.push_back(correction_of(c, i));
  const auto* multisection = std::get_if<MultisectionRequest>(&request);
  if (multisection != nullptr && !multisection->response_table) return each;
  double total = 0.0;
  for (const double t : each) total += t;
  return {total};
}

}  // namespace

std::unique_ptr<RowSource> with_compensation(std::unique_ptr<RowSource> rows,
                                             const CouplerArtwork& artwork,
                                             const Request& request) {
  if (!artwork.plan.compensation) return rows;
  const std::span<const Column> columns = rows->columns();
  const auto length = std::ranges::find(columns, std::string_view("length"), &Column::stem);
  if (length == columns.end()) return rows;
  const auto after = static_cast<std::size_t>(length - columns.begin());
  std::vector<double> values = taken_off(*artwork.plan.compensation, request);
  return std::make_unique<CompensatedRows>(std::move(rows), after, std::move(values));
}

std::string_view role_name(PortRole role) {
  switch (role) {
    case PortRole::input:
      return "input";
    case PortRole::through:
      return "through";
    case PortRole::isolated:
      return "isolated";
    case PortRole::coupled:
      return "coupled";
  }
  return "input";
}

std::shared_ptr<const CouplerArtwork> coupler_artwork(const Request& request, OptionValues& values,
                                                      LengthUnit unit) {
  FabLimits limits;
  if (values.has(Opt::min_width)) limits.min_width = values.number(Opt::min_width);
  if (values.has(Opt::min_gap)) limits.min_gap = values.number(Opt::min_gap);
  const CouplerToDraw c = coupler_to_draw(request, limits, unit);
  const bool one_above_the_other =
      c.sections.front().pair.placement.arrangement == Arrangement::broadside;
  const LayoutChoices choices = read_choices(values, one_above_the_other);
  check_sections(c, unit);
  auto a = std::make_shared<CouplerArtwork>();
  a->plan = plan_of(c, choices);
  check_feeds(a->plan, c.limits, unit);
  a->artwork = layout::make_artwork(a->plan.inputs);
  a->layer_names = choices.layer_names;
  a->f0_mhz = c.f0_mhz;
  a->unit = unit;
  a->ports = ports_of(*a);
  a->comments = comments_of(c, *a);
  a->labels = labels_of(a->artwork, a->plan.compensation, unit);
  a->fullwave = fullwave_model(c, *a);
  return a;
}

namespace {

constexpr std::string_view kChecksumLead = "# checksum ";
constexpr std::string_view kChecksumTail =
    " of the lines above: this script as written; one changed by hand is kept, not written "
    "over\n";

// FNV-1a, 64 bits, as 16 hexadecimal digits.
std::string checksum_of(std::string_view text) {
  std::uint64_t hash = 0xcbf29ce484222325U;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3U;
  }
  std::string digits(16, '0');
  for (std::size_t i = digits.size(); i-- > 0; hash >>= 4U)
    digits[i] = "0123456789abcdef"[hash & 0xFU];
  return digits;
}

std::string sealed(std::string script) {
  const std::string sum = checksum_of(script);
  script.append(kChecksumLead).append(sum).append(kChecksumTail);
  return script;
}

}  // namespace

bool script_changed_by_hand(std::string_view script) {
  if (script.empty() || script.back() != '\n') return true;
  const std::size_t last = script.rfind('\n', script.size() - 2);
  const std::size_t start = last == std::string_view::npos ? 0 : last + 1;
  const std::string_view line = script.substr(start);
  const std::string_view body = script.substr(0, start);
  return line != std::string(kChecksumLead) + checksum_of(body) + std::string(kChecksumTail);
}

std::string kept_script_note(const std::string& directory) {
  return "note: " + in_directory(directory, "coupler.py") +
         " was changed by hand and is kept as it is; remove it to have this coupler's model "
         "written there";
}

std::vector<ArtworkFile> fullwave_files(const CouplerArtwork& a, const std::string& directory) {
  return {{in_directory(directory, "coupler.py"),
           sealed(layout::fullwave_script(a.plan.inputs, a.artwork, a.fullwave))},
          {in_directory(directory, "README.txt"), layout::fullwave_readme()}};
}

std::string fullwave_note(const std::string& directory) {
  return "note: the full-wave model of the coupler as laid out is in " +
         in_directory(directory, "coupler.py") + "; run it with /usr/bin/python3 " +
         in_directory(directory, "coupler.py") +
         " [--mesh coarse|fine] [--threads N] (openEMS: Debian's python3-openems)";
}

void check_artwork_name(const std::string& path) {
  for (const std::string_view e : kExtensions) {
    if (ends_with(path, e)) return;
  }
  reject(Opt::layout, path, "expected a file name ending in .kicad_mod, .gbr, .dxf, .svg or .png");
}

std::vector<ArtworkFile> artwork_files(const CouplerArtwork& a, const std::string& path) {
  check_artwork_name(path);
  if (ends_with(path, ".kicad_mod")) {
    return {{path, layout::kicad_footprint(a.artwork, stem_of(path, ".kicad_mod"), a.layer_names,
                                           a.comments)}};
  }
  if (ends_with(path, ".dxf")) {
    return {{path, layout::dxf_drawing(a.artwork, a.layer_names, a.comments)}};
  }
  if (ends_with(path, ".gbr")) {
    if (a.layer_names.size() == 1) {
      return {{path, layout::gerber_layer(a.artwork, 0, a.layer_names[0], a.comments)}};
    }
    std::vector<ArtworkFile> files;
    for (std::size_t i = 0; i < a.layer_names.size(); ++i) {
      files.push_back(
          {gerber_path(path, a.layer_names[i]),
           layout::gerber_layer(a.artwork, static_cast<int>(i), a.layer_names[i], a.comments)});
    }
    return files;
  }
  return {{path, "", true}};
}

std::string artwork_terminal(const std::string& path) {
  if (ends_with(path, ".png")) return "set terminal pngcairo size 1200,800 enhanced font 'Sans,10'";
  return "set terminal svg size 1200,800 dynamic enhanced font 'Sans,11' background rgb 'white'";
}

std::string artwork_picture(const CouplerArtwork& a, const std::string& terminal_line,
                            const std::string& image_path) {
  return layout::picture_script(a.artwork, a.labels, picture_comments(a), terminal_line,
                                image_path);
}

std::optional<std::string> compensation_note(const CouplerArtwork& a) {
  if (!a.plan.compensation) return std::nullopt;
  return "note: " + compensation_words(*a.plan.compensation, a.unit);
}

double drawn_section_inch(const CouplerArtwork& artwork, double designed) {
  const std::optional<Compensation>& c = artwork.plan.compensation;
  return c && !c->drawn.empty() ? c->drawn.front() : designed;
}

std::string lead_out_note(const CouplerArtwork& a) {
  return "note: the artwork's feed lines run from the coupled section to each pad's centre, "
         "at f0 = " +
         shortest(a.f0_mhz) + " MHz: " + lead_outs(a) +
         " (not in the coupled-line response: de-embed them)";
}

LayoutRequest read_layout(OptionValues& values) {
  LayoutRequest q{};
  q.coupler = read_response_coupler(values, false);
  q.coupler.terminations.source = values.number(Opt::rs);
  q.coupler.terminations.load = values.number(Opt::rl);
  return q;
}

LayoutRequest read_fullwave(OptionValues& values) {
  if (!values.has(Opt::fullwave)) {
    refuse(Opt::fullwave, "missing; expected the directory to write the full-wave model into");
  }
  return read_layout(values);
}

std::span<const Column> layout_columns(const ColumnChoice& choice) {
  return columns_of_layout(choice.compensated);
}

std::unique_ptr<RowSource> layout_rows(const Request& request) {
  return std::make_unique<LayoutRows>(std::get<LayoutRequest>(request).artwork);
}

}  // namespace ketrovane::commands
