#include "support/memory_environment.hpp"

#include <fstream>

namespace ketrovane::testing {

namespace {

class MemoryOutputFile final : public OutputFile {
 public:
  MemoryOutputFile(std::string& target, FileId id) : target_(target), id_(id) {}
  [[nodiscard]] FileId id() const override { return id_; }
  void close() override { flush(); }

 protected:
  void sink(std::string_view text) override { target_.append(text); }

 private:
  std::string& target_;
  FileId id_;
};

}  // namespace

std::unique_ptr<text::LineReader> MemoryFileSystem::open_input(const std::string& name) {
  const auto it = files.find(name);
  if (it == files.end()) throw text::FatalError("cannot open the file \"" + name + "\"");
  return std::make_unique<TextLineReader>(it->second);
}

std::unique_ptr<OutputFile> MemoryFileSystem::open_output(const std::string& name) {
  for (const std::string& bad : unwritable) {
    if (bad == name) throw text::FatalError("cannot open the storage file \"" + name + "\"");
  }
  files[name].clear();
  return std::make_unique<MemoryOutputFile>(files[name], *identify(name));
}

std::optional<FileId> MemoryFileSystem::identify(const std::string& name) {
  if (!files.contains(name)) return std::nullopt;
  auto [it, added] = inodes_.try_emplace(name, next_inode_);
  if (added) ++next_inode_;
  return FileId{1, it->second};
}

void Session::run(const std::string& input) {
  TextLineReader in(input);
  Environment env{in, console, errors, files, [] { return kFixedClock; }, mistakes, ""};
  status = run_program(env);
}

std::string shipped_defaults() {
  std::ifstream in(KETROVANE_SHIPPED_DEF);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace ketrovane::testing
