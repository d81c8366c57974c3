// The copper artwork of a coupler as the batch commands write it: the
// `layout` command's request and its table of ports, and --layout FILE of
// synthesise, response and multisection.  The feed lines' widths come from
// the single strip's solution on the coupler's board, their spacing from
// the field solution; the files' texts are made here, and each front end
// writes them (a picture by running gnuplot on the script made here).
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands/columns.hpp"
#include "commands/input_error.hpp"
#include "commands/requests.hpp"
#include "commands/rows.hpp"
#include "design/artwork_plan.hpp"
#include "layout/artwork.hpp"
#include "layout/fullwave_model.hpp"

namespace ketrovane::commands {

// A coupler the fab cannot make as drawn (a width or a gap below its
// least), or that cannot be drawn (a row not built): the front ends exit
// as when rows could not be built.
class ArtworkRefusal : public InputError {
 public:
  using InputError::InputError;
};

// One port of the artwork: the layout command's row.
struct ArtworkPort {
  int number;
  layout::PortRole role;
  double feed_width;    // inches
  double feed_zo;       // ohms
  double lead_out;      // inches, from the section's end to the pad's centre
  double lead_out_deg;  // its electrical length at f0
};

struct CouplerArtwork {
  layout::Artwork artwork;
  ArtworkPlan plan;
  std::vector<std::string> layer_names;       // KiCad's, the upper first
  std::vector<std::string> comments;          // each file's
  std::vector<ArtworkPort> ports;             // by port number
  std::map<std::string, std::string> labels;  // the picture's dimensions: "W1" -> "W1 = 24.8 mil"
  float f0_mhz;
  LengthUnit unit;
  layout::FullwaveModel fullwave;  // the stack, the ports' resistances, the band
};

// "input", "through", "isolated", "coupled"
std::string_view role_name(layout::PortRole role);

// The artwork of the coupler of a request (a response given by its
// dimensions, a synthesis of one row, a multi-section coupler on a board),
// drawn as --bend, --lead-isolation, --lead-length, --copper-layers and
// --port-order say.  An InputError for options that do not fit or a field
// without a solution for the leads' spacing; an ArtworkRefusal for a width
// or gap below the fab's least, naming the section or port.
std::shared_ptr<const CouplerArtwork> coupler_artwork(const Request& request, OptionValues& values,
                                                      LengthUnit unit);

// The files of --layout FILE by its extension: a path and its text, or a
// picture to draw (its text empty).  An InputError for an extension not
// taken.
struct ArtworkFile {
  std::string path;
  std::string text;
  bool picture = false;
};
std::vector<ArtworkFile> artwork_files(const CouplerArtwork& artwork, const std::string& path);
// Refuses a name whose extension is not one the artwork is written as.
void check_artwork_name(const std::string& path);

// The files of --fullwave DIR: DIR/coupler.py (the openEMS model of the
// coupler as laid out) and DIR/README.txt.
std::vector<ArtworkFile> fullwave_files(const CouplerArtwork& artwork,
                                        const std::string& directory);

// The note after they are written: where, and how to run the model.
std::string fullwave_note(const std::string& directory);

// coupler.py ends in a line holding a checksum of the lines above it, so
// that a script changed by hand is told from one as written: a changed one
// is kept, never written over (and a run runs it as it is).
bool script_changed_by_hand(std::string_view script);
// The note when it is kept.
std::string kept_script_note(const std::string& directory);

// The gnuplot `set terminal` line of a picture, by its extension.
std::string artwork_terminal(const std::string& path);

// The gnuplot script drawing the picture into image_path.
std::string artwork_picture(const CouplerArtwork& artwork, const std::string& terminal_line,
                            const std::string& image_path);

// The note after the files are written: each pad's lead-out, in length and
// in degrees at f0.
std::string lead_out_note(const CouplerArtwork& artwork);

// The coupled section as drawn: `designed` less what --compensate took off
// (a single section's length).
double drawn_section_inch(const CouplerArtwork& artwork, double designed);

// With --compensate, the note naming each shortened section's length as
// designed and what it lost, and the legs' coupled length at each end.
std::optional<std::string> compensation_note(const CouplerArtwork& artwork);

// The rows of synthesise, response or multisection with --compensate: a
// "compensation" column after their length, what the compensation took off
// the section of the row (a table of the sections) or the whole coupler
// (a row of it); the rows as they were without compensation or a length.
std::unique_ptr<RowSource> with_compensation(std::unique_ptr<RowSource> rows,
                                             const CouplerArtwork& artwork, const Request& request);

// The layout command: its request and its ports' rows.
LayoutRequest read_layout(OptionValues& values);
// The fullwave command's: layout's, with --fullwave DIR.
LayoutRequest read_fullwave(OptionValues& values);
std::span<const Column> layout_columns(const ColumnChoice& choice);
std::unique_ptr<RowSource> layout_rows(const Request& request);

}  // namespace ketrovane::commands
