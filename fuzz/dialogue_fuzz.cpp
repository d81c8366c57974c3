// The whole program, in memory, on the shipped default-value file with the
// bytes as its console input.
#include <sstream>
#include <string>
#include <string_view>

#include "front/default_file.hpp"
#include "front/driver.hpp"
#include "fuzz_check.hpp"
#include "fuzz_cores.hpp"
#include "support/memory_environment.hpp"

namespace ketrovane::fuzz {

namespace {

// A short input can ask for a table of billions of rows; a run is cut off
// once the console has taken this much.  The cut is a failed console write,
// which the program handles as any other.
constexpr std::size_t kConsoleBound = std::size_t{1} << 20U;

class BoundedConsole final : public text::Channel {
 public:
  [[nodiscard]] bool cut() const { return cut_; }
  [[nodiscard]] const std::string& written() const { return text_; }

 protected:
  void sink(std::string_view text) override {
    if (cut_ || text_.size() + text.size() > kConsoleBound) {
      cut_ = true;
      throw text::FatalError("cannot write the console: fuzz output bound reached");
    }
    text_.append(text);
  }

 private:
  std::string text_;
  bool cut_ = false;
};

}  // namespace

int fuzz_dialogue(const std::uint8_t* data, std::size_t size) {
  static const std::string kShippedDefaults = testing::shipped_defaults();
  testing::MemoryFileSystem files;
  files.files[kDefaultFileName] = kShippedDefaults;
  testing::TextLineReader in(std::string(reinterpret_cast<const char*>(data), size));
  BoundedConsole console;
  std::ostringstream errors;
  Environment env{
      in, console, errors, files, [] { return testing::kFixedClock; }, Mistakes::end_the_program,
      ""};

  int status = -1;
  try {
    status = run_program(env);
  } catch (...) {
    invariant_broken("no exception leaves run_program", __FILE__, __LINE__);
  }

  // The shipped defaults are accepted, so a run ends by the operator's
  // choice (0) or on an input or output error (2).
  KETROVANE_FUZZ_CHECK(status == kExitSuccess || status == kExitInputOutputError);

  // An error is told in one line on the error stream, and only then.
  const std::string told = errors.str();
  if (status == kExitSuccess) {
    KETROVANE_FUZZ_CHECK(told.empty());
  } else {
    KETROVANE_FUZZ_CHECK(told.starts_with("ketrovane: "));
    KETROVANE_FUZZ_CHECK(told.find('\n') == told.size() - 1);
  }

  // The console's last line is ended, unless the run was cut off.
  if (!console.cut()) {
    const std::string& shown = console.written();
    KETROVANE_FUZZ_CHECK(!shown.empty() && shown.back() == '\n');
  }

  // The default-value file is never written over.
  KETROVANE_FUZZ_CHECK(files.files.at(kDefaultFileName) == kShippedDefaults);
  return 0;
}

}  // namespace ketrovane::fuzz
