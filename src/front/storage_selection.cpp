// The storage question of every dialogue.
#include "common/saturating.hpp"
#include "front/default_file.hpp"
#include "front/dialogue.hpp"

namespace ketrovane {

namespace {

constexpr std::string_view kReplacementName = "Ketrovane.XLS";

std::string padded_name(std::string_view name) {
  std::string padded(name);
  padded.resize(kFileNameLength, ' ');
  return padded;
}

// True when the name, however spelled, is the default-value file itself.
bool names_default_file(const std::string& fn, FileSystem& files) {
  const std::string name(text::trim_trailing_blanks(fn));
  if (name.empty()) return false;
  const std::optional<FileId> storage = files.identify(name);
  return storage && storage == files.identify(kDefaultFileName);
}

}  // namespace

void select_storage(DesignRecord& r, Console& console, Environment& env) {
  static const text::Layout kQuestion("(/,6X,'Is Output Data STORAGE desired? (1=YES)  = ')",
                                      text::Ending::question);
  static const text::Layout kHints(
      "(6X, 'Enter a FILENAME (up to 20 characters) for Output Data storage: ', /,10X, '-Enter: "
      "Filename.xls for storage in a spreadsheet',/,10X, '-Enter: Filename.doc for storage in a "
      "word processor',/,10X, '-Enter: Filename.txt for storage as a text document')");
  static const text::Layout kName("(11X,'Enter your FILENAME for Output Data Storage: ')",
                                  text::Ending::question);
  r.selections.storage = Storage::none;
  const int choice = nearest_int(console.ask(kQuestion));
  if (choice != number_of(Storage::store) && choice != number_of(Storage::diagnostic)) return;
  console.show(kHints);
  const std::string fname = console.ask_name(kName);
  if (!text::trim_trailing_blanks(fname).empty()) r.storage_name = fname;
  if (is_reserved_name(r.storage_name) || names_default_file(r.storage_name, env.files)) {
    r.storage_name = padded_name(kReplacementName);
  }
  r.selections.storage = static_cast<Storage>(choice);
}

}  // namespace ketrovane
