// ketrovane._core: the compiled half of the Python package.  It hands the
// package the option table (each option's keyword and what it takes), turns
// a call's arguments into a Call, runs the rows in C++ with the GIL
// released for long calls, and hands back numpy arrays.  Every check and
// message is the batch library's, with the options it names written as the
// package's keywords (w= for --w); a refused value becomes ValueError.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <list>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "commands/accuracy_note.hpp"
#include "commands/artwork_output.hpp"
#include "commands/call_values.hpp"
#include "commands/command_table.hpp"
#include "commands/coupler_types.hpp"
#include "commands/fullwave_run.hpp"
#include "commands/input_error.hpp"
#include "commands/mode_note.hpp"
#include "commands/options.hpp"
#include "commands/quantities.hpp"
#include "commands/row_runner.hpp"
#include "commands/sweep_axis.hpp"
#include "commands/tolerance_centre.hpp"
#include "commands/tolerance_rows.hpp"

namespace py = pybind11;

namespace ketrovane::python {

namespace {

using commands::Argument;
using commands::Call;
using commands::MeasuredSweep;

const commands::CommandSpec& command_called(const std::string& name) {
  const commands::CommandSpec* c = commands::command_named(name);
  if (c == nullptr) throw py::value_error("no command " + name);
  return *c;
}

// "w=": an option as the package's keyword.
// The Python keyword of the option `name`: its own, or the name with
// underscores for dashes.
std::string python_keyword(std::string_view name) {
  if (const commands::OptionSpec* o = commands::option_named(name);
      o && !o->python_keyword.empty()) {
    return std::string(o->python_keyword);
  }
  std::string keyword(name);
  std::replace(keyword.begin(), keyword.end(), '-', '_');
  return keyword;
}

std::string keyword_of(std::string_view name) {
  return python_keyword(name) + "=";
}

std::string type_name(const py::handle value) {
  return py::str(py::type::of(value).attr("__name__"));
}

// The texts of an array of texts, and what its elements read.
struct HeldTexts {
  std::vector<std::string_view> views;
  commands::ElementTexts texts;
};

// What a call's arguments point at: its single numbers, the texts of its
// arrays of texts, the digits of its whole numbers and its items.
struct HeldValues {
  std::vector<double> scalars;
  std::list<HeldTexts> texts;  // nothing allocated for none
  std::list<std::string> digits;
  std::list<std::vector<commands::Item>> items;
};

// The UTF-8 of a str, kept by the str itself.
std::string_view utf8_of(const py::handle text) {
  Py_ssize_t size = 0;
  const char* bytes = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
  if (bytes == nullptr) throw py::error_already_set();
  return {bytes, static_cast<std::size_t>(size)};
}

// A float or an int as a double; an integer beyond any double reads as the
// command line reads 1e999.
double number_of(const py::handle value) {
  if (PyFloat_Check(value.ptr()) != 0) return PyFloat_AS_DOUBLE(value.ptr());
  const double number = PyLong_AsDouble(value.ptr());
  if (number != -1.0 || PyErr_Occurred() == nullptr) return number;
  PyErr_Clear();
  return py::reinterpret_borrow<py::int_>(value) < py::int_(0) ? -HUGE_VAL : HUGE_VAL;
}

// A flat C-ordered array of one element or one per element.
template <typename T>
bool flat_array(const py::handle value, std::int64_t elements, bool one_allowed) {
  if (!py::isinstance<py::array_t<T>>(value)) return false;
  const auto array = py::reinterpret_borrow<py::array_t<T>>(value);
  return array.ndim() == 1 && (array.size() == elements || (one_allowed && array.size() == 1)) &&
         (array.flags() & py::array::c_style) != 0;
}

// An array of texts, as the package hands it over: (the texts, for each
// element the position of its text in them).
void read_texts(const commands::OptionSpec& o, const py::tuple& value, std::int64_t elements,
                HeldValues& held, Argument& a) {
  if (value.size() != 2 || !flat_array<std::int64_t>(value[1], elements, false)) {
    throw py::value_error(keyword_of(o.name) + ": expected texts and a position for each of " +
                          std::to_string(elements) + " elements");
  }
  HeldTexts& held_texts = held.texts.emplace_back();
  std::vector<std::string_view>& views = held_texts.views;
  for (const py::handle text : py::reinterpret_borrow<py::sequence>(value[0])) {
    if (PyUnicode_Check(text.ptr()) == 0) {
      throw py::type_error(keyword_of(o.name) + ": expected texts, not " + type_name(text));
    }
    views.push_back(utf8_of(text));
  }
  const auto positions = py::reinterpret_borrow<py::array_t<std::int64_t>>(value[1]);
  const std::int64_t* position = positions.data();
  for (std::int64_t i = 0; i < elements; ++i) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-pointer-arithmetic)
    if (position[i] < 0 || static_cast<std::size_t>(position[i]) >= views.size()) {
      throw py::value_error(keyword_of(o.name) + ": a position beyond the texts");
    }
  }
  held_texts.texts = {views, position};
  a.texts = &held_texts.texts;
  a.per_element = true;
}

// One side of an item: a text, a number, or None (an open side).
commands::ItemSide item_side(const commands::OptionSpec& o, const py::handle value) {
  if (PyUnicode_Check(value.ptr()) != 0) return {utf8_of(value), std::nullopt};
  if (PyFloat_Check(value.ptr()) != 0 || PyLong_Check(value.ptr()) != 0) {
    return {std::nullopt, number_of(value)};
  }
  if (value.is_none() && o.id == commands::Opt::limit) return {};
  throw py::type_error(keyword_of(o.name) + ": expected a number or a text in the dict, not " +
                       type_name(value));
}

// The items of a dict, {name: value}, a limit's value a text or a pair
// (low, high).
void read_items(const commands::OptionSpec& o, const py::dict& dict, HeldValues& held,
                Argument& a) {
  std::vector<commands::Item>& items = held.items.emplace_back();
  for (const auto& [name, value] : dict) {
    if (PyUnicode_Check(name.ptr()) == 0) {
      throw py::type_error(keyword_of(o.name) + ": expected names as texts, not " +
                           type_name(name));
    }
    commands::Item& item = items.emplace_back(commands::Item{utf8_of(name), {}});
    if (o.id == commands::Opt::limit && PyUnicode_Check(value.ptr()) == 0) {
      const auto sides = py::reinterpret_borrow<py::sequence>(value);
      if (sides.size() != 2) {
        throw py::type_error(keyword_of(o.name) + ": expected (low, high) or a text");
      }
      for (const py::handle side : sides) item.sides.push_back(item_side(o, side));
    } else {
      item.sides.push_back(item_side(o, value));
    }
  }
  a.items = &items;
}

// The layers of a stack, [(thickness, er), (thickness, er, loss tangent),
// ...]: each an item of two or three sides, numbers or texts.
void read_layers(const commands::OptionSpec& o, const py::sequence& layers, HeldValues& held,
                 Argument& a) {
  std::vector<commands::Item>& items = held.items.emplace_back();
  for (const py::handle layer : layers) {
    if (PyUnicode_Check(layer.ptr()) != 0 || !py::isinstance<py::sequence>(layer) ||
        py::len(layer) < 2 || py::len(layer) > 3) {
      throw py::type_error(keyword_of(o.name) +
                           ": expected (thickness, er) or (thickness, er, loss tangent) for each "
                           "layer, not " +
                           type_name(layer));
    }
    commands::Item& item = items.emplace_back();
    for (const py::handle side : py::reinterpret_borrow<py::sequence>(layer)) {
      item.sides.push_back(item_side(o, side));
    }
  }
  a.items = &items;
}

// One argument: a str is a text, a float or int one number, a
// one-dimensional float64 array one number or one per element, a pair of
// texts and positions one text per element.
Argument argument_of(const py::handle name, const py::handle value, std::int64_t elements,
                     HeldValues& held) {
  const std::string_view option_name = utf8_of(name);
  const commands::OptionSpec* declared = commands::option_named(option_name);
  if (declared == nullptr) throw py::value_error("no option " + std::string(option_name));
  Argument a{declared->id, std::nullopt, nullptr, false};
  if (PyUnicode_Check(value.ptr()) != 0) {
    a.text = utf8_of(value);
  } else if (declared->kind == commands::ValueKind::items && PyDict_Check(value.ptr()) != 0) {
    read_items(*declared, py::reinterpret_borrow<py::dict>(value), held, a);
  } else if (declared->kind == commands::ValueKind::layers &&
             (PyList_Check(value.ptr()) != 0 || PyTuple_Check(value.ptr()) != 0)) {
    read_layers(*declared, py::reinterpret_borrow<py::sequence>(value), held, a);
  } else if (declared->kind == commands::ValueKind::whole && PyLong_Check(value.ptr()) != 0) {
    a.text = std::string_view(held.digits.emplace_back(py::str(value)));  // its digits
  } else if (declared->kind == commands::ValueKind::choice) {
    throw py::type_error(keyword_of(declared->name) + ": expected a text, " +
                         std::string(declared->choices) + ", not " + type_name(value));
  } else if (PyFloat_Check(value.ptr()) != 0 || PyLong_Check(value.ptr()) != 0) {
    held.scalars.push_back(number_of(value));
    a.numbers = &held.scalars.back();
  } else if (py::isinstance<py::array_t<double>>(value)) {
    if (!flat_array<double>(value, elements, true)) {
      throw py::value_error(keyword_of(declared->name) +
                            ": expected a flat array of one value or " + std::to_string(elements));
    }
    const auto array = py::reinterpret_borrow<py::array_t<double>>(value);
    a.numbers = array.data();
    a.per_element = array.size() != 1;
  } else if (py::isinstance<py::tuple>(value)) {
    read_texts(*declared, py::reinterpret_borrow<py::tuple>(value), elements, held, a);
  } else {
    throw py::type_error(keyword_of(declared->name) +
                         ": expected a number, an array or a text, not " + type_name(value));
  }
  return a;
}

// The arguments of a call (None is an option not given).
std::vector<Argument> arguments_of(const py::tuple& names, const py::tuple& values,
                                   std::int64_t elements, HeldValues& held) {
  if (names.size() != values.size()) throw py::value_error("names and values differ in number");
  std::vector<Argument> arguments;
  held.scalars.reserve(values.size());  // the arguments point into it
  for (std::size_t k = 0; k < values.size(); ++k) {
    const py::handle value = values[k];  // the tuple holds it
    if (value.is_none()) continue;
    arguments.push_back(argument_of(names[k], value, elements, held));
  }
  return arguments;
}

std::int64_t elements_of(const py::tuple& shape) {
  std::int64_t n = 1;
  for (const py::handle extent : shape) {
    const auto e = extent.cast<std::int64_t>();
    if (e < 0) throw py::value_error("negative extent in the shape");
    if (e != 0 && n > commands::kMostRows / e) {
      throw py::value_error("the arguments give more than " + std::to_string(commands::kMostRows) +
                            " rows together");
    }
    n *= e;
  }
  return n;
}

// An option as the package's keyword: "w=", "solver='field'"; the command
// line's own options (the output files) as the command line spells them.
std::string keyword_spelling(const commands::OptionSpec& o, std::string_view choice) {
  if (o.reach == commands::Reach::output) return commands::dashed_spelling(o, choice);
  std::string text = keyword_of(o.name);
  if (choice.empty()) return text;
  if (o.kind != commands::ValueKind::choice) return text + " " + std::string(choice);
  return text + "'" + std::string(choice) + "'";
}

// A refusal of the batch library with the options it names as the
// package's keywords: "w='-0.1': ...", "coupling= or zoe=: ...".  The
// values it quotes are as they were given.
std::string keyword_message(const commands::Refusal& refusal) {
  return commands::refusal_text(refusal, keyword_spelling);
}

// The message of a refusal, with the index in the broadcast shape of the
// element it came from unless the call was made with scalars.
std::string element_message(const commands::Refusal& refusal, const py::tuple& shape) {
  std::string message = keyword_message(refusal);
  if (shape.empty() || !refusal.element) return message;
  std::vector<std::int64_t> index(shape.size());
  std::int64_t rest = *refusal.element;
  for (std::size_t k = shape.size(); k-- > 0;) {
    const auto extent = shape[k].cast<std::int64_t>();
    index[k] = rest % extent;
    rest /= extent;
  }
  std::string text;
  for (const std::int64_t i : index) text += (text.empty() ? "" : ", ") + std::to_string(i);
  return message + " (at index " + (index.size() == 1 ? text : "(" + text + ")") + ")";
}

// How a call runs its rows: a call of one block on the calling thread with
// the GIL held; a longer one on every core with the GIL released and
// Ctrl-C heard between blocks.  `progress`, unless None, is called with
// (rows taken, rows in all) after each block.
commands::RunOptions run_options(const commands::RowSource& rows, const py::object& progress) {
  commands::RunOptions options;
  if (!progress.is_none()) {
    options.progress = [&progress, total = rows.rows()](std::int64_t taken) {
      const py::gil_scoped_acquire acquire;
      progress(taken, total);
    };
  }
  if (rows.rows() <= rows.rows_per_block()) {
    options.threads = 1;
    return options;
  }
  options.should_stop = [] {
    const py::gil_scoped_acquire acquire;
    return PyErr_CheckSignals() != 0;
  };
  return options;
}

// Runs the rows; a refused element becomes ValueError naming its index (a
// cross-section the field cannot solve is a row that says so in its status).
commands::RowTally run(const commands::RowSource& rows,
                       const std::function<void(const commands::RowBlock&)>& take,
                       const py::tuple& shape, const py::object& progress) {
  const commands::RunOptions options = run_options(rows, progress);
  try {
    if (options.threads == 1) return commands::run_rows(rows, take, options);
    const py::gil_scoped_release release;
    return commands::run_rows(rows, take, options);
  } catch (const commands::RowsStopped&) {
    throw py::error_already_set();  // the signal handler's exception, KeyboardInterrupt
  } catch (const commands::FailedRow& failed) {
    try {
      std::rethrow_exception(failed.error);
    } catch (const commands::InputError& e) {
      commands::Refusal refusal = e.refusal();
      refusal.element = failed.index;
      throw py::value_error(element_message(refusal, shape));
    }
  }
}

// Column names and units for a column list and a length unit, made once
// for each list of names: a row source's columns may live in storage that a
// later source of other columns reuses, so the key is the names themselves.
std::pair<py::tuple, py::tuple> column_names(std::span<const commands::Column> columns,
                                             commands::LengthUnit unit) {
  // Never destroyed: the tuples outlive the interpreter's own teardown.
  static auto* made = new std::map<std::vector<std::string>, std::pair<py::tuple, py::tuple>>;
  std::vector<std::string> key;
  key.reserve(columns.size() + 1);
  for (const commands::Column& column : columns) key.push_back(commands::column_name(column, unit));
  key.emplace_back(unit.name);  // the units follow the length unit too
  if (const auto it = made->find(key); it != made->end()) return it->second;
  py::tuple names(columns.size());
  py::tuple units(columns.size());
  for (std::size_t c = 0; c < columns.size(); ++c) {
    names[c] = py::str(key[c]);
    units[c] = py::str(commands::column_unit(columns[c], unit));
  }
  return made->emplace(std::move(key), std::make_pair(names, units)).first->second;
}

// The str of a text cell, made once per distinct text.  The cache keeps its
// own copy of each text: a cell's text may live no longer than its table (a
// varied quantity's name in the attribution's rows).
py::object text_object(std::string_view text) {
  // Never destroyed: the objects outlive the interpreter's own teardown.
  static auto* made = new std::map<std::string, py::object, std::less<>>;
  if (const auto it = made->find(text); it != made->end()) return it->second;
  return made->emplace(std::string(text), py::str(std::string(text))).first->second;
}

// Where the rows go: column c of element i at numbers[c * elements + i], in
// the call's length unit, as a double holding the row's single-precision
// number exactly, NaN for a cell that is empty or not finite; the
// status (the one text column) as codes into `texts`.
class TableArrays {
 public:
  TableArrays(std::span<const commands::Column> columns, commands::LengthUnit unit,
              std::int64_t elements)
      : columns_(columns),
        unit_(unit),
        elements_(static_cast<std::size_t>(elements)),
        numbers_({static_cast<std::int64_t>(columns.size()), elements}),
        codes_(elements_) {}

  void take(const commands::RowBlock& block) {
    double* numbers = numbers_.mutable_data();
    for (std::int64_t r = 0; r < block.count; ++r) {
      const std::span<const commands::Cell> cells = block.row(r);
      const auto i = static_cast<std::size_t>(block.first + r);
      for (std::size_t c = 0; c < columns_.size(); ++c) {  // not the hidden ones after them
        const commands::Cell& cell = cells[c];
        double value = std::numeric_limits<double>::quiet_NaN();
        if (cell.kind == commands::CellKind::number) {
          const float v = commands::in_output_unit(columns_[c], unit_, cell.number);
          if (std::isfinite(v)) value = v;  // exactly the single-precision number
        }
        if (cell.kind == commands::CellKind::text) codes_[i] = code(c, cell.text);
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-pointer-arithmetic)
        numbers[c * elements_ + i] = value;
      }
    }
  }

  // The status of each element as a code into texts: bytes, one a row.
  [[nodiscard]] py::tuple result(const py::object& note, const py::object& mode_note,
                                 const py::object& failure_note, const py::object& summary) const {
    const auto [names, units] = column_names(columns_, unit_);
    py::object codes = py::none();
    py::tuple texts(texts_.size());
    if (!texts_.empty()) {
      // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): bytes of the codes
      codes = py::bytes(reinterpret_cast<const char*>(codes_.data()), codes_.size());
      for (std::size_t k = 0; k < texts_.size(); ++k) texts[k] = text_object(texts_[k]);
    }
    return py::make_tuple(names, units, numbers_, codes, texts, text_column_, note, mode_note,
                          failure_note, summary);
  }

 private:
  std::uint8_t code(std::size_t column, std::string_view text) {
    text_column_ = static_cast<int>(column);
    auto it = std::find(texts_.begin(), texts_.end(), text);
    if (it == texts_.end()) it = texts_.insert(texts_.end(), text);
    return static_cast<std::uint8_t>(it - texts_.begin());
  }

  std::span<const commands::Column> columns_;
  commands::LengthUnit unit_;
  std::size_t elements_;
  py::array_t<double> numbers_;
  std::vector<std::uint8_t> codes_;
  std::vector<std::string_view> texts_;
  int text_column_ = -1;
};

// The note of a call on the closed-form model, for the package to warn with.
py::object note_of(const commands::RowTally& tally, const Call& call,
                   const commands::LengthUnit& unit) {
  const bool takes_solver = commands::option(commands::Opt::solver).taken_by(call.command());
  const std::string_view solver = call.slot(commands::Opt::solver).choice;
  if (!takes_solver || (call.slot(commands::Opt::solver).given && solver != "model")) {
    return py::none();
  }
  // Calls in a loop often share their worst rows: the last note is kept
  // (the GIL is held here).
  struct LastNote {
    AccuracyWatch accuracy;
    std::string_view unit;
    py::object note;
  };
  static auto* last = new LastNote{};  // never destroyed
  if (!last->note || last->unit != unit.name || last->accuracy != tally.accuracy) {
    const std::string note = commands::accuracy_note(tally.accuracy, unit);
    *last = {tally.accuracy, unit.name, note.empty() ? py::none() : py::object(py::str(note))};
  }
  return last->note;
}

// The note of rows at or above the cut-off of a higher-order mode, or None.
py::object mode_note_of(const commands::RowTally& tally, const commands::LengthUnit& unit) {
  if (!tally.higher_mode.reached) return py::none();
  return py::str(commands::higher_mode_note(tally.higher_mode, unit));
}

// The notes of rows the field failed, each naming its first element, as
// one text, or None.
py::object failure_note_of(const commands::RowTally& tally, const commands::LengthUnit& unit) {
  const std::vector<std::string> notes = commands::field_failure_notes(tally, unit, true);
  if (notes.empty()) return py::none();
  std::string text;
  for (const std::string& note : notes) text += (text.empty() ? "" : "\n") + note;
  return py::str(text);
}

// A band summary as a dict.
py::dict band_summary_dict(const BandSummary& s) {
  py::dict d;
  d["f0_mhz"] = s.f0_mhz;
  d["coupling_at_f0_db"] = s.coupling_at_f0_db;
  d["flatness_db"] = s.flatness_db;
  const auto edge = [&d](const char* name, const std::optional<BandEdge>& e) {
    d[(std::string(name) + "_mhz").c_str()] = e ? py::object(py::float_(e->f_mhz)) : py::none();
    d[(std::string(name) + "_beyond_swept_range").c_str()] = e && e->beyond_sweep;
  };
  edge("band_low", s.low);
  edge("band_high", s.high);
  d["worst_directivity_db"] = s.worst_directivity_db;
  d["worst_return_loss_db"] = s.worst_return_loss_db;
  d["worst_quadrature_error_deg"] = s.worst_quadrature_error_deg;
  d["least_amplitude_balance_db"] = s.least_amplitude_balance_db;
  d["greatest_amplitude_balance_db"] = s.greatest_amplitude_balance_db;
  d["amplitude_floor_db"] = -90.0;
  return d;
}

// The band summary of a call sweeping one coupler, as a dict, or None.
py::object summary_of(const Call& call) {
  const std::optional<BandSummary> s = commands::call_band_summary(call);
  if (!s) return py::none();
  return band_summary_dict(*s);
}

// (columns, units, numbers[column, element], codes or None, texts, text
// column or -1, the accuracy note or None)
py::tuple table(const std::string& command_name, const py::tuple& names, const py::tuple& values,
                const std::string& length_unit, const std::string& frequency_unit,
                const py::tuple& shape, const py::object& progress) {
  const commands::CommandSpec& command = command_called(command_name);
  const std::int64_t elements = elements_of(shape);
  HeldValues held;
  const Call call(command.id, arguments_of(names, values, elements, held), length_unit,
                  frequency_unit, elements);
  const std::unique_ptr<commands::RowSource> rows = commands::element_rows(call);
  const commands::LengthUnit unit = commands::parse_length_unit("units", length_unit);
  TableArrays arrays(rows->columns(), unit, elements);
  const commands::RowTally tally = run(
      *rows, [&arrays](const commands::RowBlock& block) { arrays.take(block); }, shape, progress);
  return arrays.result(note_of(tally, call, unit), mode_note_of(tally, unit),
                       failure_note_of(tally, unit), summary_of(call));
}

// (s[element, 4, 4], f_mhz[element], ref_ohm[element]): complex128 and
// float64 holding the rows' single-precision numbers exactly.
py::tuple scattering(const py::tuple& names, const py::tuple& values,
                     const std::string& length_unit, const std::string& frequency_unit,
                     const py::tuple& shape, const py::object& progress) {
  const std::int64_t elements = elements_of(shape);
  HeldValues held;
  const Call call(commands::Command::response, arguments_of(names, values, elements, held),
                  length_unit, frequency_unit, elements);
  py::array_t<std::complex<double>> s({elements, std::int64_t{4}, std::int64_t{4}});
  py::array_t<double> f_mhz(elements);
  py::array_t<double> ref_ohm(elements);
  std::complex<double>* matrices = s.mutable_data();
  double* frequencies = f_mhz.mutable_data();
  double* references = ref_ohm.mutable_data();
  const auto take = [&](const commands::RowBlock& block) {
    for (std::int64_t r = 0; r < block.count; ++r) {
      const std::span<const commands::Cell> cells = block.row(r);
      const auto i = static_cast<std::size_t>(block.first + r);
      for (std::size_t k = 0; k < 16; ++k) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-pointer-arithmetic)
        matrices[i * 16 + k] = {cells[2 * k].number, cells[2 * k + 1].number};
      }
      // NOLINTBEGIN(cppcoreguidelines-pro-bounds-pointer-arithmetic)
      frequencies[i] = cells[32].number;
      references[i] = cells[33].number;
      // NOLINTEND(cppcoreguidelines-pro-bounds-pointer-arithmetic)
    }
  };
  run(*commands::scattering_rows(call), take, shape, progress);
  return py::make_tuple(s, f_mhz, ref_ohm);
}

// ---- Multi-section couplers: one coupler per call ----

// The request of a call whose arguments are single values.
commands::MultisectionRequest multisection_request(const py::tuple& names, const py::tuple& values,
                                                   const std::string& length_unit,
                                                   const std::string& frequency_unit) {
  HeldValues held;
  const Call call(commands::Command::multisection, arguments_of(names, values, 1, held),
                  length_unit, frequency_unit, 1);
  commands::ElementValues element(call, 0);
  return commands::read_multisection(element);
}

py::dict profile_of(const MultisectionDesign& d) {
  py::dict p;
  p["sections"] = d.sections;
  p["coupling_db"] = d.coupling_db;
  p["profile"] = d.f2_mhz > d.f1_mhz ? "equal-ripple" : "maximally-flat";
  p["f0_mhz"] = d.f0_mhz;
  p["band_low_mhz"] = d.f1_mhz;
  p["band_high_mhz"] = d.f2_mhz;
  p["ripple_db"] = d.ripple_db;
  p["equal_ripple"] = d.equal_ripple;
  return p;
}

// The section table as table() gives its rows, the profile as its summary.
py::tuple multisection(const py::tuple& names, const py::tuple& values,
                       const std::string& length_unit, const std::string& frequency_unit) {
  const commands::Request request =
      multisection_request(names, values, length_unit, frequency_unit);
  const std::unique_ptr<commands::RowSource> rows = commands::multisection_rows(request);
  const commands::LengthUnit unit = commands::parse_length_unit("units", length_unit);
  TableArrays arrays(rows->columns(), unit, rows->rows());
  const commands::RowTally tally = run(
      *rows, [&arrays](const commands::RowBlock& block) { arrays.take(block); },
      py::make_tuple(rows->rows()), py::none());
  const auto& q = std::get<commands::MultisectionRequest>(request);
  // The model's error over every section, and the sections too weak to couple.
  std::string note;
  if (commands::solver_of(request) == Solver::model)
    note = commands::accuracy_note(tally.accuracy, *q.coupler, unit);
  const std::string weak = commands::weak_sections_note(request);
  return arrays.result(note.empty() ? py::none() : py::object(py::str(note)),
                       weak.empty() ? py::none() : py::object(py::str(weak)),
                       failure_note_of(tally, unit), profile_of(q.design));
}

// ---- Tolerance runs ----

// The request of a tolerance call, whose arguments are single values.
commands::ToleranceRequest tolerance_request(const py::tuple& names, const py::tuple& values,
                                             const std::string& length_unit,
                                             const std::string& frequency_unit) {
  HeldValues held;
  const Call call(commands::Command::tolerance, arguments_of(names, values, 1, held), length_unit,
                  frequency_unit, 1);
  commands::ElementValues element(call, 0);
  return commands::read_tolerance(element);
}

py::dict share_of(const YieldEstimate& y) {
  py::dict d;
  d["passed"] = y.passed;
  d["samples"] = y.samples;
  d["share"] = y.share;
  d["low"] = y.low;
  d["high"] = y.high;
  return d;
}

// The rows of a row source as table() gives rows.
py::tuple rows_result(const commands::RowSource& rows, commands::LengthUnit unit) {
  TableArrays arrays(rows.columns(), unit, rows.rows());
  commands::RowBlock block;
  block.width = rows.columns().size();
  block.count = 1;
  block.cells.resize(block.width);
  for (std::int64_t i = 0; i < rows.rows(); ++i) {
    block.first = i;
    rows.fill(i, block.cells, block.tally);
    arrays.take(block);
  }
  return arrays.result(py::none(), py::none(), py::none(), py::none());
}

// The attribution's rows, as table() gives rows.
py::tuple attribution_result(const commands::ToleranceRequest& q,
                             const commands::ToleranceOutcome& r, commands::LengthUnit unit) {
  const std::unique_ptr<commands::RowSource> rows = commands::tolerance_attribution_rows(q, r);
  return rows_result(*rows, unit);
}

// The statistics rows as table() gives rows, and the run's figures.
py::tuple statistics_result(const commands::ToleranceRequest& q,
                            const commands::ToleranceOutcome& r, commands::LengthUnit unit) {
  const std::unique_ptr<commands::RowSource> rows = commands::tolerance_statistics_rows(q, r);
  TableArrays arrays(rows->columns(), unit, rows->rows());
  commands::RowBlock block;
  block.width = rows->columns().size();
  block.count = 1;
  block.cells.resize(block.width);
  for (std::int64_t i = 0; i < rows->rows(); ++i) {
    block.first = i;
    rows->fill(i, block.cells, block.tally);
    arrays.take(block);
  }
  py::dict info;
  info["yield"] = share_of(r.yield);
  py::dict failed;
  for (std::size_t code = 1; code < r.by_status.size(); ++code) {
    failed[py::str(std::string(sample_status_name(static_cast<SampleStatus>(code))))] =
        r.by_status.at(code);
  }
  info["not_computed"] = failed;
  info["samples"] = q.samples;
  info["start"] = q.start;
  info["count"] = q.count;
  info["seed"] = q.design.seed;
  if (!r.attribution.empty()) info["attribution"] = attribution_result(q, r, unit);
  if (r.centring) info["centre"] = rows_result(*commands::tolerance_centre_rows(*r.centring), unit);
  if (!r.lot_yields.empty()) {
    info["lots"] = rows_result(*commands::tolerance_lot_rows(q, r), unit);
    info["lot_spread"] = rows_result(*commands::tolerance_lot_spread_rows(r), unit);
  }
  return py::make_tuple(arrays.result(py::none(), py::none(), py::none(), py::none()), info);
}

// With centre="on": the request's nominal centred (the search's samples
// computed without the interpreter's lock) and where it started.
std::optional<CentreResult> centred(commands::ToleranceRequest& q) {
  if (!q.centre) return std::nullopt;
  const py::gil_scoped_release unlocked;
  return commands::centre_request(q);
}

// (samples as table() gives rows, statistics, figures) of the samples
// start .. start + count - 1.
py::tuple tolerance(const py::tuple& names, const py::tuple& values, const std::string& length_unit,
                    const std::string& frequency_unit, const py::object& progress) {
  commands::ToleranceRequest q = tolerance_request(names, values, length_unit, frequency_unit);
  const std::optional<CentreResult> centring = centred(q);
  const std::unique_ptr<commands::RowSource> rows = commands::tolerance_sample_rows(q);
  const commands::LengthUnit unit = commands::parse_length_unit("units", length_unit);
  TableArrays samples(rows->columns().first(commands::tolerance_sample_width(q)), unit,
                      rows->rows());
  commands::ToleranceCollector collector(q);
  run(
      *rows,
      [&](const commands::RowBlock& block) {
        samples.take(block);
        collector.take(block);
      },
      py::make_tuple(rows->rows()), progress);
  commands::ToleranceOutcome r = collector.finish();
  r.centring = centring;
  return py::make_tuple(samples.result(py::none(), py::none(), py::none(), py::none()),
                        statistics_result(q, r, unit));
}

// The statistics of samples put together from slices: `outcomes` holds
// each outcome's values over the samples in order (NaN for a sample that
// was not computed), `passed` the samples meeting every limit, `by_status`
// the samples of each status.
py::tuple tolerance_statistics(const py::tuple& names, const py::tuple& values,
                               const std::string& length_unit, const std::string& frequency_unit,
                               const py::array_t<double, py::array::c_style>& outcomes,
                               std::int64_t passed, const py::dict& by_status) {
  commands::ToleranceRequest q = tolerance_request(names, values, length_unit, frequency_unit);
  // A centred run's samples were drawn about the centred design.
  const std::optional<CentreResult> centring = centred(q);
  const auto view = outcomes.unchecked<2>();
  std::vector<std::vector<float>> outcome_values(static_cast<std::size_t>(view.shape(0)));
  for (py::ssize_t i = 0; i < view.shape(0); ++i) {
    for (py::ssize_t k = 0; k < view.shape(1); ++k) {
      if (!std::isnan(view(i, k)))
        outcome_values[static_cast<std::size_t>(i)].push_back(static_cast<float>(view(i, k)));
    }
  }
  std::array<std::int64_t, 5> counts{};
  for (std::size_t code = 0; code < counts.size(); ++code) {
    const py::str name(std::string(sample_status_name(static_cast<SampleStatus>(code))));
    if (by_status.contains(name)) counts.at(code) = by_status[name].cast<std::int64_t>();
  }
  commands::ToleranceOutcome r = commands::tolerance_outcome(q, outcome_values, passed, counts);
  r.centring = centring;
  return statistics_result(q, r, commands::parse_length_unit("units", length_unit));
}

// (s[f, 4, 4], references[4]) of the whole coupler at each of f_mhz, its
// ports referenced to their terminations (Rs, Rl, Rl, Rs).
py::tuple multisection_scattering(const py::tuple& names, const py::tuple& values,
                                  const std::string& length_unit, const std::string& frequency_unit,
                                  const py::array_t<double>& f_mhz) {
  const commands::MultisectionRequest q =
      multisection_request(names, values, length_unit, frequency_unit);
  if (!q.coupler->built()) {
    throw py::value_error("a section could not be built: see the status of the section table");
  }
  const auto count = static_cast<std::int64_t>(f_mhz.size());
  const auto f = f_mhz.unchecked<1>();
  std::vector<float> at(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i)
    at[static_cast<std::size_t>(i)] = static_cast<float>(f(i));
  const std::vector<ScatteringMatrix> matrices =
      multisection_scattering_matrices(*q.coupler, at, q.terminations);
  py::array_t<std::complex<double>> s({count, std::int64_t{4}, std::int64_t{4}});
  auto out = s.mutable_unchecked<3>();
  for (std::int64_t i = 0; i < count; ++i) {
    const ScatteringMatrix& m = matrices[static_cast<std::size_t>(i)];
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) out(i, r, c) = std::complex<double>(m(r + 1, c + 1));
    }
  }
  const Terminations& t = q.terminations;
  return py::make_tuple(s, py::make_tuple(t.source, t.load, t.load, t.source));
}

// The band summary of the whole coupler's response at f_mhz (increasing),
// as the command line's JSON gives it, or None for a coupler that could
// not be built.
py::object multisection_summary(const py::tuple& names, const py::tuple& values,
                                const std::string& length_unit, const std::string& frequency_unit,
                                const py::array_t<double>& f_mhz) {
  const commands::MultisectionRequest q =
      multisection_request(names, values, length_unit, frequency_unit);
  const auto f = f_mhz.unchecked<1>();
  std::vector<float> at(static_cast<std::size_t>(f.shape(0)));
  for (std::size_t i = 0; i < at.size(); ++i)
    at[i] = static_cast<float>(f(static_cast<py::ssize_t>(i)));
  const std::optional<ProfileSummary> p = commands::multisection_summary(q, at);
  if (!p) return py::none();
  py::dict d = band_summary_dict(p->band);
  d["worst_isolation_db"] = p->band.worst_isolation_db;
  d["nominal_coupling_db"] = p->nominal_coupling_db;
  d["ideal_ripple_db"] = p->ideal_ripple_db;
  d["realised_ripple_db"] =
      p->realised_ripple_db ? py::object(py::float_(*p->realised_ripple_db)) : py::none();
  d["swept_in_band"] = p->swept_in_band;
  return d;
}

// The length unit named, in any letter case, if the tables can be written
// in it: its own spelling.
std::optional<std::string_view> output_length_unit(std::string_view name) {
  const std::string_view spelled = commands::unit_spelling(commands::Dimension::length, name);
  try {
    return commands::parse_length_unit("units", spelled).name;
  } catch (const commands::InputError&) {
    return std::nullopt;
  }
}

constexpr std::string_view kUnitsExpected =
    ": expected a length unit (in, mil, mm or um), a frequency unit (Hz, kHz, MHz or GHz), or "
    "one of each";

// The length and frequency units of a call from its units argument: one
// unit's name or a sequence of up to one length and one frequency unit,
// letter case ignored, each spelled as the texts spell it.
py::tuple call_units(const py::object& units) {
  if (units.is_none()) return py::make_tuple("in", "MHz");
  const std::string refused = "units=" + std::string(py::repr(units)) + std::string(kUnitsExpected);
  std::vector<py::object> given;
  if (py::isinstance<py::str>(units)) {
    given.push_back(units);
  } else if (py::isinstance<py::tuple>(units) || py::isinstance<py::list>(units)) {
    for (const py::handle u : units) given.push_back(py::reinterpret_borrow<py::object>(u));
  }
  if (given.empty() || given.size() > 2) throw py::value_error(refused);
  std::optional<std::string_view> length;
  std::optional<std::string_view> frequency;
  for (const py::object& u : given) {
    if (!py::isinstance<py::str>(u)) throw py::value_error(refused);
    const std::string_view name = utf8_of(u);
    const std::optional<std::string_view> length_unit = output_length_unit(name);
    const std::string_view frequency_unit =
        commands::unit_spelling(commands::Dimension::frequency, name);
    if (!length_unit && frequency_unit.empty()) {
      throw py::value_error("units=" + commands::quoted(name) + std::string(kUnitsExpected));
    }
    std::optional<std::string_view>& slot = length_unit ? length : frequency;
    if (slot) throw py::value_error(refused);
    slot = length_unit ? *length_unit : frequency_unit;
  }
  return py::make_tuple(length.value_or("in"), frequency.value_or("MHz"));
}

py::list command_names(commands::Commands commands) {
  py::list names;
  for (const commands::CommandSpec& c : commands::all_commands()) {
    if (commands.has(c.id)) names.append(py::str(std::string(c.name)));
  }
  return names;
}

// The option table as the package and its tests read it.
std::string kind_name(commands::ValueKind kind) {
  switch (kind) {
    case commands::ValueKind::quantity:
      return "quantity";
    case commands::ValueKind::choice:
      return "choice";
    case commands::ValueKind::resistivity:
      return "resistivity";
    case commands::ValueKind::file:
      return "file";
    case commands::ValueKind::items:
      return "items";
    case commands::ValueKind::whole:
      return "whole";
    case commands::ValueKind::layers:
      return "layers";
  }
  return "quantity";
}

py::list option_table() {
  py::list table;
  for (const commands::OptionSpec& o : commands::options()) {
    if (o.reach == commands::Reach::output) continue;
    py::dict d;
    d["name"] = std::string(o.name);
    d["kind"] = kind_name(o.kind);
    d["keyword"] = python_keyword(o.name);
    d["dimension"] = o.quantity == nullptr
                         ? std::string()
                         : std::string(commands::base_unit(o.quantity->dimension));
    d["default"] = std::string(o.fallback);
    d["choices"] = std::string(o.choices);
    d["touchstone"] = o.reach == commands::Reach::touchstone;
    d["artwork"] = o.reach == commands::Reach::artwork;
    d["required"] = command_names(o.required);
    d["optional"] = command_names(o.optional);
    d["alternative"] = command_names(o.alternative);
    py::dict help;
    for (const commands::CommandSpec& c : commands::all_commands()) {
      if (o.taken_by(c.id)) help[py::str(std::string(c.name))] = commands::help_text(o, c.id);
    }
    d["help"] = help;
    table.append(d);
  }
  return table;
}

// ---- Artwork: one coupler per call ----

// Each copper layer's outlines by its name: N x 2 arrays in the call's
// length unit, counter-clockwise.
py::dict outlines_of(const commands::CouplerArtwork& a, commands::LengthUnit unit) {
  py::dict layers;
  for (std::size_t l = 0; l < a.artwork.layers.size(); ++l) {
    py::list outlines;
    for (const ketrovane::layout::Outline& o : a.artwork.layers[l].outlines) {
      py::array_t<double> points({static_cast<py::ssize_t>(o.size()), py::ssize_t{2}});
      auto view = points.mutable_unchecked<2>();
      for (std::size_t i = 0; i < o.size(); ++i) {
        const auto r = static_cast<py::ssize_t>(i);
        view(r, 0) = o[i].x * unit.per_inch;
        view(r, 1) = o[i].y * unit.per_inch;
      }
      outlines.append(points);
    }
    layers[py::str(a.layer_names.at(l))] = outlines;
  }
  return layers;
}

py::list pads_of(const commands::CouplerArtwork& a, commands::LengthUnit unit) {
  py::list pads;
  for (const ketrovane::layout::Pad& p : a.artwork.pads) {
    py::dict d;
    d["number"] = p.number;
    d["role"] = std::string(commands::role_name(p.role));
    d["layer"] = a.layer_names.at(static_cast<std::size_t>(p.layer));
    d["centre"] = py::make_tuple(p.centre.x * unit.per_inch, p.centre.y * unit.per_inch);
    d["size"] = py::make_tuple(p.size_x * unit.per_inch, p.size_y * unit.per_inch);
    pads.append(d);
  }
  return pads;
}

// With compensate="on": the coupled length of the legs at each end (-x,
// +x) and its quadrature error, each section's length as designed, as
// drawn and what was taken off, in the call's length unit; else None.
py::object compensation_of(const commands::CouplerArtwork& a, commands::LengthUnit unit) {
  if (!a.plan.compensation) return py::none();
  const auto& c = *a.plan.compensation;
  const auto in_unit = [&](const std::vector<double>& lengths) {
    py::list out;
    for (const double l : lengths) out.append(l * unit.per_inch);
    return out;
  };
  std::vector<double> taken_off;
  for (std::size_t i = 0; i < c.drawn.size(); ++i) taken_off.push_back(c.designed[i] - c.drawn[i]);
  py::dict d;
  d["junction_length"] =
      py::make_tuple(*c.ends[0].length * unit.per_inch, *c.ends[1].length * unit.per_inch);
  d["error"] = py::make_tuple(c.ends[0].error * unit.per_inch, c.ends[1].error * unit.per_inch);
  d["designed"] = in_unit(c.designed);
  d["drawn"] = in_unit(c.drawn);
  d["compensation"] = in_unit(taken_off);
  return d;
}

// The files of `file` by its extension: (path, text, None), or for a
// picture (path, None, the gnuplot script that draws it).
py::list files_of(const commands::CouplerArtwork& a, const std::string& file) {
  py::list files;
  for (const commands::ArtworkFile& f : commands::artwork_files(a, file)) {
    if (f.picture) {
      files.append(
          py::make_tuple(f.path, py::none(),
                         commands::artwork_picture(a, commands::artwork_terminal(f.path), f.path)));
    } else {
      files.append(py::make_tuple(f.path, f.text, py::none()));
    }
  }
  return files;
}

// The files of the full-wave model in `directory`: (path, text, None).
py::list fullwave_files_of(const commands::CouplerArtwork& a, const std::string& directory) {
  py::list files;
  for (const commands::ArtworkFile& f : commands::fullwave_files(a, directory)) {
    files.append(py::make_tuple(f.path, f.text, py::none()));
  }
  return files;
}

// The ports' table as table() gives its rows, the outlines, the pads, the
// files of `file` (None: none), those of the full-wave model in
// `fullwave` (None: none), the notes on the lead-outs and the model, and
// what the compensation took off (None without it).
py::tuple layout(const py::tuple& names, const py::tuple& values, const std::string& length_unit,
                 const std::string& frequency_unit, const py::object& file,
                 const py::object& fullwave) {
  HeldValues held;
  const Call call(commands::Command::layout, arguments_of(names, values, 1, held), length_unit,
                  frequency_unit, 1);
  commands::ElementValues element(call, 0);
  commands::Request request = commands::read_layout(element);
  const std::optional<std::string> path =
      file.is_none() ? std::nullopt : std::optional<std::string>(py::cast<std::string>(file));
  if (path) commands::check_artwork_name(*path);
  const commands::LengthUnit unit = commands::parse_length_unit("units", length_unit);
  const std::shared_ptr<const commands::CouplerArtwork> artwork =
      commands::coupler_artwork(request, element, unit);
  std::get<commands::LayoutRequest>(request).artwork = artwork;
  const std::unique_ptr<commands::RowSource> rows = commands::layout_rows(request);
  TableArrays arrays(rows->columns(), unit, rows->rows());
  run(
      *rows, [&arrays](const commands::RowBlock& block) { arrays.take(block); },
      py::make_tuple(rows->rows()), py::none());
  py::object model = py::none();
  std::string note = commands::lead_out_note(*artwork);
  if (!fullwave.is_none()) {
    const auto directory = py::cast<std::string>(fullwave);
    model = fullwave_files_of(*artwork, directory);
    note += "\n" + commands::fullwave_note(directory);
  }
  return py::make_tuple(arrays.result(py::none(), py::none(), py::none(), py::none()),
                        outlines_of(*artwork, unit), pads_of(*artwork, unit),
                        path ? py::object(files_of(*artwork, *path)) : py::none(), model, note,
                        compensation_of(*artwork, unit));
}

}  // namespace

namespace {

// The figures of one coupler, by name.
py::dict figures_dict(const commands::FigureValues& values) {
  py::dict d;
  for (std::size_t i = 0; i < values.size(); ++i) {
    d[py::str(std::string(commands::kLaidOutFigures.at(i).name))] = values.at(i);
  }
  return d;
}

py::dict status_dict(commands::Mesh mesh, const commands::ModelStatus& s) {
  py::dict d;
  d["mesh"] = std::string(commands::mesh_name(mesh));
  d["status"] = s.status;
  d["energy_decay_db"] = s.energy_decay_db;
  d["cells"] = s.cells;
  d["timesteps"] = s.timesteps;
  d["excitations"] = s.excitations;
  d["seconds"] = s.seconds;
  return d;
}

// The matrices of a sweep as a complex array [frequency, row, column].
py::array_t<std::complex<double>> matrices(const MeasuredSweep& sweep) {
  const auto n = static_cast<py::ssize_t>(sweep.f_mhz.size());
  py::array_t<std::complex<double>> a({n, py::ssize_t{4}, py::ssize_t{4}});
  auto m = a.mutable_unchecked<3>();
  for (py::ssize_t k = 0; k < n; ++k) {
    for (int i = 1; i <= kScatteringPorts; ++i) {
      for (int j = 1; j <= kScatteringPorts; ++j) {
        m(k, i - 1, j - 1) = std::complex<double>(sweep.s.at(static_cast<std::size_t>(k))(i, j));
      }
    }
  }
  return a;
}

// One mesh's run, the GIL released; a signal's exception (KeyboardInterrupt)
// stops it, and goes on once its partial results are gone.
commands::ModelResult run_mesh(const commands::ModelRequest& m, commands::Mesh mesh) {
  const py::gil_scoped_release release;
  return commands::run_model({m.directory, mesh, m.threads}, commands::kDebianPython,
                             {.line =
                                  [](std::string_view line) {
                                    if (line.starts_with("stage: ")) {
                                      std::fprintf(stderr, "ketrovane: %.*s\n",
                                                   static_cast<int>(line.size()), line.data());
                                    }
                                  },
                              .should_stop =
                                  [] {
                                    const py::gil_scoped_acquire acquire;
                                    return PyErr_CheckSignals() != 0;
                                  }});
}

// A mesh's run that gave a result, or the exception its outcome raises.
commands::ModelResult result_of_mesh(const commands::ModelRequest& m, commands::Mesh mesh) {
  commands::ModelResult r = run_mesh(m, mesh);
  if (r.outcome == commands::ModelOutcome::interrupted) throw py::error_already_set();
  if (r.outcome == commands::ModelOutcome::openems_missing) throw py::import_error(r.message);
  if (r.outcome != commands::ModelOutcome::result) throw std::runtime_error(r.message);
  return r;
}

}  // namespace

// run="on": the --fullwave model run for a response call over increasing
// frequencies, and the coupler as laid out beside the ideal section.
// The model of the coupler written into `directory` before it runs, as
// the command line writes it; a coupler.py there changed by hand is kept
// (true when it is).
// Whether a coupler.py changed by hand was kept; the artwork written.
struct WrittenModel {
  bool kept = false;
  std::shared_ptr<const commands::CouplerArtwork> artwork;
};

WrittenModel write_model_of(const commands::Request& request, commands::OptionValues& values,
                            const std::string& length_unit,
                            const std::filesystem::path& directory) {
  const commands::LengthUnit unit = commands::parse_length_unit("units", length_unit);
  const std::shared_ptr<const commands::CouplerArtwork> artwork =
      commands::coupler_artwork(request, values, unit);
  std::filesystem::create_directories(directory);
  bool kept = false;
  for (const commands::ArtworkFile& f : commands::fullwave_files(*artwork, directory.string())) {
    if (std::ifstream in(f.path, std::ios::binary); in && f.path.ends_with(".py")) {
      std::ostringstream text;
      text << in.rdbuf();
      if (commands::script_changed_by_hand(text.str())) {
        kept = true;
        continue;
      }
    }
    std::ofstream out(f.path, std::ios::binary | std::ios::trunc);
    out << f.text;
    if (!out.flush()) throw std::runtime_error("cannot write " + f.path);
  }
  return {kept, artwork};
}

py::dict fullwave(const py::tuple& names, const py::tuple& values, const std::string& length_unit,
                  const std::string& frequency_unit, const py::tuple& shape) {
  const std::int64_t elements = elements_of(shape);
  HeldValues held;
  const Call call(commands::Command::response, arguments_of(names, values, elements, held),
                  length_unit, frequency_unit, elements);
  commands::ElementValues first(call, 0);
  const commands::ResponseRequest q = commands::read_response(first);
  std::vector<float> f(static_cast<std::size_t>(elements));
  for (std::int64_t i = 0; i < elements; ++i) {
    commands::ElementValues element(call, i);
    f[static_cast<std::size_t>(i)] = element.number(commands::Opt::f);
    if (i > 0 && !(f[static_cast<std::size_t>(i)] > f[static_cast<std::size_t>(i - 1)])) {
      throw py::value_error("f=: run=\"on\" compares over frequencies in increasing order");
    }
  }
  const commands::ModelRequest m = commands::model_request(first);
  const WrittenModel written =
      write_model_of(commands::Request(q), first, length_unit, m.directory);
  const bool measured = first.choice(commands::Opt::compensate) == "measured";
  if (measured && written.kept) {
    throw py::value_error("compensate=\"measured\" redraws the model for each run, and " +
                          (m.directory / "coupler.py").string() + " was changed by hand");
  }
  const commands::Redraw redraw = [&](double length) {
    commands::ResponseRequest at = q;
    at.length_inch = static_cast<float>(length);
    write_model_of(commands::Request(at), first, length_unit, m.directory);
  };
  const commands::ComparisonRuns ran = commands::run_for_comparison(
      m, q, f, commands::drawn_section_inch(*written.artwork, q.length_inch),
      [&](commands::Mesh mesh) { return result_of_mesh(m, mesh); },
      measured ? redraw : commands::Redraw{});
  const commands::LaidOutComparison c = commands::compare_laid_out(
      q, f, ran.drawn_inch, ran.last, ran.coarse ? &*ran.coarse : nullptr);
  const double per_inch = commands::parse_length_unit("units", length_unit).per_inch;
  py::list runs;
  for (const auto& [mesh, status] : ran.reported) runs.append(status_dict(mesh, status));
  py::object search = py::none();
  if (measured) {
    py::list trials;
    for (const commands::PeakTrial& t : ran.trials) {
      py::dict trial;
      trial["drawn"] = t.drawn_inch * per_inch;
      trial["peak_mhz"] = t.peak_mhz;
      trials.append(trial);
    }
    search = trials;
  }
  py::dict units;
  for (const commands::FigureName& n : commands::kLaidOutFigures) {
    units[py::str(std::string(n.name))] = std::string(n.unit);
  }
  py::dict d;
  d["script_kept"] = written.kept;
  d["runs"] = runs;
  d["units"] = units;
  d["ideal"] = figures_dict(c.ideal);
  d["laid_out"] = figures_dict(c.laid_out);
  d["mesh_change"] = c.mesh_change ? py::object(figures_dict(*c.mesh_change)) : py::none();
  d["search"] = search;
  d["section_for_peak_at_f0"] =
      c.shift ? py::object(py::float_(c.shift->for_peak_at_f0_inch * per_inch)) : py::none();
  d["f_mhz"] =
      py::array_t<float>(static_cast<py::ssize_t>(ran.last.f_mhz.size()), ran.last.f_mhz.data());
  d["s"] = matrices(ran.last);
  d["s_ideal"] = matrices(c.ideal_sweep);
  return d;
}

}  // namespace ketrovane::python

PYBIND11_MODULE(_core, m) {
  namespace kp = ketrovane::python;
  m.doc() = "The compiled rows of the ketrovane package; use the package's functions.";
  // pybind11's translators take the pointer by value.
  // NOLINTNEXTLINE(performance-unnecessary-value-param)
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const ketrovane::commands::InputError& e) {
      PyErr_SetString(PyExc_ValueError, kp::keyword_message(e.refusal()).c_str());
    }
  });
  m.def("table", &kp::table,
        "(command, names, values, length_unit, frequency_unit, shape, progress)");
  m.def("scattering", &kp::scattering,
        "(names, values, length_unit, frequency_unit, shape, progress)");
  m.def("multisection", &kp::multisection, "(names, values, length_unit, frequency_unit)");
  m.def("multisection_summary", &kp::multisection_summary,
        "(names, values, length_unit, frequency_unit, f_mhz) -> dict or None");
  m.def("multisection_scattering", &kp::multisection_scattering,
        "(names, values, length_unit, frequency_unit, f_mhz)");
  m.def("tolerance", &kp::tolerance, "(names, values, length_unit, frequency_unit, progress)");
  m.def("tolerance_statistics", &kp::tolerance_statistics,
        "(names, values, length_unit, frequency_unit, outcomes, passed, by_status)");
  m.def("layout", &kp::layout, "(names, values, length_unit, frequency_unit, file, fullwave)");
  m.def("script_changed_by_hand", &ketrovane::commands::script_changed_by_hand,
        "(text) -> whether a full-wave model's coupler.py was changed by hand");
  m.def("fullwave", &kp::fullwave, "(names, values, length_unit, frequency_unit, shape) -> dict");
  m.def("call_units", &kp::call_units, "(units) -> (length_unit, frequency_unit)");
  m.def("option_table", &kp::option_table, "the options of the package's functions");
  m.attr("MOST_ROWS") = ketrovane::commands::kMostRows;
  m.attr("__version__") = KETROVANE_VERSION;
}
