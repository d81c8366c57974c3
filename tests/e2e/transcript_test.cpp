// End-to-end transcripts: each case directory holds the standard input of a
// session and what the program must leave behind.
//
//   input.txt     standard input
//   given/        files placed in the working directory first (a case
//                 without given/Ketrovane.DEF gets the shipped one, unless
//                 the case directory holds a file named no-defaults)
//   stdout.txt    expected standard output
//   stderr.txt    expected error stream (empty when absent)
//   status.txt    expected exit status (0 when absent)
//   files/        expected files of the working directory after the run,
//                 besides those of given/ (no other file may appear)
//
// The program runs in a fresh temporary directory under faketime, with the
// clock fixed at 6 December 2026, 9:05:07.  Setting KETROVANE_REGENERATE=1
// writes the actual results into the case directory instead of comparing,
// for review by hand before they are committed.  The temporary directory's
// path reads as <work> in the expected texts, and the installed sample
// default-value file as <sample>.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "program_runner.hpp"

namespace {

using namespace ketrovane::e2e;

const fs::path kCases = KETROVANE_E2E_CASES;
const fs::path kShippedDefaults = KETROVANE_SHIPPED_DEF;

std::vector<std::string> case_names() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kCases)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string with_placeholder(std::string text, const std::string& path,
                             const std::string& placeholder) {
  for (auto i = text.find(path); i != std::string::npos; i = text.find(path, i)) {
    text.replace(i, path.size(), placeholder);
  }
  return text;
}

class Transcript : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { fs::create_directories(work_); }

  TemporaryDirectory root_;
  fs::path work_ = root_.path() / "work";
};

TEST_P(Transcript, MatchesExpectedOutputAndFiles) {
  const fs::path dir = kCases / GetParam();
  const auto given = files_under(dir / "given");
  for (const auto& [name, text] : given) write_file(work_ / name, text);
  const bool shipped = !given.contains("Ketrovane.DEF") && !fs::exists(dir / "no-defaults");
  if (shipped) fs::copy_file(kShippedDefaults, work_ / "Ketrovane.DEF");

  Outcome o = run_in(work_, dir / "input.txt");
  o.out = with_placeholder(o.out, work_.string(), "<work>");
  o.err = with_placeholder(o.err, work_.string(), "<work>");
  o.err = with_placeholder(o.err, KETROVANE_SAMPLE_DEFAULTS, "<sample>");
  auto produced = files_under(work_);
  for (const auto& [name, text] : given) {
    if (produced.contains(name) && produced[name] == text) produced.erase(name);
  }
  if (shipped) produced.erase("Ketrovane.DEF");

  if (std::getenv("KETROVANE_REGENERATE") != nullptr) {
    write_file(dir / "stdout.txt", o.out);
    if (!o.err.empty()) write_file(dir / "stderr.txt", o.err);
    if (o.status != 0) write_file(dir / "status.txt", std::to_string(o.status) + "\n");
    fs::remove_all(dir / "files");
    for (const auto& [name, text] : produced) write_file(dir / "files" / name, text);
    GTEST_SKIP() << "regenerated";
  }

  EXPECT_EQ(o.out, read_file(dir / "stdout.txt"));
  EXPECT_EQ(o.err, fs::exists(dir / "stderr.txt") ? read_file(dir / "stderr.txt") : "");
  const int status = fs::exists(dir / "status.txt") ? std::stoi(read_file(dir / "status.txt")) : 0;
  EXPECT_EQ(o.status, status);
  const auto expected = files_under(dir / "files");
  std::set<std::string> names;
  for (const auto& [name, text] : expected) names.insert(name);
  for (const auto& [name, text] : produced) names.insert(name);
  for (const auto& name : names) {
    ASSERT_TRUE(expected.contains(name)) << "unexpected file " << name;
    ASSERT_TRUE(produced.contains(name)) << "missing file " << name;
    EXPECT_EQ(produced[name], expected.at(name)) << "in file " << name;
  }
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Transcript);
INSTANTIATE_TEST_SUITE_P(Cases, Transcript, testing::ValuesIn(case_names()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
