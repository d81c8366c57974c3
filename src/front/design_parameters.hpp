// The design parameter set: the one record of selections, working values,
// defaults, storage file name and date and time that the dialogue fills and
// the runs read and overwrite.  One instance lives for the whole run of the
// program and is passed by reference.
#pragma once

#include <cstdint>
#include <string>

namespace ketrovane {

// Defaults of the prompts, read once from the default-value file.
struct Defaults {
  float bdef = 0;        // ground-plane spacing, inch
  float erdef = 0;       // dielectric constant
  float tlosdef = 0;     // dielectric loss tangent
  float fmaxdef = 0;     // analysis stop frequency, MHz
  float fmindef = 0;     // analysis start frequency, MHz
  float fstepdef = 0;    // analysis frequency step, MHz
  float fodef = 0;       // design centre frequency, MHz
  float kodef = 0;       // midband coupling, dB (negative)
  float cstrongdef = 0;  // strongest coupling level, dB (magnitude)
  float cweakdef = 0;    // weakest coupling level, dB (magnitude)
  float cstepdef = 0;    // coupling level step, dB (magnitude)
  float ldef = 0;        // coupler length, inch
  float res1def = 0;     // conductor resistivity, micro-ohm-cm
  float sr1def = 0;      // RMS surface roughness, micro-inch
  float rldef = 0;       // load termination, ohm
  float rsdef = 0;       // source termination, ohm
  float sdef = 0;        // strip spacing, inch
  float smaxdef = 0;     // largest spacing of a range, inch
  float smindef = 0;     // smallest spacing of a range, inch
  float sstepdef = 0;    // spacing step, inch
  float tdef = 0;        // strip thickness, inch
  float wdef = 0;        // strip width, inch
  float wmaxdef = 0;     // largest width of a range, inch
  float wmindef = 0;     // smallest width of a range, inch
  float wstepdef = 0;    // width step, inch
  float zodef = 0;       // coupler impedance, ohm
  float zoedef = 0;      // even-mode impedance, ohm
  float zoemaxdef = 0;   // largest Zoe of a synthesis range, ohm
  float zoemindef = 0;   // smallest Zoe of a synthesis range, ohm
  float zoestepdef = 0;  // Zoe step, ohm
  float zoodef = 0;      // odd-mode impedance, ohm
};

// Local date and time of the run, taken once.
struct DateTime {
  int imon = 0;
  int iday = 0;
  int iyr = 0;
  int ihr = 0;
  int imin = 0;
  int isec = 0;
};

// Program function, options and storage choices.
inline constexpr int kSynthesis = 2;
inline constexpr int kFrequencyAnalysis = 2;
inline constexpr int kSensitivityAnalysis = 3;
inline constexpr int kStore = 1;
inline constexpr int kDiagnosticMode = -473;

// Operation selector values.
inline constexpr int kFirstDesign = 0;
inline constexpr int kNewOption = 1;
inline constexpr int kNewCoupler = 2;
inline constexpr int kExit = 3;
inline constexpr int kDefaultFileRejected = -1;

inline constexpr std::size_t kFileNameLength = 20;

struct DesignParameters {
  std::string fn = std::string(kFileNameLength, ' ');  // storage file name

  // Selections and control.
  int istep = 0;   // step count of the current range (istep+1 points)
  int ifunc = 0;   // 1 analysis, 2 synthesis
  int il = 0;      // length mode: 1 entered, 2 computed from Fo
  int iop = 0;     // analysis option: 1 impedance, 2 frequency, 3 sensitivity
  int iop1 = 0;    // impedance range: 1 widths, 2 spacings
  int iop2 = 0;    // frequency basis: 1 Zo and coupling, 2 dimensions
  int iop3a = 0;   // sensitivity mode: 1 even, 2 odd, 3 both
  int iop3b = 0;   // sensitivity range: 1 widths, 2 spacings
  int iops = 0;    // synthesis: 1 coupling levels, 2 even-mode impedances
  int isel = 0;    // operation selector
  int istore = 0;  // 0 none, 1 store, -473 diagnostic mode
  int iprint = 0;  // frequency report format

  // Working values of the current design.
  float b = 0;      // ground-plane spacing, inch
  float er = 0;     // dielectric constant
  float fmin = 0;   // analysis start frequency, MHz
  float fstep = 0;  // analysis frequency step, MHz
  float l = 0;      // coupler length, inch
  float res = 0;    // resistivity, ohm-inch
  float res1 = 0;   // resistivity, micro-ohm-cm
  float rl = 0;     // load termination, ohm
  float ko = 0;     // midband coupling, dB (negative)
  float rs = 0;     // source termination, ohm
  float sr = 0;     // RMS surface roughness, inch
  float sr1 = 0;    // RMS surface roughness, micro-inch
  float smin = 0;   // spacing range, inch
  float smax = 0;
  float sstep = 0;
  float t = 0;     // strip thickness, inch
  float tlos = 0;  // dielectric loss tangent
  float wmin = 0;  // width range, inch
  float wmax = 0;
  float wstep = 0;
  float ate = 0;      // even-mode attenuation, dB per inch
  float ato = 0;      // odd-mode attenuation, dB per inch
  float s = 0;        // strip spacing, inch
  float w = 0;        // strip width, inch
  float zo = 0;       // coupler impedance, ohm
  float zoe = 0;      // even-mode impedance, ohm
  float zoo = 0;      // odd-mode impedance, ohm
  float cstrong = 0;  // synthesis coupling range, dB (magnitudes)
  float cweak = 0;
  float cstep = 0;
  float zoemax = 0;  // synthesis even-mode impedance range, ohm
  float zoemin = 0;
  float zoestep = 0;
  float fo = 0;  // design centre frequency, MHz

  Defaults def;
  DateTime datetime;
};

}  // namespace ketrovane
