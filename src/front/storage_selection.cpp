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
bool names_default_file(const std::string& file_name, FileSystem& files) {
  const std::string name(text::trim_trailing_blanks(file_name));
  if (name.empty()) return false;
  const std::optional<FileId> storage = files.identify(name);
  return storage && storage == files.identify(kDefaultFileName);
}

// The storage file name after a reply: a blank reply keeps the current one,
// and the reserved names are replaced.
std::string chosen_name(const std::string& reply, const std::string& current, FileSystem& files) {
  std::string name = text::trim_trailing_blanks(reply).empty() ? current : reply;
  if (is_reserved_name(name) || names_default_file(name, files)) {
    name = padded_name(kReplacementName);
  }
  return name;
}

// Opens the storage file, or says why it cannot and asks for another name.
bool opened(StorageChannel& storage, const std::string& name, Console& console) {
  try {
    storage.open(name);
    return true;
  } catch (const text::FatalError& failure) {
    console.tell(std::string(failure.what()) +
                 ": enter another name, or nothing for no storage of this design");
    return false;
  }
}

}  // namespace

void select_storage(DesignRecord& r, Console& console, Environment& env, StorageChannel& storage) {
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
  const bool stored =
      choice == number_of(Storage::store) || choice == number_of(Storage::store_with_diagnostics);
  if (!stored) return;
  console.show(kHints);
  std::string name = chosen_name(console.ask_name(kName), r.storage_name, env.files);
  // In a script the driver opens the file and a failure ends the program.
  // At a terminal the file is opened now, so that a name it cannot open is
  // asked again; after that an empty name means no storage for this design.
  if (choice == number_of(Storage::store) && console.mistakes() == Mistakes::ask_again) {
    while (!opened(storage, name, console)) {
      const std::string reply = console.ask_name(kName);
      if (text::trim_trailing_blanks(reply).empty()) return;
      name = chosen_name(reply, r.storage_name, env.files);
    }
  }
  r.storage_name = name;
  r.selections.storage = static_cast<Storage>(choice);
}

}  // namespace ketrovane
