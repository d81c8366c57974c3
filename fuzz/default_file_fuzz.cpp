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

void check_accepted(const DesignParameters& p) {
  const Defaults& d = p.def;
  for (const float v :
       {d.bdef,      d.erdef,      d.tlosdef,  d.fmaxdef,  d.fmindef, d.fstepdef, d.fodef,
        d.kodef,     d.cstrongdef, d.cweakdef, d.cstepdef, d.ldef,    d.res1def,  d.sr1def,
        d.rldef,     d.rsdef,      d.sdef,     d.smaxdef,  d.smindef, d.sstepdef, d.tdef,
        d.wdef,      d.wmaxdef,    d.wmindef,  d.wstepdef, d.zodef,   d.zoedef,   d.zoemaxdef,
        d.zoemindef, d.zoestepdef, d.zoodef}) {
    KETROVANE_FUZZ_CHECK(std::isfinite(v));
  }
  KETROVANE_FUZZ_CHECK(d.bdef > 0);
  KETROVANE_FUZZ_CHECK(d.erdef >= 1);
  KETROVANE_FUZZ_CHECK(d.tlosdef >= 0);
  KETROVANE_FUZZ_CHECK(d.fmindef >= 0 && d.fmindef <= d.fmaxdef);
  KETROVANE_FUZZ_CHECK(d.fstepdef > 0 && d.fodef > 0);
  KETROVANE_FUZZ_CHECK(d.kodef <= -1);  // held negative
  KETROVANE_FUZZ_CHECK(d.cstrongdef >= 0 && d.cstrongdef <= d.cweakdef && d.cstepdef >= 0);
  KETROVANE_FUZZ_CHECK(d.ldef > 0 && d.res1def >= 0 && d.sr1def >= 0);
  KETROVANE_FUZZ_CHECK(d.rldef > 0 && d.rsdef > 0);
  KETROVANE_FUZZ_CHECK(d.sdef > 0 && d.smindef > 0 && d.smindef <= d.smaxdef && d.sstepdef > 0);
  KETROVANE_FUZZ_CHECK(d.tdef >= 0 && d.tdef <= 0.8F * d.bdef);
  KETROVANE_FUZZ_CHECK(d.wdef > 0 && d.wmindef > 0 && d.wmindef <= d.wmaxdef && d.wstepdef > 0);
  KETROVANE_FUZZ_CHECK(d.zodef > 0 && d.zoodef > 0 && d.zoodef < d.zoedef);
  KETROVANE_FUZZ_CHECK(d.zoemindef <= d.zoemaxdef);

  // The working copies follow the defaults.
  KETROVANE_FUZZ_CHECK(p.fmin == d.fmindef && p.fstep == d.fstepdef && p.fo == d.fodef);
  KETROVANE_FUZZ_CHECK(p.w == d.wdef);

  KETROVANE_FUZZ_CHECK(p.fn.size() == kFileNameLength);
  KETROVANE_FUZZ_CHECK(!text::trim_trailing_blanks(p.fn).empty());
  KETROVANE_FUZZ_CHECK(!is_reserved_name(p.fn));
}

}  // namespace

int fuzz_default_file(const std::uint8_t* data, std::size_t size) {
  const std::string contents(reinterpret_cast<const char*>(data), size);
  testing::TextLineReader file(contents);
  text::StringChannel console;
  DesignParameters p;
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
  KETROVANE_FUZZ_CHECK(p.fn == std::string(kFileNameLength, ' '));

  // An entry is missing only when the file ends before its line.
  if (missing) KETROVANE_FUZZ_CHECK(line_count(contents) < kEntryLines);
  return 0;
}

}  // namespace ketrovane::fuzz
