#include "layout/files.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>

namespace ketrovane::layout {
namespace {

constexpr double kMillimetresPerInch = 25.4;

// A length in inches as whole nanometres.
std::int64_t nanometres(double inches) {
  return std::llround(inches * kMillimetresPerInch * 1e6);
}

// A length in inches as millimetres with six decimals, from whole nanometres.
std::string mm(double inches) {
  const std::int64_t nm = nanometres(inches);
  const std::int64_t whole = std::llabs(nm);
  std::string digits = std::to_string(whole % 1000000);
  digits.insert(0, 6 - digits.size(), '0');
  return (nm < 0 ? "-" : "") + std::to_string(whole / 1000000) + "." + digits;
}

// A string between double quotes (KiCad's, gnuplot's): quotes and
// backslashes escaped, a line break as \n.
std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// The comments a line each, for the formats whose comments end at a line
// break (Gerber's G04, DXF's 999, gnuplot's #).
std::vector<std::string> comment_lines(const std::vector<std::string>& comments) {
  std::vector<std::string> lines;
  for (const std::string& comment : comments) {
    std::size_t start = 0;
    for (std::size_t end = comment.find('\n'); end != std::string::npos;
         end = comment.find('\n', start)) {
      lines.push_back(comment.substr(start, end - start));
      start = end + 1;
    }
    lines.push_back(comment.substr(start));
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines, const std::string& separator) {
  std::string out;
  for (const std::string& line : lines) {
    if (!out.empty()) out += separator;
    out += line;
  }
  return out;
}

const std::string& name_of(const std::vector<std::string>& names, int layer) {
  static const std::string kUnnamed = "Cu";
  const auto index = static_cast<std::size_t>(layer);
  return index < names.size() ? names[index] : kUnnamed;
}

// KiCad's footprint -------------------------------------------------------

void kicad_polygon(std::ostringstream& out, const Outline& outline, const std::string& layer) {
  out << "  (fp_poly (pts";
  for (const Point& p : outline) out << " (xy " << mm(p.x) << " " << mm(-p.y) << ")";
  out << ") (layer \"" << layer << "\") (width 0) (fill solid))\n";
}

void kicad_pad(std::ostringstream& out, const Pad& pad, const std::string& layer) {
  out << "  (pad \"" << pad.number << "\" smd rect (at " << mm(pad.centre.x) << " "
      << mm(-pad.centre.y) << ") (size " << mm(pad.size_x) << " " << mm(pad.size_y)
      << ") (layers \"" << layer << "\"))\n";
}

// Gerber -----------------------------------------------------------------

// Gerber's text may hold neither of its delimiters.
std::string gerber_text(const std::string& text) {
  std::string out = text;
  std::replace_if(
      out.begin(), out.end(), [](char c) { return c == '*' || c == '%'; }, ' ');
  return out;
}

// The file function of a layer by its name: KiCad's F.Cu the top, B.Cu the
// bottom, InN.Cu the inner layer N + 1.
std::string file_function(int layer, const std::string& name) {
  if (name.rfind("In", 0) == 0) {
    const int inner = std::atoi(name.c_str() + 2);
    if (inner > 0) return "Copper,L" + std::to_string(inner + 1) + ",Inr";
  }
  const bool top = name == "F.Cu" || (name != "B.Cu" && layer == 0);
  return top ? "Copper,L1,Top" : "Copper,L" + std::to_string(std::max(layer + 1, 2)) + ",Bot";
}

std::string gerber_xy(Point p) {
  return "X" + std::to_string(nanometres(p.x)) + "Y" + std::to_string(nanometres(p.y));
}

void gerber_region(std::ostringstream& out, const Outline& outline) {
  out << "G36*\n" << gerber_xy(outline.front()) << "D02*\n";
  for (std::size_t i = 1; i < outline.size(); ++i) out << gerber_xy(outline[i]) << "D01*\n";
  out << gerber_xy(outline.front()) << "D01*\nG37*\n";
}

// DXF --------------------------------------------------------------------

void dxf_group(std::ostringstream& out, int code, const std::string& value) {
  out << code << "\n" << value << "\n";
}

void dxf_polyline(std::ostringstream& out, const Outline& outline, const std::string& layer) {
  dxf_group(out, 0, "POLYLINE");
  dxf_group(out, 8, layer);
  dxf_group(out, 66, "1");
  dxf_group(out, 10, "0.0");
  dxf_group(out, 20, "0.0");
  dxf_group(out, 30, "0.0");
  dxf_group(out, 70, "1");
  for (const Point& p : outline) {
    dxf_group(out, 0, "VERTEX");
    dxf_group(out, 8, layer);
    dxf_group(out, 10, mm(p.x));
    dxf_group(out, 20, mm(p.y));
    dxf_group(out, 30, "0.0");
  }
  dxf_group(out, 0, "SEQEND");
  dxf_group(out, 8, layer);
}

Outline pad_outline(const Pad& pad) {
  const double hx = pad.size_x / 2;
  const double hy = pad.size_y / 2;
  const Point c = pad.centre;
  return {{c.x - hx, c.y - hy}, {c.x + hx, c.y - hy}, {c.x + hx, c.y + hy}, {c.x - hx, c.y + hy}};
}

// The picture --------------------------------------------------------------

struct Bounds {
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  void add(Point p) {
    x0 = std::min(x0, p.x);
    y0 = std::min(y0, p.y);
    x1 = std::max(x1, p.x);
    y1 = std::max(y1, p.y);
  }
};

Bounds bounds_of(const Artwork& artwork) {
  Bounds bounds;
  for (const CopperLayer& layer : artwork.layers) {
    for (const Outline& outline : layer.outlines) {
      for (const Point& p : outline) bounds.add(p);
    }
  }
  for (const Pad& pad : artwork.pads) {
    for (const Point& p : pad_outline(pad)) bounds.add(p);
  }
  return bounds;
}

// The upper layer copper-coloured and opaque, the lower blue and translucent.
std::string picture_fill(int layer) {
  return layer == 0 ? R"(fc rgb "#c87533" fillstyle solid 1.0 border lc rgb "#7a4a1f")"
                    : R"(fc rgb "#3060c0" fillstyle transparent solid 0.5 border lc rgb "#203080")";
}

// The comments one to a line of a gnuplot double-quoted string.
std::string title(const std::vector<std::string>& comments) {
  std::vector<std::string> lines;
  lines.reserve(comments.size());
  for (const std::string& comment : comments) lines.push_back(escaped(comment));
  return joined(lines, "\\n");
}

void picture_polygon(std::ostringstream& out, int& object, const Outline& outline, int layer) {
  out << "set object " << ++object << " polygon from " << mm(outline[0].x) << ","
      << mm(outline[0].y);
  for (std::size_t i = 1; i <= outline.size(); ++i) {
    const Point& p = outline[i % outline.size()];
    out << " to " << mm(p.x) << "," << mm(p.y);
  }
  out << " " << picture_fill(layer) << " back\n";
}

// On the drawing a dimension carries its short name ("W1"), which stays
// clear of its neighbours however narrow the section; the values go in the
// key under the drawing.
void picture_dimension(std::ostringstream& out, const Dimension& dimension) {
  out << "set arrow from " << mm(dimension.from.x) << "," << mm(dimension.from.y) << " to "
      << mm(dimension.to.x) << "," << mm(dimension.to.y)
      << " heads size screen 0.006,25 lc rgb \"black\" front\n";
  // Lengths named above, widths and gaps beside on the side toward x = 0,
  // clear of the pads' numbers at the ends.
  const bool across_x =
      std::abs(dimension.to.x - dimension.from.x) > std::abs(dimension.to.y - dimension.from.y);
  out << "set label \"" << escaped(dimension.label) << "\" at "
      << mm((dimension.from.x + dimension.to.x) / 2) << ","
      << mm((dimension.from.y + dimension.to.y) / 2)
      << (across_x               ? " center offset 0,0.7"
          : dimension.from.x > 0 ? " right offset -0.4,0"
                                 : " left offset 0.4,0")
      << " front noenhanced font \",9\"\n";
}

// The number of the section a dimension belongs to ("W3", "S3", "WO3",
// "L3"), or 0 for those of the feed lines ("WF1", "G", "G2", "D", "LL").
int section_of(const std::string& label) {
  const std::size_t digits = label.find_first_of("0123456789");
  if (digits == std::string::npos) return 0;
  const std::string name = label.substr(0, digits);
  if (name != "W" && name != "S" && name != "WO" && name != "L") return 0;
  return std::stoi(label.substr(digits));
}

// The key under the drawing: a line per section with its dimensions' values,
// then the feed lines' three to a line.
std::vector<std::string> picture_key(const Artwork& artwork,
                                     const std::map<std::string, std::string>& labels) {
  constexpr std::size_t kFeedValuesPerLine = 3;
  std::map<int, std::vector<std::string>> by_section;
  std::vector<std::string> feeds;
  for (const Dimension& dimension : artwork.dimensions) {
    const auto found = labels.find(dimension.label);
    const std::string text = found == labels.end() ? dimension.label : found->second;
    const int section = section_of(dimension.label);
    (section == 0 ? feeds : by_section[section]).push_back(text);
  }
  // The feed lines' widths by port number first, then the spacing and the run.
  const auto is_width = [](const std::string& text) { return text.rfind("WF", 0) == 0; };
  std::stable_sort(feeds.begin(), feeds.end(), [&](const std::string& a, const std::string& b) {
    if (is_width(a) && is_width(b)) return a < b;
    return is_width(a) && !is_width(b);
  });
  std::vector<std::string> lines;
  lines.reserve(by_section.size() + feeds.size());
  for (const auto& [section, values] : by_section) lines.push_back(joined(values, ", "));
  for (std::size_t i = 0; i < feeds.size(); i += kFeedValuesPerLine) {
    const auto first = feeds.begin() + static_cast<std::ptrdiff_t>(i);
    const auto last =
        feeds.begin() + static_cast<std::ptrdiff_t>(std::min(feeds.size(), i + kFeedValuesPerLine));
    lines.push_back(joined(std::vector<std::string>(first, last), ", "));
  }
  return lines;
}

}  // namespace

std::string kicad_footprint(const Artwork& artwork, const std::string& name,
                            const std::vector<std::string>& layer_names,
                            const std::vector<std::string>& comments) {
  std::ostringstream out;
  const Bounds bounds = bounds_of(artwork);
  out << "(footprint \"" << escaped(name) << "\" (version 20211014) (generator ketrovane)\n"
      << "  (layer \"F.Cu\")\n"
      << "  (descr \"" << escaped(joined(comments, "; ")) << "\")\n"
      << "  (attr smd)\n"
      << "  (fp_text reference \"REF**\" (at 0 " << mm(-bounds.y1 - 0.04)
      << ") (layer \"F.SilkS\")\n    (effects (font (size 1 1) (thickness 0.15))))\n"
      << "  (fp_text value \"" << escaped(name) << "\" (at 0 " << mm(-bounds.y0 + 0.04)
      << ") (layer \"F.Fab\")\n    (effects (font (size 1 1) (thickness 0.15))))\n";
  for (std::size_t layer = 0; layer < artwork.layers.size(); ++layer) {
    const std::string& layer_name = name_of(layer_names, static_cast<int>(layer));
    for (const Outline& outline : artwork.layers[layer].outlines) {
      kicad_polygon(out, outline, layer_name);
    }
  }
  for (const Pad& pad : artwork.pads) kicad_pad(out, pad, name_of(layer_names, pad.layer));
  out << ")\n";
  return out.str();
}

std::string gerber_layer(const Artwork& artwork, int layer, const std::string& layer_name,
                         const std::vector<std::string>& comments) {
  std::ostringstream out;
  for (const std::string& line : comment_lines(comments))
    out << "G04 " << gerber_text(line) << "*\n";
  out << "%TF.GenerationSoftware,Ketrovane,ketrovane-calc," KETROVANE_VERSION "*%\n"
      << "%TF.FileFunction," << file_function(layer, layer_name) << "*%\n"
      << "%TF.FilePolarity,Positive*%\n"
      << "%FSLAX46Y46*%\n"
      << "%MOMM*%\n"
      << "%LPD*%\n";
  std::vector<const Pad*> pads;
  for (const Pad& pad : artwork.pads) {
    if (pad.layer == layer) pads.push_back(&pad);
  }
  out << "%TA.AperFunction,SMDPad,CuDef*%\n";
  for (std::size_t i = 0; i < pads.size(); ++i) {
    out << "%ADD" << 10 + i << "R," << mm(pads[i]->size_x) << "X" << mm(pads[i]->size_y) << "*%\n";
  }
  out << "%TD*%\nG01*\n%TA.AperFunction,Conductor*%\n";
  const auto index = static_cast<std::size_t>(layer);
  if (layer >= 0 && index < artwork.layers.size()) {
    for (const Outline& outline : artwork.layers[index].outlines) gerber_region(out, outline);
  }
  out << "%TD*%\n";
  for (std::size_t i = 0; i < pads.size(); ++i) {
    out << "%TO.P,K1," << pads[i]->number << "*%\nD" << 10 + i << "*\n"
        << gerber_xy(pads[i]->centre) << "D03*\n%TD*%\n";
  }
  out << "M02*\n";
  return out.str();
}

std::string dxf_drawing(const Artwork& artwork, const std::vector<std::string>& layer_names,
                        const std::vector<std::string>& comments) {
  std::ostringstream out;
  dxf_group(out, 999, "Units: millimetres.");
  for (const std::string& line : comment_lines(comments)) dxf_group(out, 999, line);
  dxf_group(out, 0, "SECTION");
  dxf_group(out, 2, "HEADER");
  dxf_group(out, 9, "$ACADVER");
  dxf_group(out, 1, "AC1009");
  dxf_group(out, 9, "$MEASUREMENT");
  dxf_group(out, 70, "1");
  dxf_group(out, 0, "ENDSEC");
  dxf_group(out, 0, "SECTION");
  dxf_group(out, 2, "TABLES");
  dxf_group(out, 0, "TABLE");
  dxf_group(out, 2, "LAYER");
  dxf_group(out, 70, std::to_string(artwork.layers.size()));
  for (std::size_t layer = 0; layer < artwork.layers.size(); ++layer) {
    dxf_group(out, 0, "LAYER");
    dxf_group(out, 2, name_of(layer_names, static_cast<int>(layer)));
    dxf_group(out, 70, "0");
    dxf_group(out, 62, layer == 0 ? "1" : "5");
    dxf_group(out, 6, "CONTINUOUS");
  }
  dxf_group(out, 0, "ENDTAB");
  dxf_group(out, 0, "ENDSEC");
  dxf_group(out, 0, "SECTION");
  dxf_group(out, 2, "ENTITIES");
  for (std::size_t layer = 0; layer < artwork.layers.size(); ++layer) {
    const std::string& layer_name = name_of(layer_names, static_cast<int>(layer));
    for (const Outline& outline : artwork.layers[layer].outlines) {
      dxf_polyline(out, outline, layer_name);
    }
  }
  for (const Pad& pad : artwork.pads) {
    dxf_polyline(out, pad_outline(pad), name_of(layer_names, pad.layer));
  }
  dxf_group(out, 0, "ENDSEC");
  dxf_group(out, 0, "EOF");
  return out.str();
}

std::string picture_script(const Artwork& artwork, const std::map<std::string, std::string>& labels,
                           const std::vector<std::string>& comments,
                           const std::string& terminal_line, const std::string& image_path) {
  std::ostringstream out;
  for (const std::string& line : comment_lines(comments)) out << "# " << line << "\n";
  const Bounds bounds = bounds_of(artwork);
  // Room about the copper for the dimensions' names and the pads' numbers.
  const double x_margin = 0.08 * (bounds.x1 - bounds.x0);
  const double y_margin = std::max(0.25 * (bounds.y1 - bounds.y0), 0.04 * (bounds.x1 - bounds.x0));
  out << terminal_line << "\n"
      << "set output \"" << escaped(image_path) << "\"\n"
      << "set title \"" << title(comments) << "\" noenhanced\n"
      << "set size ratio -1\nunset key\nset xlabel \"x (mm)\"\nset ylabel \"y (mm)\"\n"
      << "set xrange [" << mm(bounds.x0 - x_margin) << ":" << mm(bounds.x1 + x_margin) << "]\n"
      << "set yrange [" << mm(bounds.y0 - y_margin) << ":" << mm(bounds.y1 + y_margin) << "]\n";
  int object = 0;
  for (std::size_t layer = 0; layer < artwork.layers.size(); ++layer) {
    for (const Outline& outline : artwork.layers[layer].outlines) {
      picture_polygon(out, object, outline, static_cast<int>(layer));
    }
  }
  for (const Pad& pad : artwork.pads) {
    picture_polygon(out, object, pad_outline(pad), pad.layer);
    // The number beyond the pad, at the end of the line.
    out << "set label \"" << pad.number << "\" at " << mm(pad.centre.x) << "," << mm(pad.centre.y)
        << (pad.centre.x < 0 ? " right offset -1.2,0" : " left offset 1.2,0")
        << " front font \",12\"\n";
  }
  for (const Dimension& dimension : artwork.dimensions) picture_dimension(out, dimension);
  const std::vector<std::string> key = picture_key(artwork, labels);
  out << "set bmargin " << key.size() + 5 << "\n"
      << "set label \"" << title(key) << "\" at graph 0.5, graph 0 center offset 0,-3.8"
      << " front noenhanced\n"
      << "plot NaN notitle\nunset output\n";
  return out.str();
}

}  // namespace ketrovane::layout
