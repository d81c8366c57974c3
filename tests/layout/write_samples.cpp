// Writes every file of every artwork the layout tests draw into the folder
// given on the command line, with the artwork's geometry as JSON beside
// them, for the readers' test to load back with the tools engineers use.
#include "artwork_cases.hpp"
#include "layout/files.hpp"

#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

namespace {

using ketrovane::layout::Artwork;
using ketrovane::layout::Point;

void write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string point_json(Point p) {
  std::ostringstream out;
  out << std::setprecision(17) << "[" << p.x << ", " << p.y << "]";
  return out.str();
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// The geometry in inches (outlines by layer, pads) and the comments.
std::string geometry_json(const Artwork& artwork, const std::vector<std::string>& layer_names,
                          const std::vector<std::string>& comments) {
  std::ostringstream out;
  out << "{\"comments\": [";
  for (std::size_t i = 0; i < comments.size(); ++i) {
    out << (i ? ", " : "") << json_string(comments[i]);
  }
  out << std::setprecision(17) << "],\n \"layer_names\": [";
  for (std::size_t i = 0; i < layer_names.size(); ++i) {
    out << (i ? ", " : "") << "\"" << layer_names[i] << "\"";
  }
  out << "],\n \"layers\": [";
  for (std::size_t l = 0; l < artwork.layers.size(); ++l) {
    out << (l ? ",\n  " : "") << "[";
    const auto& outlines = artwork.layers[l].outlines;
    for (std::size_t o = 0; o < outlines.size(); ++o) {
      out << (o ? ",\n   " : "") << "[";
      for (std::size_t p = 0; p < outlines[o].size(); ++p) {
        out << (p ? ", " : "") << point_json(outlines[o][p]);
      }
      out << "]";
    }
    out << "]";
  }
  out << "],\n \"pads\": [";
  for (std::size_t i = 0; i < artwork.pads.size(); ++i) {
    const auto& pad = artwork.pads[i];
    out << (i ? ",\n  " : "") << "{\"number\": " << pad.number << ", \"layer\": " << pad.layer
        << ", \"centre\": " << point_json(pad.centre) << ", \"size\": [" << pad.size_x << ", "
        << pad.size_y << "]}";
  }
  out << "]}\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: write_samples FOLDER\n";
    return 2;
  }
  const std::string folder = argv[1];
  for (const auto& [name, inputs] : ketrovane::layout::testing::artwork_cases()) {
    const Artwork artwork = ketrovane::layout::make_artwork(inputs);
    const std::vector<std::string> layers = inputs.one_above_the_other
                                                ? std::vector<std::string>{"In1.Cu", "In2.Cu"}
                                                : std::vector<std::string>{"F.Cu"};
    // Quotes, a backslash, Gerber's delimiters and a line break: none may
    // break a file.
    const std::vector<std::string> comments = {
        "Coupler " + name + R"(: 20 dB, "edge" 100% * C:\designs)",
        "Bends and steps are not in the response\nLead-out lengths as drawn"};
    std::string base = folder + "/";
    base += name;
    write(base + ".json", geometry_json(artwork, layers, comments));
    write(base + ".kicad_mod", ketrovane::layout::kicad_footprint(artwork, name, layers, comments));
    write(base + ".dxf", ketrovane::layout::dxf_drawing(artwork, layers, comments));
    for (std::size_t l = 0; l < layers.size(); ++l) {
      write(base + "-" + std::to_string(l + 1) + ".gbr",
            ketrovane::layout::gerber_layer(artwork, static_cast<int>(l), layers[l], comments));
    }
    for (const char* kind : {"svg", "png"}) {
      const std::string terminal = std::string(kind) == "svg"
                                       ? "set terminal svg size 1000,700"
                                       : "set terminal pngcairo size 1000,700";
      write(base + "-" + kind + ".gp",
            ketrovane::layout::picture_script(artwork, {{"W1", "W1 = w"}}, comments, terminal,
                                              base + "." + kind));
    }
  }
  return 0;
}
