// ketrovane._core: the compiled half of the Python package.  It turns the
// package's arguments into a Call, runs the rows in C++ with the GIL
// released for long calls, and hands back numpy arrays.  Every check and
// message is the batch library's; a refused value becomes ValueError.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/columns.hpp"
#include "batch/input_error.hpp"
#include "batch/quantities.hpp"
#include "batch/rows.hpp"
#include "batch/solver.hpp"
#include "batch/sweep_axis.hpp"
#include "python/element_rows.hpp"

namespace py = pybind11;

namespace ketrovane::python {

namespace {

// A call of up to this many rows keeps the GIL and one thread.
constexpr std::int64_t kRowsWithoutThreads = 1024;

batch::Command command_named(std::string_view name) {
  for (const batch::CommandEntry& entry : batch::command_entries()) {
    if (entry.name == name) return entry.command;
  }
  throw py::value_error("no command " + std::string(name));
}

std::string option_of(std::string_view name) {
  return "--" + std::string(name);
}

// One argument: a str is a text, a float or int one number, a
// one-dimensional float64 array one number or one per element.  `scalars`
// holds the single numbers the arguments point at.
Argument argument_of(const py::handle name, const py::handle value, std::int64_t elements,
                     std::vector<double>& scalars) {
  Argument a;
  a.name = PyUnicode_AsUTF8(name.ptr());
  if (a.name.data() == nullptr) throw py::error_already_set();
  if (PyUnicode_Check(value.ptr()) != 0) {
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
    if (text == nullptr) throw py::error_already_set();
    a.text = std::string_view(text, static_cast<std::size_t>(size));
  } else if (PyFloat_Check(value.ptr()) != 0 || PyLong_Check(value.ptr()) != 0) {
    double number = PyFloat_Check(value.ptr()) != 0 ? PyFloat_AS_DOUBLE(value.ptr())
                                                    : PyLong_AsDouble(value.ptr());
    if (number == -1.0 && PyErr_Occurred() != nullptr) {
      // An integer beyond any double, read as the command line reads 1e999.
      PyErr_Clear();
      number = py::reinterpret_borrow<py::int_>(value) < py::int_(0) ? -HUGE_VAL : HUGE_VAL;
    }
    scalars.push_back(number);
    a.numbers = &scalars.back();
  } else if (py::isinstance<py::array_t<double>>(value)) {
    const auto array = py::reinterpret_borrow<py::array_t<double>>(value);
    if (array.ndim() != 1 || (array.size() != 1 && array.size() != elements) ||
        (array.flags() & py::array::c_style) == 0) {
      throw py::value_error(option_of(a.name) + ": expected a flat array of one value or " +
                            std::to_string(elements));
    }
    a.numbers = array.data();
    a.per_element = array.size() != 1;
  } else {
    throw py::type_error(option_of(a.name) + ": expected a number, an array or a text, not " +
                         std::string(py::str(py::type::of(value).attr("__name__"))));
  }
  return a;
}

// The call: its arguments (None is an option not given), then the units of
// its numbers and the solver.
Call call_of(const py::tuple& names, const py::tuple& values, std::int64_t elements,
             std::vector<double>& scalars, const std::string& length_unit,
             const std::string& frequency_unit, const std::string& solver) {
  if (names.size() != values.size()) throw py::value_error("names and values differ in number");
  Call call;
  call.elements = elements;
  scalars.reserve(values.size());  // the arguments point into it
  for (std::size_t k = 0; k < values.size(); ++k) {
    const py::handle value = values[k];  // the tuple holds it
    if (value.is_none()) continue;
    call.arguments.push_back(argument_of(names[k], value, elements, scalars));
  }
  call.length_unit = batch::parse_length_unit("units", length_unit);
  call.frequency_unit = frequency_unit;
  call.solver = batch::solver_choice(solver);
  return call;
}

std::int64_t elements_of(const py::tuple& shape) {
  std::int64_t n = 1;
  for (const py::handle extent : shape) {
    const auto e = extent.cast<std::int64_t>();
    if (e < 0) throw py::value_error("negative extent in the shape");
    if (e != 0 && n > batch::kMostRows / e) {
      throw py::value_error("the arguments give more than " + std::to_string(batch::kMostRows) +
                            " rows together");
    }
    n *= e;
  }
  return n;
}

// The message of a refused element, with the element's index in the
// broadcast shape unless the call was made with scalars.
std::string element_message(const ElementError& e, const py::tuple& shape) {
  if (shape.empty()) return e.message;
  std::vector<std::int64_t> index(shape.size());
  std::int64_t rest = e.index;
  for (std::size_t k = shape.size(); k-- > 0;) {
    const auto extent = shape[k].cast<std::int64_t>();
    index[k] = rest % extent;
    rest /= extent;
  }
  std::string text;
  for (const std::int64_t i : index) text += (text.empty() ? "" : ", ") + std::to_string(i);
  return e.message + " (at index " + (index.size() == 1 ? text : "(" + text + ")") + ")";
}

// Runs the rows, with the GIL released and Ctrl-C heard for long calls.
template <typename Rows>
std::optional<ElementError> run(std::int64_t elements, const Rows& rows) {
  if (elements <= kRowsWithoutThreads) return rows([] { return false; });
  try {
    const py::gil_scoped_release release;
    return rows([] {
      const py::gil_scoped_acquire acquire;
      return PyErr_CheckSignals() != 0;
    });
  } catch (const Interrupted&) {
    throw py::error_already_set();  // the signal handler's exception, KeyboardInterrupt
  }
}

// Column names and units for a command and a length unit, made once.
std::pair<py::tuple, py::tuple> column_names(batch::Command command, batch::LengthUnit unit,
                                             batch::SolverChoice solver) {
  // Never destroyed: the tuples outlive the interpreter's own teardown.
  static auto* made =
      new std::map<std::tuple<int, std::string_view, int>, std::pair<py::tuple, py::tuple>>;
  const auto key = std::make_tuple(static_cast<int>(command), unit.name, static_cast<int>(solver));
  if (const auto it = made->find(key); it != made->end()) return it->second;
  const std::span<const batch::Column> columns = batch::command_columns(command, solver);
  py::tuple names(columns.size());
  py::tuple units(columns.size());
  for (std::size_t c = 0; c < columns.size(); ++c) {
    names[c] = py::str(batch::column_name(columns[c], unit));
    units[c] = py::str(batch::column_unit(columns[c], unit));
  }
  return made->emplace(key, std::make_pair(names, units)).first->second;
}

// (columns, units, numbers[column, element], codes or None, texts, text column or -1)
py::tuple table(const std::string& command_name, const py::tuple& names, const py::tuple& values,
                const std::string& length_unit, const std::string& frequency_unit,
                const std::string& solver, const py::tuple& shape) {
  const batch::Command command = command_named(command_name);
  const std::int64_t elements = elements_of(shape);
  std::vector<double> scalars;
  const Call call = call_of(names, values, elements, scalars, length_unit, frequency_unit, solver);

  const auto [columns, units] = column_names(command, call.length_unit, call.solver);
  py::array_t<float> numbers({static_cast<std::int64_t>(columns.size()), elements});
  std::vector<std::uint8_t> codes(static_cast<std::size_t>(elements));
  TableOutput out{{numbers.mutable_data(), static_cast<std::size_t>(numbers.size())}, codes, {}};
  const std::optional<ElementError> error = run(elements, [&](const auto& interrupted) {
    return table_rows(command, call, out, interrupted);
  });
  if (error) throw py::value_error(element_message(*error, shape));

  py::object code_array = py::none();
  py::tuple texts(out.texts.size());
  if (!out.texts.empty()) {
    py::array_t<std::uint8_t> a(elements);
    std::memcpy(a.mutable_data(), codes.data(), codes.size());
    code_array = a;
    for (std::size_t k = 0; k < out.texts.size(); ++k)
      texts[k] = py::str(std::string(out.texts[k]));
  }
  return py::make_tuple(columns, units, numbers, code_array, texts, out.text_column);
}

// (s[element, 4, 4] complex64, f_mhz[element], ref_ohm[element] float32)
py::tuple scattering(const py::tuple& names, const py::tuple& values,
                     const std::string& length_unit, const std::string& frequency_unit,
                     const std::string& solver, const py::tuple& shape) {
  const std::int64_t elements = elements_of(shape);
  std::vector<double> scalars;
  const Call call = call_of(names, values, elements, scalars, length_unit, frequency_unit, solver);

  py::array_t<std::complex<float>> s({elements, std::int64_t{4}, std::int64_t{4}});
  py::array_t<float> f_mhz(elements);
  py::array_t<float> ref_ohm(elements);
  const auto n = static_cast<std::size_t>(elements);
  const ScatteringOutput out{{s.mutable_data(), static_cast<std::size_t>(s.size())},
                             {f_mhz.mutable_data(), n},
                             {ref_ohm.mutable_data(), n}};
  const std::optional<ElementError> error = run(
      elements, [&](const auto& interrupted) { return scattering_rows(call, out, interrupted); });
  if (error) throw py::value_error(element_message(*error, shape));
  return py::make_tuple(s, f_mhz, ref_ohm);
}

// The unit named, if the tables can be written in it.
std::optional<batch::LengthUnit> output_length_unit(const std::string& name) {
  try {
    return batch::parse_length_unit("units", name);
  } catch (const batch::InputError&) {
    return std::nullopt;
  }
}

// The length and frequency units of a call from its units argument: one
// unit's name or a sequence of up to one length and one frequency unit.
py::tuple call_units(const py::object& units) {
  if (units.is_none()) return py::make_tuple("in", "MHz");
  const std::string expected =
      ": expected a length unit (in, mil, mm or um), a frequency unit (Hz, kHz, MHz or GHz), or "
      "one of each";
  std::string refused = "units ";
  refused += py::repr(units);
  refused += expected;
  std::vector<py::object> given;
  if (py::isinstance<py::str>(units)) {
    given.push_back(units);
  } else if (py::isinstance<py::tuple>(units) || py::isinstance<py::list>(units)) {
    for (const py::handle u : units) given.push_back(py::reinterpret_borrow<py::object>(u));
  }
  if (given.empty() || given.size() > 2) throw py::value_error(refused);
  std::optional<std::string> length;
  std::optional<std::string> frequency;
  for (const py::object& u : given) {
    if (!py::isinstance<py::str>(u)) throw py::value_error(refused);
    const auto name = u.cast<std::string>();
    const std::optional<batch::LengthUnit> unit = output_length_unit(name);
    if (!unit && !batch::is_unit_of(batch::Dimension::frequency, name)) {
      throw py::value_error("units " + batch::quoted(name) + expected);
    }
    std::optional<std::string>& slot = unit ? length : frequency;
    if (slot) throw py::value_error(refused);
    slot = unit ? std::string(unit->name) : name;
  }
  return py::make_tuple(length.value_or("in"), frequency.value_or("MHz"));
}

}  // namespace

}  // namespace ketrovane::python

PYBIND11_MODULE(_core, m) {
  namespace kp = ketrovane::python;
  m.doc() = "The compiled rows of the ketrovane package; use the package's functions.";
  // pybind11's translators take the pointer by value.
  // NOLINTNEXTLINE(performance-unnecessary-value-param)
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const ketrovane::batch::InputError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });
  m.def("table", &kp::table,
        "(command, names, values, length_unit, frequency_unit, solver, shape)");
  m.def("scattering", &kp::scattering,
        "(names, values, length_unit, frequency_unit, solver, shape)");
  m.def("call_units", &kp::call_units, "(units) -> (length_unit, frequency_unit)");
  m.attr("MOST_ROWS") = ketrovane::batch::kMostRows;
  m.attr("__version__") = KETROVANE_VERSION;
}
