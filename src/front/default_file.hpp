// The default-value file: a title line, 31 numeric defaults and the default
// storage file name.
#pragma once

#include "reports/design_record.hpp"
#include "text/channel.hpp"
#include "text/reply_reader.hpp"

namespace ketrovane {

inline constexpr const char* kDefaultFileName = "Ketrovane.DEF";

// Reads and checks the defaults into the record, and sets the working
// copies of w, the analysis start frequency and step, and fo.  A missing entry or a rejected one is
// reported on the console and gives false; the entries before it stay in p.
bool read_default_values(text::LineReader& file, DesignRecord& r, text::Channel& console);

// True for a name that may not be used for storage: the default-value file
// and the program file, compared exactly with trailing blanks ignored.
bool is_reserved_name(std::string_view name);

}  // namespace ketrovane
