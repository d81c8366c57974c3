// The texts of the files an artwork is written to: a KiCad footprint, a
// Gerber X2 file per copper layer, an ASCII DXF drawing and a gnuplot script
// that draws a dimensioned picture.  Pure functions returning the text; the
// caller writes it.  Coordinates in millimetres, rounded to whole
// nanometres and printed with six decimals; KiCad's y axis points down, so
// its footprint carries -y, the others +y.  Each file carries the caller's
// comment lines (what the coupler is, what its response leaves out).
#pragma once

#include "layout/artwork.hpp"

#include <map>
#include <string>
#include <vector>

namespace ketrovane::layout {

// A KiCad 6 footprint (.kicad_mod) named `name`: the copper outlines as
// filled polygons, the pads as rectangular SMD pads numbered as the ports.
// `layer_names` has one KiCad layer name per copper layer of the artwork,
// the upper first ({"F.Cu"}, or {"In1.Cu", "In2.Cu"}).
std::string kicad_footprint(const Artwork& artwork, const std::string& name,
                            const std::vector<std::string>& layer_names,
                            const std::vector<std::string>& comments);

// A Gerber X2 file of copper layer `layer` (an index into artwork.layers):
// outlines as regions, pads as flashed rectangles.  `layer_name` is the
// name the drawing gives the layer ("F.Cu", "In1.Cu", ...): "F.Cu" and
// "B.Cu" are the outer layers, any other an inner one.
std::string gerber_layer(const Artwork& artwork, int layer, const std::string& layer_name,
                         const std::vector<std::string>& comments);

// An ASCII DXF (R12) drawing in millimetres: a DXF layer per copper layer,
// named from `layer_names`, the outlines and pads as closed polylines.
std::string dxf_drawing(const Artwork& artwork, const std::vector<std::string>& layer_names,
                        const std::vector<std::string>& comments);

// A gnuplot script that draws the copper (the lower layer translucent in
// another colour), the pads with their numbers and each dimension as a
// double arrow labelled with labels[dimension.label] (the label itself if
// absent), at equal scale, titled with the comments.  `terminal_line` is
// the `set terminal ...` line, `image_path` the output file.
std::string picture_script(const Artwork& artwork, const std::map<std::string, std::string>& labels,
                           const std::vector<std::string>& comments,
                           const std::string& terminal_line, const std::string& image_path);

}  // namespace ketrovane::layout
