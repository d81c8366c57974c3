// The tolerance command's request: the nominal coupler, what varies and by
// how much, the limits, and the slice of the samples.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "commands/input_error.hpp"
#include "commands/number_format.hpp"
#include "commands/option_values.hpp"
#include "commands/quantities.hpp"
#include "commands/requests.hpp"
#include "design/quarter_wave.hpp"
#include "design/tolerance_multisection.hpp"

namespace ketrovane::commands {

namespace {

// A sample below zero (or Er below 1) more often than this is refused
// beforehand; rarer ones are counted as samples that could not be computed.
constexpr double kNegligibleShare = 1e-6;

constexpr Quantity kLengthHalfWidth{.what = "half-width of a length",
                                    .dimension = Dimension::length,
                                    .least = 0.0,
                                    .least_allowed = true,
                                    .most = 1000.0};
constexpr Quantity kPureHalfWidth{.what = "half-width of Er",
                                  .dimension = Dimension::pure,
                                  .least = 0.0,
                                  .least_allowed = true,
                                  .most = 1000.0};
constexpr Quantity kImpedanceLimit{.what = "impedance limit",
                                   .dimension = Dimension::impedance,
                                   .least = 0.0,
                                   .least_allowed = true,
                                   .most = 1.0e4};
constexpr Quantity kDecibelLimit{.what = "limit in dB",
                                 .dimension = Dimension::coupling,
                                 .least = 0.0,
                                 .least_allowed = true,
                                 .most = 1000.0,
                                 .signless = true};

bool is_length(Varied q) {
  return q != Varied::er;
}

// The quantities each arrangement has, in the order the messages list them:
// its dimensions of the model's cross-section, the board's, then those of
// its placement.
std::vector<Varied> variable_quantities(Arrangement arrangement) {
  const ArrangementSpec& a = arrangement_spec(arrangement);
  std::vector<Varied> q;
  for (const StripDimension* d : a.dimensions) {
    if (!d->of_placement()) q.push_back(varied_of(*d));
  }
  q.insert(q.end(), {Varied::t, Varied::b, Varied::er});
  for (const StripDimension* d : a.dimensions) {
    if (d->of_placement()) q.push_back(varied_of(*d));
  }
  return q;
}

std::string names_listed(const std::vector<Varied>& quantities) {
  std::string text;
  for (std::size_t i = 0; i < quantities.size(); ++i) {
    text += list_separator(i, quantities.size(), " or ");
    text += varied_name(quantities[i]);
  }
  return text;
}

float nominal_of(const StripPair& pair, Varied q) {
  if (const StripDimension* d = dimension_varied(q)) return d->of(pair);
  switch (q) {
    case Varied::t:
      return pair.x.board.t;
    case Varied::b:
      return pair.x.board.b;
    case Varied::er:
      return pair.x.board.er;
    default:  // the dimensions above, and the etch with no nominal value
      break;
  }
  return 0.0F;
}

// Where a +- or a plus-minus sign stands in `text`, or npos.
std::size_t plus_minus_at(std::string_view text) {
  return std::min(text.find("\u00b1"), text.find("+-"));
}

// An amount of a quantity: a length or number, or X% of its nominal value.
double amount(OptionValues& v, std::string_view item, std::string_view text,
              const StripPair& nominal, Varied q) {
  const OptionSpec& flag = option(Opt::vary);
  if (text.empty()) {
    reject(flag, item, "expected X, BIAS\u00b1X or +X/-Y, each a length, a number or X%");
  }
  if (text.ends_with('%')) {
    text.remove_suffix(1);
    const NumberAndUnit n = split_number(text);
    if (!n.has_number || !n.unit.empty() || !(n.number >= 0.0) || !std::isfinite(n.number)) {
      reject(flag, item, "expected a percentage X% of at least 0");
    }
    if (nominal_of(nominal, q) == 0.0F) {
      reject(flag, item, "a percentage of a nominal 0; give the half-width as a length");
    }
    return std::fabs(static_cast<double>(nominal_of(nominal, q))) * n.number / 100.0;
  }
  const Quantity& quantity = is_length(q) ? kLengthHalfWidth : kPureHalfWidth;
  return parse_quantity(dashed(flag), text, v.read_as(quantity));
}

// The law after a colon, :uniform, :normal or :normalK, taken off `value`.
std::optional<Law> read_law(std::string_view item, std::string_view& value) {
  const std::size_t colon = value.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view name = value.substr(colon + 1);
  value = value.substr(0, colon);
  if (name == "uniform") return Law{Spread::uniform, 0.0};
  if (name == "normal") return Law{Spread::normal, 0.0};
  if (name.starts_with("normal")) {
    const NumberAndUnit k = split_number(name.substr(6));
    if (k.has_number && k.unit.empty() && k.number >= 0.5 && k.number <= 10.0) {
      return Law{Spread::normal, k.number};
    }
  }
  reject(option(Opt::vary), item,
         "expected the law :uniform, :normal or :normalK, K standard deviations from 0.5 to 10");
}

// One item NAME=X of --vary.
Variation read_variation(OptionValues& v, std::string_view item, const StripPair& nominal) {
  const OptionSpec& flag = option(Opt::vary);
  const std::size_t equals = item.find('=');
  const std::vector<Varied> known = variable_quantities(nominal.placement.arrangement);
  const std::string_view name = item.substr(0, equals);
  std::vector<Varied> named = known;
  named.push_back(Varied::etch);
  const auto found = std::ranges::find_if(named, [&](Varied q) { return varied_name(q) == name; });
  if (equals == std::string_view::npos || found == named.end()) {
    reject(flag, item,
           {"expected NAME=X, NAME one of " + names_listed(known) + " for ",
            {Opt::geometry, geometry_name(nominal.placement.arrangement)}});
  }
  const Varied q = *found;
  std::string_view value = item.substr(equals + 1);
  const std::optional<Law> law = read_law(item, value);
  Variation r{q, 0.0, 0.0, std::nullopt, law};
  const std::size_t sign = plus_minus_at(value);
  if (sign != std::string_view::npos && sign > 0) {  // BIAS+-X
    const bool negative = value.starts_with('-');
    const double bias =
        amount(v, item, value.substr(negative ? 1 : 0, sign - (negative ? 1 : 0)), nominal, q);
    r.bias = negative ? -bias : bias;
    value.remove_prefix(sign);
  }
  const std::size_t slash = value.find("/-");
  if (value.starts_with('+') && !value.starts_with("+-") && slash != std::string_view::npos) {
    r.half_width = amount(v, item, value.substr(1, slash - 1), nominal, q);  // +X/-Y
    r.below = amount(v, item, value.substr(slash + 2), nominal, q);
    return r;
  }
  r.half_width = amount(v, item, without_plus_minus(value), nominal, q);
  return r;
}

// ---- The layers of a stack: erN and dN ----

// "er2" is layer 2's permittivity, "d2" its thickness; none for other names.
std::optional<LayerVariation> layer_named(std::string_view name, const LayerStack& stack) {
  const bool thickness = name.starts_with("d");
  const std::string_view prefix = thickness ? "d" : "er";
  if (!name.starts_with(prefix) || name.size() == prefix.size()) return std::nullopt;
  int n = 0;
  const std::string_view digits = name.substr(prefix.size());
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (n < 1 || n > stack.layers.count) {
    reject(option(Opt::vary), name,
           "expected a layer from 1 to " + std::to_string(stack.layers.count) + " of the stack");
  }
  return LayerVariation{n, thickness, 0.0};
}

double nominal_of_layer(const LayerStack& stack, const LayerVariation& l) {
  const field::DielectricLayer& layer =
      stack.layers.layers.at(static_cast<std::size_t>(l.layer - 1));
  return l.thickness ? layer.thickness : layer.er;
}

std::string layer_variation_name(const LayerVariation& l) {
  return (l.thickness ? "d" : "er") + std::to_string(l.layer);
}

// A quantity the stack gives refused: B is the layers' sum, Er theirs, SV
// the core's thickness.
void refuse_on_stack(std::string_view item, Varied q) {
  const StripDimension* d = dimension_varied(q);
  const bool core = d != nullptr && d->name == "sv";
  if (q != Varied::b && q != Varied::er && !core) return;
  reject(option(Opt::vary), item,
         {"the stack of ", Opt::layers, " gives it; vary its layers: erN and dN"});
}

// One item erN=X or dN=X of --vary on a stack, X a half-width or X% of the
// nominal value.
LayerVariation read_layer_variation(OptionValues& v, std::string_view item, LayerVariation l,
                                    const LayerStack& stack, Spread spread) {
  const OptionSpec& flag = option(Opt::vary);
  std::string_view value = without_plus_minus(item.substr(item.find('=') + 1));
  const double nominal = nominal_of_layer(stack, l);
  if (value.ends_with('%')) {
    value.remove_suffix(1);
    const NumberAndUnit n = split_number(value);
    if (!n.has_number || !n.unit.empty() || !(n.number >= 0.0) || !std::isfinite(n.number)) {
      reject(flag, item, "expected a percentage X% of at least 0");
    }
    l.half_width = nominal * n.number / 100.0;
  } else {
    l.half_width = parse_quantity(dashed(flag), value,
                                  v.read_as(l.thickness ? kLengthHalfWidth : kPureHalfWidth));
  }
  const double floor = l.thickness ? 0.0 : 1.0;
  const double share = share_at_or_below(spread, nominal, l.half_width, floor);
  if (share > kNegligibleShare && l.half_width > 0.0) {
    reject(flag, item,
           "would make layer " + std::to_string(l.layer) +
               (l.thickness ? " zero or negative" : " below 1") + " in " +
               significant(static_cast<float>(100.0 * share), 3) +
               " % of the samples; at most one in a million may be");
  }
  return l;
}

// The items of --vary and --etch as given, by quantity, for the messages.
using GivenTexts = std::array<std::string, kVariedCount>;

std::vector<Variation> read_variations(OptionValues& v, const StripPair& nominal,
                                       std::vector<LayerVariation>& layers, Spread spread,
                                       GivenTexts& given) {
  std::vector<Variation> variations;
  if (!v.has(Opt::vary)) return variations;
  const std::string text = v.shown(Opt::vary);
  const LayerStack& stack = nominal.placement.stack;
  bool after_layer = false;
  for (const std::string_view item : split_at(text, ',')) {
    if (item.starts_with("lot:")) {
      if (variations.empty() || after_layer) {
        reject(option(Opt::vary), item, "expected after a quantity's item: NAME=X,lot:Y");
      }
      Variation& last = variations.back();
      last.lot_half_width =
          amount(v, item, without_plus_minus(item.substr(4)), nominal, last.quantity);
      continue;
    }
    const std::string_view name = item.substr(0, item.find('='));
    after_layer = false;
    if (const std::optional<LayerVariation> l =
            stack.empty() ? std::nullopt : layer_named(name, stack)) {
      if (std::ranges::any_of(layers, [&](const LayerVariation& x) {
            return x.layer == l->layer && x.thickness == l->thickness;
          })) {
        reject(option(Opt::vary), item, "that quantity is varied twice");
      }
      layers.push_back(read_layer_variation(v, item, *l, stack, spread));
      v.record_input({"vary_" + layer_variation_name(*l), std::string(item),
                      l->thickness ? "in" : "",
                      single_value(static_cast<float>(layers.back().half_width))});
      after_layer = true;
      continue;
    }
    const Variation read = read_variation(v, item, nominal);
    if (!stack.empty()) refuse_on_stack(item, read.quantity);
    if (std::ranges::any_of(variations,
                            [&](const Variation& x) { return x.quantity == read.quantity; })) {
      reject(option(Opt::vary), item, "that quantity is varied twice");
    }
    variations.push_back(read);
    given.at(static_cast<std::size_t>(read.quantity)) = item;
    v.record_input({"vary_" + std::string(varied_name(read.quantity)), std::string(item),
                    is_length(read.quantity) ? "in" : "",
                    single_value(static_cast<float>(read.half_width))});
  }
  return variations;
}

double half_width_of(const std::vector<Variation>& variations, Varied q) {
  for (const Variation& v : variations) {
    if (v.quantity == q) return v.half_width;
  }
  return 0.0;
}

// The law of a quantity's draws: its own, or the run's (a truncated normal
// taken as the untruncated one, which reaches further).
Spread own_spread(const ToleranceDesign& d, Varied q) {
  for (const Variation& v : d.variations) {
    if (v.quantity == q && v.law) return v.law->spread;
  }
  return d.spread;
}

// A variation that would make a dimension negative (or Er below 1) in more
// than a negligible share of the samples is refused.
// W and S carry the etch's draw besides their own (twice the bias): the
// share is of the sum of the two draws.
void check_reach(const ToleranceDesign& d, Varied q, double floor, const GivenTexts& given) {
  const double own = half_width_of(d.variations, q);
  const double etch = half_width_of(d.variations, Varied::etch);
  const bool etched = (q == Varied::w || q == Varied::s) && etch > 0.0;
  if (own == 0.0 && !etched) return;
  const double nominal = nominal_of(d.nominal, q);
  const double share = share_of_sum_at_or_below(
      nominal,
      {{{own_spread(d, q), own}, {own_spread(d, Varied::etch), etched ? 2.0 * etch : 0.0}}}, floor);
  if (share <= kNegligibleShare) return;
  const bool blamed_on_etch = own == 0.0;
  const std::string what =
      std::string(varied_name(q)) + (floor == 1.0 ? " below 1" : " zero or negative");
  const auto text_of = [&given](Varied x) { return given.at(static_cast<std::size_t>(x)); };
  reject(option(blamed_on_etch ? Opt::etch : Opt::vary),
         blamed_on_etch ? text_of(Varied::etch) : text_of(q),
         "would make " + what + " in " + significant(static_cast<float>(100.0 * share), 3) +
             " % of the samples (nominal " + shortest(static_cast<float>(nominal)) +
             (is_length(q) ? " in" : "") + (etched ? ", with the etch" : "") +
             "); at most one in a million may be");
}

void check_reaches(const ToleranceDesign& d, const GivenTexts& given) {
  for (const Varied q : variable_quantities(d.nominal.placement.arrangement)) {
    // Either side of the other strip is the same coupler.
    if (const StripDimension* d = dimension_varied(q); d != nullptr && d->sign_mirrors) continue;
    check_reach(d, q, q == Varied::er ? 1.0 : 0.0, given);
  }
}

double read_etch(OptionValues& v, GivenTexts& given) {
  if (!v.has(Opt::etch)) return 0.0;
  const std::string text = v.shown(Opt::etch);
  given.at(static_cast<std::size_t>(Varied::etch)) = text;
  const float etch = parse_quantity(dashed(option(Opt::etch)), without_plus_minus(text),
                                    v.read_as(*option(Opt::etch).quantity));
  v.record_input({"etch", text, "in", single_value(etch)});
  return etch;
}

// --etch, as a variation of its own, unless --vary varies the etch already.
void add_etch(OptionValues& v, GivenTexts& given, std::vector<Variation>& variations) {
  const double etch = read_etch(v, given);
  if (etch <= 0.0) return;
  if (std::ranges::any_of(variations,
                          [](const Variation& x) { return x.quantity == Varied::etch; })) {
    reject(option(Opt::etch), v.shown(Opt::etch),
           {"the etch is varied by ", Opt::vary, " already"});
  }
  variations.push_back({Varied::etch, etch});
}

// A whole number of the option's range, written as digits or as a number
// that is whole ("1e6").
std::uint64_t read_whole(OptionValues& v, Opt id) {
  const OptionSpec& o = option(id);
  const std::string text = v.has(id) ? v.shown(id) : std::string(o.fallback);
  if (text.empty()) reject_missing(o);
  const std::string range =
      "expected a whole number from " + shortest(static_cast<float>(o.quantity->least)) + " to " +
      (o.quantity->most > 1e18 ? std::string("2^64 - 1")
                               : std::to_string(static_cast<std::uint64_t>(o.quantity->most)));
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  // Digits past 2^64 - 1 are refused, not wrapped.
  if (error == std::errc::result_out_of_range) reject(o, text, range);
  if (error != std::errc() || end != text.data() + text.size()) {
    // 2^64 itself is the first double a 64-bit whole number cannot hold.
    constexpr double kPastWhole = 0x1p64;
    const NumberAndUnit n = split_number(text);
    if (!n.has_number || !n.unit.empty() || !(n.number >= 0.0) ||
        n.number != std::floor(n.number) || n.number > o.quantity->most || n.number >= kPastWhole) {
      reject(o, text, range);
    }
    value = static_cast<std::uint64_t>(n.number);
  }
  if (static_cast<double>(value) < o.quantity->least ||
      static_cast<double>(value) > o.quantity->most) {
    reject(o, text, range);
  }
  InputEcho echo{std::string(o.name), v.has(id) ? text : "", "",
                 single_value(static_cast<float>(value))};
  echo.whole = value;
  v.record_input(std::move(echo));
  return value;
}

// The outcomes a limit may name, with and without the response at f0.
Outcome read_limited_outcome(std::string_view item, std::string_view name, bool at_f0) {
  const std::size_t known = at_f0 ? kOutcomeCount : kImpedanceOutcomes;
  for (std::size_t i = 0; i < kOutcomeCount; ++i) {
    const auto o = static_cast<Outcome>(i);
    if (outcome_name(o) != name) continue;
    if (i < known) return o;
    reject(option(Opt::limit), item, {"needs the response at f0: add ", Opt::f0, " F"});
  }
  Phrase expected{"expected NAME=LO:HI, NAME one of coupling, zo, zoe, zoo"};
  if (at_f0) {
    expected += ", coupling_f0, return_loss, isolation or directivity";
  } else {
    expected += " (and with ";
    expected += Opt::f0;
    expected += " coupling_f0, return_loss, isolation or directivity)";
  }
  reject(option(Opt::limit), item, expected);
}

double read_limit_side(std::string_view text, const Quantity& q, double open) {
  if (text.empty()) return open;
  return parse_quantity(dashed(option(Opt::limit)), text, q);
}

// The ends of LOW:HIGH (`range` of `item`), an open side infinite.
std::pair<double, double> limit_ends(std::string_view item, std::string_view range,
                                     const Quantity& q) {
  const std::size_t colon = range.find(':');
  if (colon == std::string_view::npos || range.find(':', colon + 1) != std::string_view::npos ||
      range.size() == 1) {
    reject(option(Opt::limit), item, "expected NAME=LOW:HIGH, or LOW: or :HIGH for one side");
  }
  const double infinity = std::numeric_limits<double>::infinity();
  return {read_limit_side(range.substr(0, colon), q, -infinity),
          read_limit_side(range.substr(colon + 1), q, infinity)};
}

// "LEFT:RIGHT", an infinite side left empty.
std::string limit_text(double left, double right) {
  const auto side = [](double x) {
    return std::isfinite(x) ? shortest(static_cast<float>(x)) : std::string();
  };
  return side(left) + ":" + side(right);
}

// The coupling is negative as the table prints it, and its limit is read
// so: -10.5:-9.5.  A limit of positive ends is read as magnitudes, as a
// coupling is spoken of, on both ends alike: 9.5:10.5 is -10.5:-9.5, and one
// side of it, 10: ("at least 10 dB"), is :-10.  Ends of both signs are
// refused.
std::pair<double, double> signed_coupling(std::string_view item, double low, double high) {
  const auto given = [](double side, bool below_zero) {
    return std::isfinite(side) && (below_zero ? side < 0.0 : side > 0.0);
  };
  const bool negative = given(low, true) || given(high, true);
  const bool positive = given(low, false) || given(high, false);
  if (negative && positive) {
    const double larger = std::max(std::fabs(low), std::fabs(high));
    const double smaller = std::min(std::fabs(low), std::fabs(high));
    reject(option(Opt::limit), item,
           "expected both ends negative, as the table prints the coupling (" +
               limit_text(-larger, -smaller) + "), or both magnitudes in dB");
  }
  if (negative) return {low, high};
  if (low > high) {
    reject(option(Opt::limit), item,
           "expected LOW below HIGH; as the table prints the coupling, " + limit_text(-low, -high) +
               " (magnitudes " + limit_text(std::min(low, high), std::max(low, high)) + ")");
  }
  return {-high, -low};
}

// Every limit is LOW:HIGH in its outcome's own sign, as the table prints
// it, and holds LOW <= value <= HIGH; an open side is no bound.
Limit read_limit(std::string_view item, bool at_f0) {
  const OptionSpec& limit = option(Opt::limit);
  const std::size_t equals = item.find('=');
  const Outcome o = read_limited_outcome(item, item.substr(0, equals), at_f0);
  const std::string_view range = equals == std::string_view::npos ? "" : item.substr(equals + 1);
  const bool impedance = o == Outcome::zoe || o == Outcome::zoo || o == Outcome::zo;
  auto [low, high] = limit_ends(item, range, impedance ? kImpedanceLimit : kDecibelLimit);
  if (o == Outcome::coupling || o == Outcome::coupling_f0) {
    std::tie(low, high) = signed_coupling(item, low, high);
  }
  if (!(low < high)) reject(limit, item, "expected LOW below HIGH");
  return {o, low, high};
}

std::vector<Limit> read_limits(OptionValues& v, bool at_f0) {
  std::vector<Limit> limits;
  if (!v.has(Opt::limit)) return limits;
  const std::string text = v.shown(Opt::limit);
  for (const std::string_view item : split_at(text, ',')) {
    const Limit l = read_limit(item, at_f0);
    if (std::ranges::any_of(limits, [&](const Limit& x) { return x.quantity == l.quantity; })) {
      reject(option(Opt::limit), item, "that quantity is limited twice");
    }
    limits.push_back(l);
    InputEcho echo{
        "limit_" + std::string(outcome_name(l.quantity)), std::string(item),
        l.quantity == Outcome::zoe || l.quantity == Outcome::zoo || l.quantity == Outcome::zo
            ? "ohm"
            : "dB",
        single_value(static_cast<float>(l.low))};
    echo.bounds = {l.low, l.high};
    v.record_input(std::move(echo));
  }
  return limits;
}

// The response at f0, and the options that only it uses.
std::optional<ResponseAtF0> read_response_at_f0(OptionValues& v) {
  if (!v.has(Opt::f0)) {
    for (const Opt id : {Opt::rs, Opt::rl, Opt::rho, Opt::roughness, Opt::tand}) {
      if (v.has(id))
        reject(option(id), v.shown(id), {"only with ", Opt::f0, ", the response of each sample"});
    }
    return std::nullopt;
  }
  ResponseAtF0 r{};
  r.f0_mhz = v.number(Opt::f0);
  r.terminations.source = v.number(Opt::rs);
  r.terminations.load = v.number(Opt::rl);
  r.materials = read_materials(v);
  return r;
}

void read_slice(OptionValues& v, ToleranceRequest& q) {
  q.samples = read_whole(v, Opt::samples);
  q.start = read_whole(v, Opt::start);
  if (q.start >= q.samples) {
    reject(option(Opt::start), v.shown(Opt::start),
           {"expected a sample index below ", Opt::samples, ", " + std::to_string(q.samples)});
  }
  q.count = v.has(Opt::count) ? read_whole(v, Opt::count) : q.samples - q.start;
  if (q.count > q.samples - q.start) {
    reject(option(Opt::count), v.shown(Opt::count),
           {"runs past the last sample: at most " + std::to_string(q.samples - q.start) + " from ",
            Opt::start, " " + std::to_string(q.start)});
  }
}

// --lot-size N, which the lot shares of --vary need.
// --centre and the fab's least width and gap that bound its search.
void read_centring(OptionValues& v, ToleranceRequest& q) {
  q.centre = v.choice(Opt::centre) == "on";
  if (q.centre) {
    // Echoed, so that --combine reads a centred run's slices as centred.
    InputEcho echo{"centre", "on", "", single_value(1.0F)};
    echo.whole = 1;
    v.record_input(std::move(echo));
  }
  for (const Opt id : {Opt::min_width, Opt::min_gap}) {
    if (!v.has(id)) continue;
    if (!q.centre)
      reject(option(id), v.shown(id), {"it bounds the search of ", Opt::centre, " on"});
    (id == Opt::min_width ? q.min_width : q.min_gap) = v.number(id);
  }
  if (q.centre && q.limits.empty()) {
    reject(option(Opt::centre), "on",
           {"centring searches for the largest yield; give the limits "
            "with ",
            Opt::limit});
  }
}

void read_lots(OptionValues& v, ToleranceDesign& d) {
  const bool lots =
      std::ranges::any_of(d.variations, [](const Variation& x) { return x.lot_half_width > 0.0; });
  if (v.has(Opt::lot_size)) d.lot_size = read_whole(v, Opt::lot_size);
  if (lots && d.lot_size == 0) {
    reject(option(Opt::vary), v.shown(Opt::vary), {"a lot share needs ", Opt::lot_size, " N"});
  }
}

// One pair A,B=R of --correlate.
Correlation read_correlation(std::string_view pair, const ToleranceDesign& d) {
  const OptionSpec& flag = option(Opt::correlate);
  const std::size_t comma = pair.find(',');
  const std::size_t equals = pair.find('=');
  const auto varied = [&d](std::string_view name) -> std::optional<Varied> {
    for (const Variation& x : d.variations) {
      if (varied_name(x.quantity) == name) return x.quantity;
    }
    return std::nullopt;
  };
  if (comma == std::string_view::npos || equals == std::string_view::npos || equals < comma) {
    reject(flag, pair, "expected A,B=R, A and B two varied quantities");
  }
  const std::optional<Varied> a = varied(pair.substr(0, comma));
  const std::optional<Varied> b = varied(pair.substr(comma + 1, equals - comma - 1));
  if (!a || !b || *a == *b) {
    reject(flag, pair, {"expected A,B=R, A and B two quantities varied by ", Opt::vary});
  }
  const NumberAndUnit r = split_number(pair.substr(equals + 1));
  if (!r.has_number || !r.unit.empty() || !(std::fabs(r.number) < 1.0)) {
    reject(flag, pair, "expected a correlation R above -1 and below 1");
  }
  return {*a, *b, r.number};
}

// --correlate A,B=R,...: the pairs, each once, and the Cholesky factor of
// their matrix.
void read_correlations(OptionValues& v, ToleranceDesign& d) {
  if (!v.has(Opt::correlate)) return;
  const std::string text = v.shown(Opt::correlate);
  std::string pair;
  for (const std::string_view token : split_at(text, ',')) {
    pair += (pair.empty() ? "" : ",") + std::string(token);
    if (token.find('=') == std::string_view::npos) continue;
    const Correlation c = read_correlation(pair, d);
    if (std::ranges::any_of(d.correlations, [&c](const Correlation& x) {
          return (x.first == c.first && x.second == c.second) ||
                 (x.first == c.second && x.second == c.first);
        })) {
      reject(option(Opt::correlate), pair, "that pair is correlated twice");
    }
    d.correlations.push_back(c);
    pair.clear();
  }
  if (!pair.empty()) reject(option(Opt::correlate), pair, "expected A,B=R");
  if (const std::string pairs = correlation_factor(d); !pairs.empty()) {
    reject(option(Opt::correlate), text,
           "the correlations of " + pairs +
               " make a matrix that is not positive definite: no draws can have them");
  }
}

// ---- A multi-section coupler ----

constexpr Quantity kBandLimit{.what = "limit in dB",
                              .dimension = Dimension::coupling,
                              .least = 0.0,
                              .least_allowed = true,
                              .most = 1000.0};

// The names of the band's outcomes in --limit, in the order of BandOutcome.
constexpr std::array<std::string_view, kBandOutcomeCount> kBandLimitNames = {
    "deviation", "directivity", "return_loss"};

// One item NAME=LOW:HIGH of --limit on a multi-section coupler: the worst
// coupling deviation, the least directivity or the least return loss over
// the band, each in dB and positive.
BandLimit read_band_limit(std::string_view item) {
  const OptionSpec& limit = option(Opt::limit);
  const std::size_t equals = item.find('=');
  const auto* named = std::ranges::find(kBandLimitNames, item.substr(0, equals));
  if (equals == std::string_view::npos || named == kBandLimitNames.end()) {
    reject(limit, item,
           "expected NAME=LOW:HIGH, NAME one of deviation (the worst coupling deviation over the "
           "band), directivity or return_loss (the least over the band) for a multi-section "
           "coupler");
  }
  const auto [low, high] = limit_ends(item, item.substr(equals + 1), kBandLimit);
  if (!(low < high)) reject(limit, item, "expected LOW below HIGH");
  return {static_cast<BandOutcome>(named - kBandLimitNames.begin()), low, high};
}

std::vector<BandLimit> read_band_limits(OptionValues& v) {
  std::vector<BandLimit> limits;
  if (!v.has(Opt::limit)) return limits;
  const std::string text = v.shown(Opt::limit);
  for (const std::string_view item : split_at(text, ',')) {
    const BandLimit l = read_band_limit(item);
    if (std::ranges::any_of(limits, [&](const BandLimit& x) { return x.outcome == l.outcome; })) {
      reject(option(Opt::limit), item, "that quantity is limited twice");
    }
    limits.push_back(l);
    InputEcho echo{"limit_" + std::string(kBandLimitNames.at(static_cast<std::size_t>(l.outcome))),
                   std::string(item), "dB", single_value(static_cast<float>(l.low))};
    echo.bounds = {l.low, l.high};
    v.record_input(std::move(echo));
  }
  return limits;
}

// What a multi-section run does not take: one coupler's dimensions, a
// stack, lots, correlations and centring.
void refuse_for_sections(OptionValues& v) {
  const Phrase why{"not with ", Opt::sections, ", whose sections' dimensions are synthesised"};
  for (const Opt id : {Opt::w, Opt::s}) {
    if (v.has(id)) reject(option(id), v.shown(id), why);
  }
  for (const Opt id : {Opt::layers, Opt::correlate, Opt::lot_size}) {
    if (v.has(id)) {
      reject(option(id), v.shown(id),
             {"not with ", Opt::sections,
              ": a multi-section coupler's sections vary on a board, "
              "each quantity on its own, without lots"});
    }
  }
  if (v.choice(Opt::centre) == "on") {
    reject(option(Opt::centre), "on",
           {"not with ", Opt::sections,
            ": centring searches one coupler's W and gap, not a multi-section coupler's sections"});
  }
}

// The built nominal coupler on a board, side by side.
MultisectionCoupler nominal_sections(OptionValues& v, const MultisectionRequest& m) {
  if (!m.build.board) {
    refuse(Opt::b, {"missing; a multi-section coupler's tolerance varies its board: give ", Opt::b,
                    " and ", Opt::t});
  }
  if (m.build.setup.placement.arrangement != Arrangement::edge) {
    reject(option(Opt::geometry), std::string(v.choice(Opt::geometry)),
           {"expected edge with ", Opt::sections, ": the sections' W and S are varied"});
  }
  MultisectionCoupler c = multisection_coupler(m.design, m.build);
  for (const SectionRow& s : c.sections) {
    if (!is_failure(s.status)) continue;
    refuse(Opt::sections, "the nominal section " + std::to_string(s.index) +
                              " cannot be built on this board, so the coupler has no nominal "
                              "response to vary");
  }
  return c;
}

// A percentage of W or S would be of each section's own; a lot's share
// needs --lot-size, which a multi-section run does not take.
void check_section_variations(const std::vector<Variation>& variations, const GivenTexts& given) {
  for (const Variation& x : variations) {
    const std::string& item = given.at(static_cast<std::size_t>(x.quantity));
    if ((x.quantity == Varied::w || x.quantity == Varied::s) &&
        item.find('%') != std::string::npos) {
      reject(option(Opt::vary), item,
             "a percentage of each section's own nominal value; give the half-width as a length");
    }
    if (x.lot_half_width > 0.0) {
      reject(
          option(Opt::vary), item,
          {"a lot share needs ", Opt::lot_size, ", which a multi-section coupler does not take"});
    }
  }
}

// The reach of the draws checked on each section's own W and S.
void check_section_reaches(const MultisectionToleranceDesign& m, const GivenTexts& given) {
  for (const SectionRow& s : m.nominal.sections) {
    ToleranceDesign one;
    one.nominal = *s.coupler.dimensions;
    one.variations = m.variations;
    one.spread = m.spread;
    check_reaches(one, given);
  }
}

// The choices that shape a run, echoed when given, so that --combine reads
// its slices as the run they are (a field run's slices were otherwise put
// together about the model's nominal design, under the default law).
void echo_choices(OptionValues& v) {
  for (const Opt id : {Opt::profile, Opt::solver, Opt::dist, Opt::geometry}) {
    if (!v.has(id)) continue;
    InputEcho echo{std::string(option(id).name), std::string(v.choice(id)), "", single_value(1.0F)};
    echo.whole = 1;
    v.record_input(std::move(echo));
  }
}

ToleranceRequest read_multisection_tolerance(OptionValues& v) {
  refuse_for_sections(v);
  ToleranceRequest q{};
  const MultisectionRequest m = read_multisection_coupler(v);
  if (m.build.solver == Solver::both) {
    reject(option(Opt::solver), "both", "expected model or field for a tolerance run");
  }
  MultisectionToleranceDesign& d = q.multisection.emplace();
  d.nominal = nominal_sections(v, m);
  d.coupling_db = -static_cast<float>(m.design.coupling_db);
  d.band_mhz =
      band_frequencies(static_cast<float>(m.design.f1_mhz), static_cast<float>(m.design.f2_mhz),
                       static_cast<float>(m.design.f0_mhz));
  d.solver = m.build.solver;
  d.spread = v.choice(Opt::dist) == "uniform" ? Spread::uniform : Spread::normal;
  GivenTexts given;
  std::vector<LayerVariation> no_layers;
  d.variations = read_variations(v, *d.nominal.sections.front().coupler.dimensions, no_layers,
                                 d.spread, given);
  check_section_variations(d.variations, given);
  add_etch(v, given, d.variations);
  check_section_reaches(d, given);
  d.terminations = {v.number(Opt::rs), v.number(Opt::rl)};
  q.band_limits = read_band_limits(v);
  d.seed = read_whole(v, Opt::seed);
  read_slice(v, q);
  q.attribution = v.choice(Opt::attribution) == "on";
  echo_choices(v);
  // The run's own figures, which every output names, where a single
  // coupler's run keeps them.
  q.design.solver = d.solver;
  q.design.spread = d.spread;
  q.design.seed = d.seed;
  return q;
}

}  // namespace

ToleranceRequest read_tolerance(OptionValues& v) {
  if (v.has(Opt::sections)) return read_multisection_tolerance(v);
  ToleranceRequest q{};
  ToleranceDesign& d = q.design;
  d.solver = read_solver(v);
  if (d.solver == Solver::both) {
    reject(option(Opt::solver), "both", "expected model or field for a tolerance run");
  }
  d.nominal = read_dimensions(v, v.has(Opt::layers) ? 0.0F : v.number(Opt::er), d.solver);
  d.spread = v.choice(Opt::dist) == "uniform" ? Spread::uniform : Spread::normal;
  GivenTexts given;
  d.variations = read_variations(v, d.nominal, d.layer_variations, d.spread, given);
  add_etch(v, given, d.variations);
  read_lots(v, d);
  read_correlations(v, d);
  check_reaches(d, given);
  d.at_f0 = read_response_at_f0(v);
  if (d.at_f0 && !d.nominal.placement.stack.empty()) {
    // The artwork's length: a quarter wave at the mean of the nominal modes' velocities.
    const CouplerImpedances z =
        coupler_of_dimensions(d.nominal, d.at_f0->materials, 1.0F, d.solver).impedances;
    d.at_f0->length_inch = quarter_wave_length(d.at_f0->f0_mhz, z.eeff_even, z.eeff_odd);
  }
  q.limits = read_limits(v, d.at_f0.has_value());
  d.seed = read_whole(v, Opt::seed);
  read_slice(v, q);
  q.attribution = v.choice(Opt::attribution) == "on";
  read_centring(v, q);
  echo_choices(v);
  return q;
}

}  // namespace ketrovane::commands
