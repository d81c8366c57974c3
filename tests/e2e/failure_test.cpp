// The program facing the end of its input at any point, and storage and
// console files it cannot write: one line on the error stream, exit status
// 2, and every report completed before the failure kept in the storage file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "program_runner.hpp"

namespace {

using namespace ketrovane::e2e;

const fs::path kShippedDefaults = KETROVANE_SHIPPED_DEF;

// One design stored in out.txt: an impedance analysis over widths.
const std::string kFirstDesign = "1\n1\n1\n" + std::string(11, '\n') + "1\nout.txt\n";
const std::string kNewCoupler = "2\n";
const std::string kExit = "3\n";
const std::string kStoreInOutTxt = "1\nout.txt\n";

struct Design {
  const char* name;
  std::string input;  // from the function menu to the storage question
};

const std::vector<Design> kDesigns = {
    {"impedance over widths", "1\n1\n1\n" + std::string(11, '\n')},
    {"impedance over spacings", "1\n1\n2\n" + std::string(11, '\n')},
    {"frequency from Zo and coupling", "1\n2\n1\n50\n10\n2.2\n2\n800\n1200\n100\n1000\n\n\n\n"},
    {"frequency from dimensions",
     "1\n2\n2\n1\n\n0.2\n0.04\n0.01\n\n\n\n\n2.0\n900\n1100\n50\n\n\n2\n"},
    {"sensitivity over widths", "1\n3\n1\n3\n\n0.1\n0.2\n0.05\n0.04\n0.01\n\n"},
    {"sensitivity over spacings", "1\n3\n2\n2\n\n0.2\n0.01\n0.02\n0.06\n0.02\n\n"},
    {"synthesis over coupling levels", "2\n1\n\n.0028\n\n\n10\n12\n1\n"},
    {"synthesis over even-mode impedances", "2\n2\n\n\n\n45\n100\n50\n10\n"},
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end + 1 - at));
    at = end + 1;
  }
  return lines;
}

class Failure : public testing::Test {
 protected:
  void SetUp() override { fs::create_directories(work_); }

  // Runs the input in an emptied working directory holding the shipped
  // default-value file.
  Outcome run(const std::string& input, const fs::path& stdout_path = {}) {
    fs::remove_all(work_);
    fs::create_directories(work_);
    fs::copy_file(kShippedDefaults, work_ / "Ketrovane.DEF");
    write_file(root_.path() / "input", input);
    return run_in(work_, root_.path() / "input", stdout_path);
  }

  std::string stored() { return read_file(work_ / "out.txt"); }
  bool stored_exists() { return fs::exists(work_ / "out.txt"); }

  TemporaryDirectory root_;
  fs::path work_ = root_.path() / "work";
};

void expect_one_error_line(const Outcome& o, const std::string& says) {
  EXPECT_EQ(o.status, 2);
  ASSERT_FALSE(o.err.empty());
  EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
  EXPECT_NE(o.err.find(says), std::string::npos) << o.err;
}

TEST_F(Failure, EndOfInputAtEveryPromptKeepsEveryCompletedReport) {
  ASSERT_EQ(run(kFirstDesign + kExit).status, 0);
  const std::string first_report = stored();
  const std::size_t first_lines = lines_of(kFirstDesign).size();
  for (const Design& design : kDesigns) {
    SCOPED_TRACE(design.name);
    const std::string input = kFirstDesign + kNewCoupler + design.input + kStoreInOutTxt + kExit;
    ASSERT_EQ(run(input).status, 0);
    const std::string both_reports = stored();
    ASSERT_TRUE(both_reports.starts_with(first_report));
    ASSERT_GT(both_reports.size(), first_report.size());

    const std::vector<std::string> lines = lines_of(input);
    std::string truncated;
    for (std::size_t k = 0; k < lines.size(); truncated += lines[k++]) {
      SCOPED_TRACE(testing::Message() << "input cut after " << k << " lines");
      // Lines before the first design's are covered by the first design.
      if (k < first_lines && &design != &kDesigns.front()) continue;
      const Outcome o = run(truncated);
      expect_one_error_line(o, "end of input");
      if (k < first_lines) {
        EXPECT_FALSE(stored_exists());
      } else if (k + 1 < lines.size()) {
        EXPECT_EQ(stored(), first_report);
      } else {
        EXPECT_EQ(stored(), both_reports);
      }
    }
  }
}

TEST_F(Failure, StorageFilesThatCannotBeWritten) {
  ASSERT_EQ(mkfifo((root_.path() / "fifo").c_str(), 0600), 0);
  const struct {
    std::string name;
    const char* says;
  } cases[] = {
      {"nodir/out.txt", "\"nodir/out.txt\" in "},
      {"/dev/full", "\"/dev/full\": No space left on device"},
      {"/proc/version", "\"/proc/version\""},  // refused even to the superuser
      {"../fifo", "\"../fifo\" in "},          // nobody reads it: no wait
      {std::string("ab\0cd", 5), "\"ab\\x00cd\" in "},
  };
  const std::string before_name = kFirstDesign.substr(0, kFirstDesign.size() - 8);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    const Outcome o = run(before_name + c.name + "\n" + kExit);
    expect_one_error_line(o, c.says);
  }
  if (geteuid() != 0) {  // the superuser may write any file
    write_file(root_.path() / "locked.txt", "kept\n");
    fs::permissions(root_.path() / "locked.txt", fs::perms::owner_read);
    const Outcome o = run(before_name + "../locked.txt\n" + kExit);
    expect_one_error_line(o, "locked.txt");
    EXPECT_EQ(read_file(root_.path() / "locked.txt"), "kept\n");
  }
}

TEST_F(Failure, AConsoleThatCannotBeWritten) {
  const Outcome o = run(kFirstDesign + kExit, "/dev/full");
  expect_one_error_line(o, "standard output");
}

}  // namespace
