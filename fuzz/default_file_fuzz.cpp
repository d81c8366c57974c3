// The default-value file reader on arbitrary file contents.
#include <cmath>
#include <string>
#include <string_view>

#include "front/default_file.hpp"
#include "fuzz_check.hpp"
#include "fuzz_cores.hpp"
#include "support/memory_environment.hpp"
#include "text/channel.hpp"

namespace ketrovane::fuzz {

namespace {

// The file holds a title line, 31 numeric entries and the storage name.
constexpr std::size_t kEntryLines = 33;

constexpr std::string_view kMissing =
    "      End of file in STRIPLINE COUPLER default value\n"
    "      data file (Ketrovane.DEF). Entry missing for variable ";
constexpr std::string_view kRejected =
    "      Error exists in STRIPLINE COUPLER default value\n"
    "      data file (Ketrovane.DEF). Fix entry for variable ";

std::size_t line_count(std::string_view text) {
  std::size_t n = 0;
  for (const char c : text) n += c == '\n' ? 1 : 0;
  if (!text.empty() && text.back() != '\n') ++n;
  return n;
}

void check_accepted(const DesignRecord& r) {
  const Defaults& d = r.defaults;
  for (const float v : {d.b,
                        d.er,
                        d.loss_tangent,
                        d.f_max,
                        d.f_min,
                        d.f_step,
                        d.fo,
                        d.coupling_db,
                        d.strongest_db,
                        d.weakest_db,
                        d.level_step_db,
                        d.length,
                        d.resistivity,
                        d.roughness,
                        d.load,
                        d.source,
                        d.s,
                        d.s_max,
                        d.s_min,
                        d.s_step,
                        d.t,
                        d.w,
                        d.w_max,
                        d.w_min,
                        d.w_step,
                        d.zo,
                        d.zoe,
                        d.zoe_max,
                        d.zoe_min,
                        d.zoe_step,
                        d.zoo}) {
    KETROVANE_FUZZ_CHECK(std::isfinite(v));
  }
  KETROVANE_FUZZ_CHECK(d.b > 0);
  KETROVANE_FUZZ_CHECK(d.er >= 1);
  KETROVANE_FUZZ_CHECK(d.loss_tangent >= 0);
  KETROVANE_FUZZ_CHECK(d.f_min >= 0 && d.f_min <= d.f_max);
  KETROVANE_FUZZ_CHECK(d.f_step > 0 && d.fo > 0);
  KETROVANE_FUZZ_CHECK(d.coupling_db <= -1);  // held negative
  KETROVANE_FUZZ_CHECK(d.strongest_db >= 0 && d.strongest_db <= d.weakest_db &&
                       d.level_step_db >= 0);
  KETROVANE_FUZZ_CHECK(d.length > 0 && d.resistivity >= 0 && d.roughness >= 0);
  KETROVANE_FUZZ_CHECK(d.load > 0 && d.source > 0);
  KETROVANE_FUZZ_CHECK(d.s > 0 && d.s_min > 0 && d.s_min <= d.s_max && d.s_step > 0);
  KETROVANE_FUZZ_CHECK(d.t >= 0 && d.t <= 0.8F * d.b);
  KETROVANE_FUZZ_CHECK(d.w > 0 && d.w_min > 0 && d.w_min <= d.w_max && d.w_step > 0);
  KETROVANE_FUZZ_CHECK(d.zo > 0 && d.zoo > 0 && d.zoo < d.zoe);
  KETROVANE_FUZZ_CHECK(d.zoe_min <= d.zoe_max);

  // The working copies follow the defaults.
  KETROVANE_FUZZ_CHECK(r.f_start == d.f_min && r.f_step == d.f_step && r.fo == d.fo);
  KETROVANE_FUZZ_CHECK(r.w == d.w);

  KETROVANE_FUZZ_CHECK(r.storage_name.size() == kFileNameLength);
  KETROVANE_FUZZ_CHECK(!text::trim_trailing_blanks(r.storage_name).empty());
  KETROVANE_FUZZ_CHECK(!is_reserved_name(r.storage_name));
}

}  // namespace

int fuzz_default_file(const std::uint8_t* data, std::size_t size) {
  const std::string contents(reinterpret_cast<const char*>(data), size);
  testing::TextLineReader file(contents);
  text::StringChannel console;
  DesignRecord p;
  const bool accepted = read_default_values(file, p, console);
  const std::string& shown = console.text();

  if (accepted) {
    KETROVANE_FUZZ_CHECK(shown.empty());
    KETROVANE_FUZZ_CHECK(line_count(contents) >= kEntryLines);
    check_accepted(p);
    return 0;
  }

  // One message naming the entry (eleven characters of its label), and the
  // storage name untouched.
  const bool missing = shown.starts_with(kMissing);
  KETROVANE_FUZZ_CHECK(missing || shown.starts_with(kRejected));
  KETROVANE_FUZZ_CHECK(shown.size() == (missing ? kMissing : kRejected).size() + 12);
  KETROVANE_FUZZ_CHECK(shown.back() == '\n');
  KETROVANE_FUZZ_CHECK(p.storage_name == std::string(kFileNameLength, ' '));

  // An entry is missing only when the file ends before its line.
  if (missing) KETROVANE_FUZZ_CHECK(line_count(contents) < kEntryLines);
  return 0;
}

}  // namespace ketrovane::fuzz
