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
// path reads as <work> in the expected texts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kCases = KETROVANE_E2E_CASES;
const fs::path kBinary = KETROVANE_BINARY;
const fs::path kShippedDefaults = KETROVANE_SHIPPED_DEF;
constexpr const char* kFixedClock = "2026-12-06 09:05:07";

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

std::vector<std::string> case_names() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kCases)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Regular files under dir, by path relative to it.
std::map<std::string, std::string> files_under(const fs::path& dir) {
  std::map<std::string, std::string> files;
  if (!fs::exists(dir)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), dir).string()] = read_file(entry.path());
    }
  }
  return files;
}

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;
};

Outcome run_in(const fs::path& dir, const fs::path& input) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
  const fs::path out = dir.parent_path() / "stdout";
  const fs::path err = dir.parent_path() / "stderr";
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());

  std::string binary = fs::absolute(kBinary).string();
  std::vector<std::string> args = {"faketime", kFixedClock, binary};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = {"PATH=/usr/bin:/bin", "TZ=UTC",
                                  "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"};
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, "faketime", &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  Outcome o;
  if (rc != 0) {
    o.err = "cannot start faketime (is the faketime package installed?)";
    return o;
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  o.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  o.out = read_file(out);
  o.err = read_file(err);
  return o;
}

std::string with_placeholder(std::string text, const std::string& dir) {
  for (auto i = text.find(dir); i != std::string::npos; i = text.find(dir, i)) {
    text.replace(i, dir.size(), "<work>");
  }
  return text;
}

class Transcript : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/ketrovane-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    root_ = templ;
    work_ = root_ / "work";
    fs::create_directories(work_);
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path root_;
  fs::path work_;
};

TEST_P(Transcript, MatchesExpectedOutputAndFiles) {
  const fs::path dir = kCases / GetParam();
  const auto given = files_under(dir / "given");
  for (const auto& [name, text] : given) write_file(work_ / name, text);
  const bool shipped = !given.contains("Ketrovane.DEF") && !fs::exists(dir / "no-defaults");
  if (shipped) fs::copy_file(kShippedDefaults, work_ / "Ketrovane.DEF");

  Outcome o = run_in(work_, dir / "input.txt");
  o.out = with_placeholder(o.out, work_.string());
  o.err = with_placeholder(o.err, work_.string());
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
