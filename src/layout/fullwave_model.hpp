// The full-wave model of a coupler as laid out: a Python script on
// openEMS's bindings that builds the stack, the copper of the artwork and a
// port at each pad, meshes them, runs one excitation per port and writes
// the four-port matrix referred to the pads' centres.  Pure text; the
// caller writes it (DIR/coupler.py and DIR/README.txt).  Lengths in
// inches, written in millimetres to the nanometre.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "layout/artwork.hpp"

namespace ketrovane::layout {

// One dielectric layer between the planes.
struct FullwaveLayer {
  double thickness;  // inches
  double er;
  double loss_tangent;  // at f0; written as a conductivity there
};

// Where one copper layer of the artwork stands: the height of its lower
// face above the lower plane and its thickness, inches.
struct FullwaveCopper {
  double bottom;
  double thickness;
};

struct FullwaveModel {
  std::vector<FullwaveLayer> layers;    // bottom to top; their sum is B
  std::vector<FullwaveCopper> copper;   // by Artwork::layers
  std::array<double, kPortCount> ohms;  // each port's reference, by PortRole
  double f0_hz;
  double f_high_hz;                   // the excitation's band runs from 0 to here
  std::vector<std::string> comments;  // what the coupler is, a line each
};

// How far the box's side walls stand from the copper, in B.
inline constexpr double kWallDistanceOfB = 3.0;
// Each port's line beyond its pad, in B: a uniform line long enough that
// the fields of the pad's end and of the termination have died away at its
// middle, where its probes stand.
inline constexpr double kPortLineOfB = 4.0;
// The coarse mesh's cell across a strip edge (thirds rule), of the
// narrowest strip or gap; the fine mesh's is half of it.  The coupling
// converges about linearly in this cell (on the 10 dB coupler, 3/7 of the
// gap left it 0.45 dB weak, 3/28 within 0.03 dB of the ideal section).
inline constexpr double kEdgeCellOfNarrowest = 3.0 / 14.0;
// The coarse mesh's cells over a bend or a diagonal run, of the narrowest
// feed line; the fine mesh's are half of them.
inline constexpr double kSlantCellOfFeed = 1.0 / 6.0;

// The script `coupler.py` of the model: every number a named constant near
// its top (millimetres, hertz), then the code that meshes, runs and reads
// the model back.  `inputs` gives the narrowest strip and gap, `artwork`
// the copper and the pads.
std::string fullwave_script(const ArtworkInputs& inputs, const Artwork& artwork,
                            const FullwaveModel& model);

// README.txt's three lines: what the directory holds, how to run it, what
// a run writes.
std::string fullwave_readme();

}  // namespace ketrovane::layout
