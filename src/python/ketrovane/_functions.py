# The package's functions, one per command, with the command's options as
# keywords.  Written from the option table by the target python_functions
# (cmake --build build --target python_functions); a test fails when this
# file has drifted from the table.  Edit the table, not this file.
"""The functions of the ketrovane package, one per batch command."""

from . import _given, _layout, _multisection, _network, _scattering, _table, _tolerance


_ANALYSE = ("b", "t", "er", "layers", "strips-on", "core", "w", "s", "geometry", "h", "sv", "wo",
            "rho", "roughness", "tand", "f", "solver")


def analyse(b, t, er, w, s=None, *, layers=None, strips_on=None, core=None, geometry="edge",
            h=None, sv=None, wo="0in", rho="copper", roughness="5uin", tand=0.0009, f="1000MHz",
            solver="model", units=None, progress=None):
    """Zo, Zoe, Zoo, coupling and mode losses for each strip width and spacing.

    Lengths are in the length unit of units (inches by default) and frequencies in its frequency
    unit (MHz), unless given as a text with its own unit.

    b: ground-plane spacing B: a number in the call's length unit or a text with its own (in, mil,
        uin, mm or um), or an array of them; above 0, up to 1000 in; required
    t: strip thickness T, at most 0.8 B: a number in the call's length unit or a text with its own
        (in, mil, uin, mm or um, or oz of copper, 1 oz = 1.37 mil), or an array of them; from 0 to
        1000 in; required
    er: relative permittivity Er of the dielectric: a number, or an array of them; from 1 to 1000;
        required
    layers: the dielectric layers between the planes, bottom to top, instead of b and er: each
        one's thickness, Er and loss tangent (else tand), or a file of them, one a line
        (solver="field"): a list of (thickness, er) or (thickness, er, loss tangent), each
        thickness a number in the call's length unit or a text with its own, or a file's name after
        @
    strips_on: with layers, strips side by side: on the upper face of layer N, the copper growing
        into layer N+1: a whole number; from 1 to 16
    core: with layers, strips one above the other: on both faces of layer N, whose thickness is SV:
        a whole number; from 1 to 16
    w: strip width W: a number in the call's length unit or a text with its own (in, mil, uin, mm
        or um), or an array of them; above 0, up to 1000 in; required
    s: edge-to-edge strip spacing S (edge, edge-offset): a number in the call's length unit or a
        text with its own (in, mil, uin, mm or um), or an array of them; above 0, up to 1000 in
    geometry: where the strips stand: side by side and centred, side by side at height h, or one
        above the other across sv, offset sideways by wo (not edge: solver="field"): one of "edge",
        "edge-offset", "broadside"; default "edge"
    h: height H of the strips' mid-plane above the lower plane (edge-offset): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    sv: vertical gap SV between the facing surfaces of the strips (broadside): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    wo: sideways offset WO between the strips' centre lines (broadside): a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um), or an array of them; from 0 to
        1000 in; default "0in"
    rho: conductor resistivity in micro-ohm-cm, or silver, copper, gold, aluminium, brass or
        lossless: a number, a metal's name, or an array of either; default "copper"
    roughness: RMS surface roughness of the conductor: a number in the call's length unit or a text
        with its own (in, mil, uin, mm or um), or an array of them; from 0 to 0.001 in; default
        "5uin"
    tand: dielectric loss tangent: a number, or an array of them; from 0 to 1; default 0.0009
    f: frequency of the loss (analyse), or the analysis frequencies (response, multisection): a
        number in the call's frequency unit or a text with its own (Hz, kHz, MHz or GHz), or an
        array of them; above 0, up to 1000000 MHz; default "1000MHz"
    solver: the closed-form model, the two-dimensional field solution, or both with the model's
        error: one of "model", "field", "both"; default "model"
    units: the call's units: a length unit (in, mil, mm, um), a frequency unit (Hz, kHz, MHz, GHz)
        or one of each, in any letter case; default inches and MHz
    progress: True draws a bar on the error stream (tqdm), a callable is called with (rows_done,
        rows_total) after each block of rows, False shows nothing; None (default) draws the bar
        once the call has run 2 s, if the error stream is a terminal or the call runs in IPython

    Columns: w_in, s_in, w_over_b, s_over_b, zo_ohm, zoe_ohm, zoo_ohm, coupling_db, eeff_even,
    eeff_odd, loss_even_db_per_in, loss_odd_db_per_in, status (the length columns follow units).

    Losses are negative dB per length unit, as the impedance report prints them.
    """
    arguments = (b, t, er, layers, strips_on, core, w, s, geometry, h, sv, wo, rho, roughness,
                 tand, f, solver)
    values = _given(analyse, _ANALYSE, arguments)
    return _table("analyse", _ANALYSE, values, units, progress)


_SYNTHESISE = ("b", "t", "er", "layers", "strips-on", "core", "geometry", "h", "sv", "wo", "solve",
               "min-gap", "min-width", "zo", "coupling", "zoe", "f0", "solver")


def synthesise(b, t, er, zo, coupling=None, zoe=None, *, layers=None, strips_on=None, core=None,
               geometry="edge", h=None, sv=None, wo="0in", solve="w,wo", min_gap=None,
               min_width=None, f0=None, solver="model", units=None, progress=None):
    """Strip width and spacing for each coupling level or even-mode impedance.

    Lengths are in the length unit of units (inches by default) and frequencies in its frequency
    unit (MHz), unless given as a text with its own unit.

    b: ground-plane spacing B: a number in the call's length unit or a text with its own (in, mil,
        uin, mm or um), or an array of them; above 0, up to 1000 in; required
    t: strip thickness T, at most 0.8 B: a number in the call's length unit or a text with its own
        (in, mil, uin, mm or um, or oz of copper, 1 oz = 1.37 mil), or an array of them; from 0 to
        1000 in; required
    er: relative permittivity Er of the dielectric: a number, or an array of them; from 1 to 1000;
        required
    layers: the dielectric layers between the planes, bottom to top, instead of b and er: each
        one's thickness, Er and loss tangent (else tand), or a file of them, one a line
        (solver="field"): a list of (thickness, er) or (thickness, er, loss tangent), each
        thickness a number in the call's length unit or a text with its own, or a file's name after
        @
    strips_on: with layers, strips side by side: on the upper face of layer N, the copper growing
        into layer N+1: a whole number; from 1 to 16
    core: with layers, strips one above the other: on both faces of layer N, whose thickness is SV:
        a whole number; from 1 to 16
    geometry: where the strips stand: side by side and centred, side by side at height h, or one
        above the other across sv, offset sideways by wo (not edge: solver="field"): one of "edge",
        "edge-offset", "broadside"; default "edge"
    h: height H of the strips' mid-plane above the lower plane (edge-offset): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    sv: vertical gap SV between the facing surfaces of the strips (broadside): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    wo: sideways offset WO between the strips' centre lines (broadside): a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um), or an array of them; from 0 to
        1000 in; default "0in"
    solve: what a broadside synthesis solves for: W and WO at the given sv, or W and SV at the
        given wo: one of "w,wo", "w,sv"; default "w,wo"
    min_gap: least gap the fab makes (S side by side, SV with solve="w,sv"), none when not given: a
        number in the call's length unit or a text with its own (in, mil, uin, mm or um), or an
        array of them; from 0 to 1000 in
    min_width: least strip width W the fab makes, none when not given: a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um), or an array of them; from 0 to
        1000 in
    zo: coupler impedance Zo (response: with coupling, a lossless coupler instead of b, t, w, s): a
        number, or an array of them; above 0, up to 10000 ohm; required
    coupling: midband coupling, 10 and -10 alike (synthesise: or zoe): a number, or an array of
        them; magnitude above 0, up to 60 dB
    zoe: even-mode impedance Zoe, above Zo (or coupling): a number, or an array of them; above 0,
        up to 10000 ohm
    f0: centre frequency, where the coupler is a quarter wave long in the dielectric (response: or
        length; synthesise: adds the length of each design; multisection: with ripple or
        profile="maximally-flat"; tolerance: adds each sample's response there): a number in the
        call's frequency unit or a text with its own (Hz, kHz, MHz or GHz), or an array of them;
        above 0, up to 1000000 MHz
    solver: the closed-form model, the two-dimensional field solution, or both with the model's
        error: one of "model", "field", "both"; default "model"
    units: the call's units: a length unit (in, mil, mm, um), a frequency unit (Hz, kHz, MHz, GHz)
        or one of each, in any letter case; default inches and MHz
    progress: True draws a bar on the error stream (tqdm), a callable is called with (rows_done,
        rows_total) after each block of rows, False shows nothing; None (default) draws the bar
        once the call has run 2 s, if the error stream is a terminal or the call runs in IPython

    Columns: w_in, s_in, w_over_b, s_over_b, zo_ohm, zoe_ohm, zoo_ohm, coupling_db, eeff_even,
    eeff_odd, status (the length columns follow units).

    Give coupling or zoe, not both.  A row that cannot be built keeps its targets, has NaN width
    and spacing and names the reason in its status.
    """
    arguments = (b, t, er, layers, strips_on, core, geometry, h, sv, wo, solve, min_gap, min_width,
                 zo, coupling, zoe, f0, solver)
    values = _given(synthesise, _SYNTHESISE, arguments)
    return _table("synthesise", _SYNTHESISE, values, units, progress)


_RESPONSE = ("b", "t", "er", "layers", "strips-on", "core", "w", "s", "geometry", "h", "sv", "wo",
             "zo", "coupling", "rho", "roughness", "tand", "f", "length", "f0", "rs", "rl",
             "flatness", "solver", "port-order", "bend", "lead-isolation", "lead-length",
             "copper-layers", "run", "mesh", "threads", "compensate")


def response(*, er, f, b=None, t=None, layers=None, strips_on=None, core=None, w=None, s=None,
             geometry="edge", h=None, sv=None, wo="0in", zo=None, coupling=None, rho=None,
             roughness=None, tand=None, length=None, f0=None, rs=50.0, rl=50.0, flatness=0.5,
             solver="model", port_order="isolated-third", bend="mitre", lead_isolation=40.0,
             lead_length="0.1in", copper_layers=None, run="off", mesh="coarse", threads=0,
             compensate="off", units=None, progress=None, fullwave=None):
    """Four-port response of the coupler over frequency, and its Touchstone file.

    Lengths are in the length unit of units (inches by default) and frequencies in its frequency
    unit (MHz), unless given as a text with its own unit.

    b: ground-plane spacing B: a number in the call's length unit or a text with its own (in, mil,
        uin, mm or um), or an array of them; above 0, up to 1000 in
    t: strip thickness T, at most 0.8 B: a number in the call's length unit or a text with its own
        (in, mil, uin, mm or um, or oz of copper, 1 oz = 1.37 mil), or an array of them; from 0 to
        1000 in
    er: relative permittivity Er of the dielectric: a number, or an array of them; from 1 to 1000;
        required
    layers: the dielectric layers between the planes, bottom to top, instead of b and er: each
        one's thickness, Er and loss tangent (else tand), or a file of them, one a line
        (solver="field"): a list of (thickness, er) or (thickness, er, loss tangent), each
        thickness a number in the call's length unit or a text with its own, or a file's name after
        @
    strips_on: with layers, strips side by side: on the upper face of layer N, the copper growing
        into layer N+1: a whole number; from 1 to 16
    core: with layers, strips one above the other: on both faces of layer N, whose thickness is SV:
        a whole number; from 1 to 16
    w: strip width W: a number in the call's length unit or a text with its own (in, mil, uin, mm
        or um), or an array of them; above 0, up to 1000 in
    s: edge-to-edge strip spacing S (edge, edge-offset): a number in the call's length unit or a
        text with its own (in, mil, uin, mm or um), or an array of them; above 0, up to 1000 in
    geometry: where the strips stand: side by side and centred, side by side at height h, or one
        above the other across sv, offset sideways by wo (not edge: solver="field"): one of "edge",
        "edge-offset", "broadside"; default "edge"
    h: height H of the strips' mid-plane above the lower plane (edge-offset): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    sv: vertical gap SV between the facing surfaces of the strips (broadside): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    wo: sideways offset WO between the strips' centre lines (broadside): a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um), or an array of them; from 0 to
        1000 in; default "0in"
    zo: coupler impedance Zo (response: with coupling, a lossless coupler instead of b, t, w, s): a
        number, or an array of them; above 0, up to 10000 ohm
    coupling: midband coupling, 10 and -10 alike (synthesise: or zoe): a number, or an array of
        them; magnitude above 0, up to 60 dB
    rho: conductor resistivity in micro-ohm-cm, or silver, copper, gold, aluminium, brass or
        lossless: a number, a metal's name, or an array of either; None means "copper"
    roughness: RMS surface roughness of the conductor: a number in the call's length unit or a text
        with its own (in, mil, uin, mm or um), or an array of them; from 0 to 0.001 in; None means
        "5uin"
    tand: dielectric loss tangent: a number, or an array of them; from 0 to 1; None means 0.0009
    f: frequency of the loss (analyse), or the analysis frequencies (response, multisection): a
        number in the call's frequency unit or a text with its own (Hz, kHz, MHz or GHz), or an
        array of them; above 0, up to 1000000 MHz; required
    length: coupler length (or f0): a number in the call's length unit or a text with its own (in,
        mil, uin, mm or um), or an array of them; above 0, up to 1000 in
    f0: centre frequency, where the coupler is a quarter wave long in the dielectric (response: or
        length; synthesise: adds the length of each design; multisection: with ripple or
        profile="maximally-flat"; tolerance: adds each sample's response there): a number in the
        call's frequency unit or a text with its own (Hz, kHz, MHz or GHz), or an array of them;
        above 0, up to 1000000 MHz
    rs: source termination Rs, at ports 1 (input) and 4 (coupled): a number, or an array of them;
        above 0, up to 10000 ohm; default 50.0
    rl: load termination Rl, at ports 2 (thru) and 3 (isolated): a number, or an array of them;
        above 0, up to 10000 ohm; default 50.0
    flatness: the band of the summary: where the coupling stays within this of its value at f0: a
        number, or an array of them; above 0, up to 20 dB; default 0.5
    solver: the closed-form model, the two-dimensional field solution, or both with the model's
        error: one of "model", "field", "both"; default "model"
    port_order: numbering of the ports, of the Touchstone file and of the artwork's pads: 1 input,
        2 thru, 3 isolated, 4 coupled; or 1 input, 2 thru, 3 coupled, 4 isolated: one of
        "isolated-third", "coupled-third"; default "isolated-third"
    bend: the feed lines' bends: mitred 45-degree corners, or arcs of twice the line's width: one
        of "mitre", "arc"; default "mitre"
    lead_isolation: how weakly the two feed lines at each end couple once turned away (field
        solution): a number, or an array of them; magnitude above 0, up to 100 dB; default 40.0
    lead_length: the straight run of each feed line after its bends, to the centre of its pad: a
        number in the call's length unit or a text with its own (in, mil, uin, mm or um), or an
        array of them; above 0, up to 1000 in; default "0.1in"
    copper_layers: the artwork's copper layers as KiCad names them: one side by side; two one above
        the other, the upper first (F.Cu,B.Cu when not given): a text
    run: on: run the fullwave model (Debian: python3-openems) and report the coupler as laid out
        beside the ideal section: its band summary, its Touchstone file and chart: one of "off",
        "on"; default "off"
    mesh: the full-wave run's mesh; both: coarse then fine, the change between them as the figures'
        uncertainty: one of "coarse", "fine", "both"; default "coarse"
    threads: threads of the full-wave run; 0 for openEMS's own choice: a whole number; from 0 to
        1024; default 0
    compensate: on: shorten the end sections by the coupled length the diverging feed lines add
        (field solution along the legs), so that the coupler as laid out couples most at f0;
        measured (response with run="on"): shorten the section until the fullwave model's coupling
        peaks within 0.3 % of f0, each length from the runs before, at most four runs: one of
        "off", "on", "measured"; default "off"
    units: the call's units: a length unit (in, mil, mm, um), a frequency unit (Hz, kHz, MHz, GHz)
        or one of each, in any letter case; default inches and MHz
    progress: True draws a bar on the error stream (tqdm), a callable is called with (rows_done,
        rows_total) after each block of rows, False shows nothing; None (default) draws the bar
        once the call has run 2 s, if the error stream is a terminal or the call runs in IPython
    fullwave: with run=True, a directory to write the coupler's full-wave model into and run it
        there (a coupler given by its dimensions, laid out as port_order, bend, lead_isolation,
        lead_length, copper_layers and compensate say), None (default) for none

    Columns: f_mhz, s11_db, s11_deg, s21_db, s21_deg, s31_db, s31_deg, s41_db, s41_deg, vswr,
    phase_difference_deg, phase_error_deg, amplitude_balance_db, loss_dissipated_db,
    thru_and_coupled_db, return_loss_db, directivity_db, length_in, status (the length columns
    follow units).

    The coupler is given by zo and coupling (lossless), or by its dimensions b, t, w, s with rho,
    roughness and tand; er in both forms; given by its dimensions, its rows add each mode's
    conductor and dielectric loss per length (loss_even_conductor_db_per_in,
    loss_even_dielectric_db_per_in, loss_odd_conductor_db_per_in, loss_odd_dielectric_db_per_in).
    Its length is given by length, or by f0, where it is a quarter wave long.  Ports: 1 input, 2
    thru, 3 isolated, 4 coupled.  Frequencies are written in MHz.
    """
    arguments = (b, t, er, layers, strips_on, core, w, s, geometry, h, sv, wo, zo, coupling, rho,
                 roughness, tand, f, length, f0, rs, rl, flatness, solver, port_order, bend,
                 lead_isolation, lead_length, copper_layers, run, mesh, threads, compensate)
    values = _given(response, _RESPONSE, arguments)
    return _table("response", _RESPONSE, values, units, progress, fullwave)


_SENSITIVITY = ("b", "t", "er", "layers", "strips-on", "core", "w", "s", "geometry", "h", "sv",
                "wo", "solver")


def sensitivity(b, t, er, w, s=None, *, layers=None, strips_on=None, core=None, geometry="edge",
                h=None, sv=None, wo="0in", solver="model", units=None, progress=None):
    """Normalised sensitivities of Zoe and Zoo to Er, B, S, T and W.

    Lengths are in the length unit of units (inches by default) and frequencies in its frequency
    unit (MHz), unless given as a text with its own unit.

    b: ground-plane spacing B: a number in the call's length unit or a text with its own (in, mil,
        uin, mm or um), or an array of them; above 0, up to 1000 in; required
    t: strip thickness T, at most 0.8 B: a number in the call's length unit or a text with its own
        (in, mil, uin, mm or um, or oz of copper, 1 oz = 1.37 mil), or an array of them; from 0 to
        1000 in; required
    er: relative permittivity Er of the dielectric: a number, or an array of them; from 1 to 1000;
        required
    layers: the dielectric layers between the planes, bottom to top, instead of b and er: each
        one's thickness, Er and loss tangent (else tand), or a file of them, one a line
        (solver="field"): a list of (thickness, er) or (thickness, er, loss tangent), each
        thickness a number in the call's length unit or a text with its own, or a file's name after
        @
    strips_on: with layers, strips side by side: on the upper face of layer N, the copper growing
        into layer N+1: a whole number; from 1 to 16
    core: with layers, strips one above the other: on both faces of layer N, whose thickness is SV:
        a whole number; from 1 to 16
    w: strip width W: a number in the call's length unit or a text with its own (in, mil, uin, mm
        or um), or an array of them; above 0, up to 1000 in; required
    s: edge-to-edge strip spacing S (edge, edge-offset): a number in the call's length unit or a
        text with its own (in, mil, uin, mm or um), or an array of them; above 0, up to 1000 in
    geometry: where the strips stand: side by side and centred, side by side at height h, or one
        above the other across sv, offset sideways by wo (not edge: solver="field"): one of "edge",
        "edge-offset", "broadside"; default "edge"
    h: height H of the strips' mid-plane above the lower plane (edge-offset): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    sv: vertical gap SV between the facing surfaces of the strips (broadside): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    wo: sideways offset WO between the strips' centre lines (broadside): a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um), or an array of them; from 0 to
        1000 in; default "0in"
    solver: the closed-form model, the two-dimensional field solution, or both with the model's
        error: one of "model", "field", "both"; default "model"
    units: the call's units: a length unit (in, mil, mm, um), a frequency unit (Hz, kHz, MHz, GHz)
        or one of each, in any letter case; default inches and MHz
    progress: True draws a bar on the error stream (tqdm), a callable is called with (rows_done,
        rows_total) after each block of rows, False shows nothing; None (default) draws the bar
        once the call has run 2 s, if the error stream is a terminal or the call runs in IPython

    Columns: w_in, s_in, zoe_ohm, zoo_ohm, eeff_even, eeff_odd, szoe_er, szoe_b, szoe_s, szoe_t,
    szoe_w, szoo_er, szoo_b, szoo_s, szoo_t, szoo_w, status (the length columns follow units).
    """
    arguments = (b, t, er, layers, strips_on, core, w, s, geometry, h, sv, wo, solver)
    values = _given(sensitivity, _SENSITIVITY, arguments)
    return _table("sensitivity", _SENSITIVITY, values, units, progress)


_FIELD = ("b", "t", "er", "layers", "strips-on", "core", "w", "s", "geometry", "h", "sv", "wo",
          "tol")


def field(b, t, er, w, s=None, *, layers=None, strips_on=None, core=None, geometry="edge", h=None,
          sv=None, wo="0in", tol=0.0001, units=None, progress=None):
    """Two-dimensional field solution of each cross-section, with its error estimate.

    Lengths are in the length unit of units (inches by default) and frequencies in its frequency
    unit (MHz), unless given as a text with its own unit.

    b: ground-plane spacing B: a number in the call's length unit or a text with its own (in, mil,
        uin, mm or um), or an array of them; above 0, up to 1000 in; required
    t: strip thickness T, at most 0.8 B: a number in the call's length unit or a text with its own
        (in, mil, uin, mm or um, or oz of copper, 1 oz = 1.37 mil), or an array of them; from 0 to
        1000 in; required
    er: relative permittivity Er of the dielectric: a number, or an array of them; from 1 to 1000;
        required
    layers: the dielectric layers between the planes, bottom to top, instead of b and er: each
        one's thickness, Er and loss tangent (else tand), or a file of them, one a line
        (solver="field"): a list of (thickness, er) or (thickness, er, loss tangent), each
        thickness a number in the call's length unit or a text with its own, or a file's name after
        @
    strips_on: with layers, strips side by side: on the upper face of layer N, the copper growing
        into layer N+1: a whole number; from 1 to 16
    core: with layers, strips one above the other: on both faces of layer N, whose thickness is SV:
        a whole number; from 1 to 16
    w: strip width W: a number in the call's length unit or a text with its own (in, mil, uin, mm
        or um), or an array of them; above 0, up to 1000 in; required
    s: edge-to-edge strip spacing S (edge, edge-offset): a number in the call's length unit or a
        text with its own (in, mil, uin, mm or um), or an array of them; above 0, up to 1000 in
    geometry: where the strips stand: side by side and centred, side by side at height h, or one
        above the other across sv, offset sideways by wo (not edge: solver="field"): one of "edge",
        "edge-offset", "broadside"; default "edge"
    h: height H of the strips' mid-plane above the lower plane (edge-offset): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    sv: vertical gap SV between the facing surfaces of the strips (broadside): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    wo: sideways offset WO between the strips' centre lines (broadside): a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um), or an array of them; from 0 to
        1000 in; default "0in"
    tol: relative tolerance of each mode impedance of the field solution: a number, or an array of
        them; from 1e-10 to 0.01; default 0.0001
    units: the call's units: a length unit (in, mil, mm, um), a frequency unit (Hz, kHz, MHz, GHz)
        or one of each, in any letter case; default inches and MHz
    progress: True draws a bar on the error stream (tqdm), a callable is called with (rows_done,
        rows_total) after each block of rows, False shows nothing; None (default) draws the bar
        once the call has run 2 s, if the error stream is a terminal or the call runs in IPython

    Columns: w_in, s_in, w_over_b, s_over_b, zo_ohm, zoe_ohm, zoo_ohm, coupling_db, eeff_even,
    eeff_odd, c_even, c_odd, error_estimate, panels, status (the length columns follow units).

    A cross-section the solver cannot verify to tol has NaN numbers and the status
    no_field_solution, and a FieldFailureWarning gives the solver's last estimate; strips it cannot
    resolve the coupling of say uncoupled.
    """
    arguments = (b, t, er, layers, strips_on, core, w, s, geometry, h, sv, wo, tol)
    values = _given(field, _FIELD, arguments)
    return _table("field", _FIELD, values, units, progress)


_MULTISECTION = ("b", "t", "er", "layers", "strips-on", "core", "geometry", "h", "sv", "wo",
                 "solve", "min-gap", "min-width", "zo", "coupling", "sections", "band", "ripple",
                 "profile", "rho", "roughness", "tand", "f0", "rs", "rl", "solver")


def multisection(*, er, zo, coupling, sections, b=None, t=None, layers=None, strips_on=None,
                 core=None, geometry="edge", h=None, sv=None, wo="0in", solve="w,wo", min_gap=None,
                 min_width=None, band=None, ripple=None, profile="equal-ripple", rho=None,
                 roughness=None, tand=None, f0=None, rs=50.0, rl=50.0, solver="model", units=None,
                 progress=None):
    """Broadband coupler of N quarter-wave sections: its coupling profile, each section's
    dimensions, and its response.

    Lengths are in the length unit of units (inches by default) and frequencies in its frequency
    unit (MHz), unless given as a text with its own unit.

    b: ground-plane spacing B: a number in the call's length unit or a text with its own (in, mil,
        uin, mm or um); above 0, up to 1000 in
    t: strip thickness T, at most 0.8 B: a number in the call's length unit or a text with its own
        (in, mil, uin, mm or um, or oz of copper, 1 oz = 1.37 mil); from 0 to 1000 in
    er: relative permittivity Er of the dielectric: a number; from 1 to 1000; required
    layers: the dielectric layers between the planes, bottom to top, instead of b and er: each
        one's thickness, Er and loss tangent (else tand), or a file of them, one a line
        (solver="field"): a list of (thickness, er) or (thickness, er, loss tangent), each
        thickness a number in the call's length unit or a text with its own, or a file's name after
        @
    strips_on: with layers, strips side by side: on the upper face of layer N, the copper growing
        into layer N+1: a whole number; from 1 to 16
    core: with layers, strips one above the other: on both faces of layer N, whose thickness is SV:
        a whole number; from 1 to 16
    geometry: where the strips stand: side by side and centred, side by side at height h, or one
        above the other across sv, offset sideways by wo (not edge: solver="field"): one of "edge",
        "edge-offset", "broadside"; default "edge"
    h: height H of the strips' mid-plane above the lower plane (edge-offset): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um); above 0, up to 1000 in
    sv: vertical gap SV between the facing surfaces of the strips (broadside): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um); above 0, up to 1000 in
    wo: sideways offset WO between the strips' centre lines (broadside): a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um); from 0 to 1000 in; default
        "0in"
    solve: what a broadside synthesis solves for: W and WO at the given sv, or W and SV at the
        given wo: one of "w,wo", "w,sv"; default "w,wo"
    min_gap: least gap the fab makes (S side by side, SV with solve="w,sv"), none when not given: a
        number in the call's length unit or a text with its own (in, mil, uin, mm or um); from 0 to
        1000 in
    min_width: least strip width W the fab makes, none when not given: a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um); from 0 to 1000 in
    zo: coupler impedance Zo (response: with coupling, a lossless coupler instead of b, t, w, s): a
        number; above 0, up to 10000 ohm; required
    coupling: midband coupling, 10 and -10 alike (synthesise: or zoe): a number; magnitude above 0,
        up to 60 dB; required
    sections: number N of quarter-wave sections, odd: a number; from 1 to 15; required
    band: band F1:F2 of an equal-ripple profile, f0 its centre (or f0 with ripple or profile): (f1,
        f2), each a number in the call's frequency unit or a text with its own (Hz, kHz, MHz or
        GHz), or a text "F1:F2"; above 0, up to 1000000 MHz
    ripple: ripple of an equal-ripple profile about f0: the widest band that holds it: a number;
        above 0, up to 20 dB
    profile: coupling profile of the sections: equal ripple over band or within ripple, or
        maximally flat about f0: one of "equal-ripple", "maximally-flat"; default "equal-ripple"
    rho: conductor resistivity in micro-ohm-cm, or silver, copper, gold, aluminium, brass or
        lossless: a number or a metal's name; None means "copper"
    roughness: RMS surface roughness of the conductor: a number in the call's length unit or a text
        with its own (in, mil, uin, mm or um); from 0 to 0.001 in; None means "5uin"
    tand: dielectric loss tangent: a number; from 0 to 1; None means 0.0009
    f0: centre frequency, where the coupler is a quarter wave long in the dielectric (response: or
        length; synthesise: adds the length of each design; multisection: with ripple or
        profile="maximally-flat"; tolerance: adds each sample's response there): a number in the
        call's frequency unit or a text with its own (Hz, kHz, MHz or GHz); above 0, up to 1000000
        MHz
    rs: source termination Rs, at ports 1 (input) and 4 (coupled): a number; above 0, up to 10000
        ohm; default 50.0
    rl: load termination Rl, at ports 2 (thru) and 3 (isolated): a number; above 0, up to 10000
        ohm; default 50.0
    solver: the closed-form model, the two-dimensional field solution, or both with the model's
        error: one of "model", "field", "both"; default "model"
    units: the call's units: a length unit (in, mil, mm, um), a frequency unit (Hz, kHz, MHz, GHz)
        or one of each, in any letter case; default inches and MHz
    progress: True draws a bar on the error stream (tqdm), a callable is called with (rows_done,
        rows_total) after each block of rows, False shows nothing; None (default) draws the bar
        once the call has run 2 s, if the error stream is a terminal or the call runs in IPython

    Columns: section, coupling_db, zoe_ohm, zoo_ohm, length_in, status (the length columns follow
    units).

    One coupler: every argument a single value; band a text "F1:F2" or its two edges (f1, f2).  The
    rows are its sections; the profile, ripple_db and band are attributes, and network(f) its
    response.
    """
    arguments = (b, t, er, layers, strips_on, core, geometry, h, sv, wo, solve, min_gap, min_width,
                 zo, coupling, sections, band, ripple, profile, rho, roughness, tand, f0, rs, rl,
                 solver)
    values = _given(multisection, _MULTISECTION, arguments)
    return _multisection(_MULTISECTION, values, units)


_TOLERANCE = ("b", "t", "er", "layers", "strips-on", "core", "w", "s", "geometry", "h", "sv", "wo",
              "min-gap", "min-width", "zo", "coupling", "sections", "band", "ripple", "profile",
              "rho", "roughness", "tand", "f0", "rs", "rl", "vary", "etch", "dist", "correlate",
              "lot-size", "attribution", "limit", "samples", "seed", "start", "count", "solver",
              "centre")


def tolerance(*, b, t, er, samples, layers=None, strips_on=None, core=None, w=None, s=None,
              geometry="edge", h=None, sv=None, wo="0in", min_gap=None, min_width=None, zo=None,
              coupling=None, sections=None, band=None, ripple=None, profile="equal-ripple",
              rho="copper", roughness="5uin", tand=0.0009, f0=None, rs=50.0, rl=50.0, vary=None,
              etch=None, dist="normal", correlate=None, lot_size=None, attribution="off",
              limits=None, seed=1, start=0, count=None, solver="model", centre="off", units=None,
              progress=None):
    """Monte Carlo tolerance analysis of one coupler: the spread of its impedances and coupling,
    and its yield against limits.

    Lengths are in the length unit of units (inches by default) and frequencies in its frequency
    unit (MHz), unless given as a text with its own unit.

    b: ground-plane spacing B: a number in the call's length unit or a text with its own (in, mil,
        uin, mm or um); above 0, up to 1000 in; required
    t: strip thickness T, at most 0.8 B: a number in the call's length unit or a text with its own
        (in, mil, uin, mm or um, or oz of copper, 1 oz = 1.37 mil); from 0 to 1000 in; required
    er: relative permittivity Er of the dielectric: a number; from 1 to 1000; required
    layers: the dielectric layers between the planes, bottom to top, instead of b and er: each
        one's thickness, Er and loss tangent (else tand), or a file of them, one a line
        (solver="field"): a list of (thickness, er) or (thickness, er, loss tangent), each
        thickness a number in the call's length unit or a text with its own, or a file's name after
        @
    strips_on: with layers, strips side by side: on the upper face of layer N, the copper growing
        into layer N+1: a whole number; from 1 to 16
    core: with layers, strips one above the other: on both faces of layer N, whose thickness is SV:
        a whole number; from 1 to 16
    w: strip width W: a number in the call's length unit or a text with its own (in, mil, uin, mm
        or um); above 0, up to 1000 in
    s: edge-to-edge strip spacing S (edge, edge-offset): a number in the call's length unit or a
        text with its own (in, mil, uin, mm or um); above 0, up to 1000 in
    geometry: where the strips stand: side by side and centred, side by side at height h, or one
        above the other across sv, offset sideways by wo (not edge: solver="field"): one of "edge",
        "edge-offset", "broadside"; default "edge"
    h: height H of the strips' mid-plane above the lower plane (edge-offset): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um); above 0, up to 1000 in
    sv: vertical gap SV between the facing surfaces of the strips (broadside): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um); above 0, up to 1000 in
    wo: sideways offset WO between the strips' centre lines (broadside): a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um); from 0 to 1000 in; default
        "0in"
    min_gap: least gap the fab makes (S side by side, SV with solve="w,sv"), none when not given: a
        number in the call's length unit or a text with its own (in, mil, uin, mm or um); from 0 to
        1000 in
    min_width: least strip width W the fab makes, none when not given: a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um); from 0 to 1000 in
    zo: coupler impedance Zo (response: with coupling, a lossless coupler instead of b, t, w, s): a
        number; above 0, up to 10000 ohm
    coupling: midband coupling, 10 and -10 alike (synthesise: or zoe): a number; magnitude above 0,
        up to 60 dB
    sections: number N of quarter-wave sections, odd: a number; from 1 to 15
    band: band F1:F2 of an equal-ripple profile, f0 its centre (or f0 with ripple or profile): (f1,
        f2), each a number in the call's frequency unit or a text with its own (Hz, kHz, MHz or
        GHz), or a text "F1:F2"; above 0, up to 1000000 MHz
    ripple: ripple of an equal-ripple profile about f0: the widest band that holds it: a number;
        above 0, up to 20 dB
    profile: coupling profile of the sections: equal ripple over band or within ripple, or
        maximally flat about f0: one of "equal-ripple", "maximally-flat"; default "equal-ripple"
    rho: conductor resistivity in micro-ohm-cm, or silver, copper, gold, aluminium, brass or
        lossless: a number or a metal's name; default "copper"
    roughness: RMS surface roughness of the conductor: a number in the call's length unit or a text
        with its own (in, mil, uin, mm or um); from 0 to 0.001 in; default "5uin"
    tand: dielectric loss tangent: a number; from 0 to 1; default 0.0009
    f0: centre frequency, where the coupler is a quarter wave long in the dielectric (response: or
        length; synthesise: adds the length of each design; multisection: with ripple or
        profile="maximally-flat"; tolerance: adds each sample's response there): a number in the
        call's frequency unit or a text with its own (Hz, kHz, MHz or GHz); above 0, up to 1000000
        MHz
    rs: source termination Rs, at ports 1 (input) and 4 (coupled): a number; above 0, up to 10000
        ohm; default 50.0
    rl: load termination Rl, at ports 2 (thru) and 3 (isolated): a number; above 0, up to 10000
        ohm; default 50.0
    vary: the varied quantities and their half-widths, a dict such as {"w": 0.0005, "er": "2%"}: w,
        s, t, b, er, and h, sv or wo where the geometry has them; a half-width is a number (of a
        length, in the call's length unit) or a text: a length with its unit or X% of the nominal
        value, a leading +- taken
    etch: half-width of the etch bias of each strip edge: W grows by twice the bias and S shrinks
        by as much: a number in the call's length unit or a text with its own (in, mil, uin, mm or
        um); from 0 to 1000 in
    dist: how each quantity spreads within its half-width: normally, the half-width three standard
        deviations, or uniformly: one of "normal", "uniform"; default "normal"
    correlate: 
    lot_size: samples per lot: a quantity's lot share (vary NAME=X,lot:Y) is drawn once per N
        consecutive samples, and the yield of each lot is reported: a whole number; from 1 to
        1000000000
    attribution: on: evaluate each sample again with each varied quantity at its nominal value and
        report each one's yield held nominal and share of each limited outcome's variance (one more
        evaluation per quantity per sample): one of "off", "on"; default "off"
    limits: the limits every sample must meet, a dict such as {"coupling": (-10.5, -9.5)}: coupling
        (dB, negative as in the table; positive ends are magnitudes, (9.5, 10.5) the same), zo,
        zoe, zoo (ohm), and with f0 coupling_f0, return_loss, isolation, directivity (dB), each a
        pair (low, high) with low <= value <= high, None for an open side, or a text "LOW:HIGH"
    samples: number of samples: a whole number; from 1 to 1000000000; required
    seed: seed of the samples: sample i depends only on the seed and i: a whole number; from 0 to
        2^64 - 1; default 1
    start: index of the first sample computed, for a slice of the run: a whole number; from 0 to
        1000000000; default 0
    count: number of samples computed from start (default: to the last): a whole number; from 1 to
        1000000000
    solver: the closed-form model, the two-dimensional field solution, or both with the model's
        error: one of "model", "field", "both"; default "model"
    centre: on: first search the nominal W and the gap beside it (S, or SV one above the other) for
        the largest yield against the limits on the run's samples, within min_width and min_gap,
        then run at the centred design and report it with the yield it started from: one of "off",
        "on"; default "off"
    units: the call's units: a length unit (in, mil, mm, um), a frequency unit (Hz, kHz, MHz, GHz)
        or one of each, in any letter case; default inches and MHz
    progress: True draws a bar on the error stream (tqdm), a callable is called with (rows_done,
        rows_total) after each block of rows, False shows nothing; None (default) draws the bar
        once the call has run 2 s, if the error stream is a terminal or the call runs in IPython

    Columns of its statistics: quantity, samples, nominal, mean, std, p0_1, p1, p5, p50, p95, p99,
    p99_9, limit_low, limit_high, within_pct, within_low_pct, within_high_pct (the length columns
    follow units).

    One coupler given by its dimensions: every argument a single value.  The result's rows are the
    samples; start and count compute any slice of them, and tolerance_combine(parts) puts slices
    together.
    """
    arguments = (b, t, er, layers, strips_on, core, w, s, geometry, h, sv, wo, min_gap, min_width,
                 zo, coupling, sections, band, ripple, profile, rho, roughness, tand, f0, rs, rl,
                 vary, etch, dist, correlate, lot_size, attribution, limits, samples, seed, start,
                 count, solver, centre)
    values = _given(tolerance, _TOLERANCE, arguments)
    return _tolerance(_TOLERANCE, values, units, progress)


_LINE = ("b", "t", "er", "layers", "strips-on", "w", "h", "zo", "rho", "roughness", "tand", "f",
         "solver")


def line(b, t, er, w=None, zo=None, *, layers=None, strips_on=None, h=None, rho="copper",
         roughness="5uin", tand=0.0009, f="1000MHz", solver="model", units=None, progress=None):
    """Impedance, effective permittivity, loss and length per degree of one strip, or its width for
    an impedance.

    Lengths are in the length unit of units (inches by default) and frequencies in its frequency
    unit (MHz), unless given as a text with its own unit.

    b: ground-plane spacing B: a number in the call's length unit or a text with its own (in, mil,
        uin, mm or um), or an array of them; above 0, up to 1000 in; required
    t: strip thickness T, at most 0.8 B: a number in the call's length unit or a text with its own
        (in, mil, uin, mm or um, or oz of copper, 1 oz = 1.37 mil), or an array of them; from 0 to
        1000 in; required
    er: relative permittivity Er of the dielectric: a number, or an array of them; from 1 to 1000;
        required
    layers: the dielectric layers between the planes, bottom to top, instead of b and er: each
        one's thickness, Er and loss tangent (else tand), or a file of them, one a line
        (solver="field"): a list of (thickness, er) or (thickness, er, loss tangent), each
        thickness a number in the call's length unit or a text with its own, or a file's name after
        @
    strips_on: with layers, strips side by side: on the upper face of layer N, the copper growing
        into layer N+1: a whole number; from 1 to 16
    w: strip width W: a number in the call's length unit or a text with its own (in, mil, uin, mm
        or um), or an array of them; above 0, up to 1000 in
    h: height H of the strips' mid-plane above the lower plane (edge-offset): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    zo: coupler impedance Zo (response: with coupling, a lossless coupler instead of b, t, w, s): a
        number, or an array of them; above 0, up to 10000 ohm
    rho: conductor resistivity in micro-ohm-cm, or silver, copper, gold, aluminium, brass or
        lossless: a number, a metal's name, or an array of either; default "copper"
    roughness: RMS surface roughness of the conductor: a number in the call's length unit or a text
        with its own (in, mil, uin, mm or um), or an array of them; from 0 to 0.001 in; default
        "5uin"
    tand: dielectric loss tangent: a number, or an array of them; from 0 to 1; default 0.0009
    f: frequency of the loss (analyse), or the analysis frequencies (response, multisection): a
        number in the call's frequency unit or a text with its own (Hz, kHz, MHz or GHz), or an
        array of them; above 0, up to 1000000 MHz; default "1000MHz"
    solver: the closed-form model, the two-dimensional field solution, or both with the model's
        error: one of "model", "field", "both"; default "model"
    units: the call's units: a length unit (in, mil, mm, um), a frequency unit (Hz, kHz, MHz, GHz)
        or one of each, in any letter case; default inches and MHz
    progress: True draws a bar on the error stream (tqdm), a callable is called with (rows_done,
        rows_total) after each block of rows, False shows nothing; None (default) draws the bar
        once the call has run 2 s, if the error stream is a terminal or the call runs in IPython

    Columns: w_in, w_over_b, zo_ohm, eeff, loss_conductor_db_per_in, loss_dielectric_db_per_in,
    loss_db_per_in, length_per_deg_in, status (the length columns follow units).

    Give w or zo, not both.  Losses are negative dB per length unit, as analyse prints them.  A row
    of zo that no width gives has NaN width and names the reason in its status.
    """
    arguments = (b, t, er, layers, strips_on, w, h, zo, rho, roughness, tand, f, solver)
    values = _given(line, _LINE, arguments)
    return _table("line", _LINE, values, units, progress)


_LAYOUT = ("b", "t", "er", "layers", "strips-on", "core", "w", "s", "geometry", "h", "sv", "wo",
           "min-gap", "min-width", "length", "f0", "rs", "rl", "solver", "port-order", "bend",
           "lead-isolation", "lead-length", "copper-layers", "compensate")


def layout(b, t, er, w, s=None, length=None, f0=None, *, layers=None, strips_on=None, core=None,
           geometry="edge", h=None, sv=None, wo="0in", min_gap=None, min_width=None, rs=50.0,
           rl=50.0, solver="model", port_order="isolated-third", bend="mitre", lead_isolation=40.0,
           lead_length="0.1in", copper_layers=None, compensate="off", units=None, progress=None,
           file=None, fullwave=None):
    """Copper artwork of one coupler given by its dimensions: its sections, a feed line at each
    port and a pad numbered as the Touchstone file's port.

    Lengths are in the length unit of units (inches by default) and frequencies in its frequency
    unit (MHz), unless given as a text with its own unit.

    b: ground-plane spacing B: a number in the call's length unit or a text with its own (in, mil,
        uin, mm or um); above 0, up to 1000 in; required
    t: strip thickness T, at most 0.8 B: a number in the call's length unit or a text with its own
        (in, mil, uin, mm or um, or oz of copper, 1 oz = 1.37 mil); from 0 to 1000 in; required
    er: relative permittivity Er of the dielectric: a number; from 1 to 1000; required
    layers: the dielectric layers between the planes, bottom to top, instead of b and er: each
        one's thickness, Er and loss tangent (else tand), or a file of them, one a line
        (solver="field"): a list of (thickness, er) or (thickness, er, loss tangent), each
        thickness a number in the call's length unit or a text with its own, or a file's name after
        @
    strips_on: with layers, strips side by side: on the upper face of layer N, the copper growing
        into layer N+1: a whole number; from 1 to 16
    core: with layers, strips one above the other: on both faces of layer N, whose thickness is SV:
        a whole number; from 1 to 16
    w: strip width W: a number in the call's length unit or a text with its own (in, mil, uin, mm
        or um); above 0, up to 1000 in; required
    s: edge-to-edge strip spacing S (edge, edge-offset): a number in the call's length unit or a
        text with its own (in, mil, uin, mm or um); above 0, up to 1000 in
    geometry: where the strips stand: side by side and centred, side by side at height h, or one
        above the other across sv, offset sideways by wo (not edge: solver="field"): one of "edge",
        "edge-offset", "broadside"; default "edge"
    h: height H of the strips' mid-plane above the lower plane (edge-offset): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um); above 0, up to 1000 in
    sv: vertical gap SV between the facing surfaces of the strips (broadside): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um); above 0, up to 1000 in
    wo: sideways offset WO between the strips' centre lines (broadside): a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um); from 0 to 1000 in; default
        "0in"
    min_gap: least gap the fab makes (S side by side, SV with solve="w,sv"), none when not given: a
        number in the call's length unit or a text with its own (in, mil, uin, mm or um); from 0 to
        1000 in
    min_width: least strip width W the fab makes, none when not given: a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um); from 0 to 1000 in
    length: coupler length (or f0): a number in the call's length unit or a text with its own (in,
        mil, uin, mm or um); above 0, up to 1000 in
    f0: centre frequency, where the coupler is a quarter wave long in the dielectric (response: or
        length; synthesise: adds the length of each design; multisection: with ripple or
        profile="maximally-flat"; tolerance: adds each sample's response there): a number in the
        call's frequency unit or a text with its own (Hz, kHz, MHz or GHz); above 0, up to 1000000
        MHz
    rs: source termination Rs, at ports 1 (input) and 4 (coupled): a number; above 0, up to 10000
        ohm; default 50.0
    rl: load termination Rl, at ports 2 (thru) and 3 (isolated): a number; above 0, up to 10000
        ohm; default 50.0
    solver: the closed-form model, the two-dimensional field solution, or both with the model's
        error: one of "model", "field", "both"; default "model"
    port_order: numbering of the ports, of the Touchstone file and of the artwork's pads: 1 input,
        2 thru, 3 isolated, 4 coupled; or 1 input, 2 thru, 3 coupled, 4 isolated: one of
        "isolated-third", "coupled-third"; default "isolated-third"
    bend: the feed lines' bends: mitred 45-degree corners, or arcs of twice the line's width: one
        of "mitre", "arc"; default "mitre"
    lead_isolation: how weakly the two feed lines at each end couple once turned away (field
        solution): a number; magnitude above 0, up to 100 dB; default 40.0
    lead_length: the straight run of each feed line after its bends, to the centre of its pad: a
        number in the call's length unit or a text with its own (in, mil, uin, mm or um); above 0,
        up to 1000 in; default "0.1in"
    copper_layers: the artwork's copper layers as KiCad names them: one side by side; two one above
        the other, the upper first (F.Cu,B.Cu when not given): a text
    compensate: on: shorten the end sections by the coupled length the diverging feed lines add
        (field solution along the legs), so that the coupler as laid out couples most at f0;
        measured (response with run="on"): shorten the section until the fullwave model's coupling
        peaks within 0.3 % of f0, each length from the runs before, at most four runs: one of
        "off", "on", "measured"; default "off"
    units: the call's units: a length unit (in, mil, mm, um), a frequency unit (Hz, kHz, MHz, GHz)
        or one of each, in any letter case; default inches and MHz
    progress: True draws a bar on the error stream (tqdm), a callable is called with (rows_done,
        rows_total) after each block of rows, False shows nothing; None (default) draws the bar
        once the call has run 2 s, if the error stream is a terminal or the call runs in IPython
    file: the name of the files to write, None (default) for none; fullwave: a directory to write
        the full-wave model into (coupler.py, an openEMS script, and README.txt), made if it is not
        there, None (default) for none

    Columns: port, role, feed_width_in, feed_zo_ohm, lead_out_in, lead_out_deg (the length columns
    follow units).

    One coupler given by its dimensions: every argument a single value.  The rows are its ports;
    outlines maps each copper layer's name to its outlines (N x 2 arrays in the call's length
    unit), pads lists each pad (number, role, layer, centre, size) and ports the rows as dicts.
    file names the files written, by its extension: .kicad_mod, .gbr (with two copper layers one
    file per layer, NAME-<layer>.gbr), .dxf, .svg or .png (gnuplot).
    """
    arguments = (b, t, er, layers, strips_on, core, w, s, geometry, h, sv, wo, min_gap, min_width,
                 length, f0, rs, rl, solver, port_order, bend, lead_isolation, lead_length,
                 copper_layers, compensate)
    values = _given(layout, _LAYOUT, arguments)
    return _layout(_LAYOUT, values, units, file, fullwave)


_S_MATRIX = ("b", "t", "er", "layers", "strips-on", "core", "w", "s", "geometry", "h", "sv", "wo",
             "zo", "coupling", "rho", "roughness", "tand", "f", "length", "f0", "solver",
             "port-order", "bend", "lead-isolation", "lead-length", "copper-layers", "run", "mesh",
             "threads", "compensate", "ref")


def s_matrix(*, er, f, b=None, t=None, layers=None, strips_on=None, core=None, w=None, s=None,
             geometry="edge", h=None, sv=None, wo="0in", zo=None, coupling=None, rho=None,
             roughness=None, tand=None, length=None, f0=None, solver="model",
             port_order="isolated-third", bend="mitre", lead_isolation=40.0, lead_length="0.1in",
             copper_layers=None, run="off", mesh="coarse", threads=0, compensate="off", ref=50.0,
             units=None, progress=None):
    """The 4x4 scattering matrix of the coupler at each frequency.

    Lengths are in the length unit of units (inches by default) and frequencies in its frequency
    unit (MHz), unless given as a text with its own unit.

    b: ground-plane spacing B: a number in the call's length unit or a text with its own (in, mil,
        uin, mm or um), or an array of them; above 0, up to 1000 in
    t: strip thickness T, at most 0.8 B: a number in the call's length unit or a text with its own
        (in, mil, uin, mm or um, or oz of copper, 1 oz = 1.37 mil), or an array of them; from 0 to
        1000 in
    er: relative permittivity Er of the dielectric: a number, or an array of them; from 1 to 1000;
        required
    layers: the dielectric layers between the planes, bottom to top, instead of b and er: each
        one's thickness, Er and loss tangent (else tand), or a file of them, one a line
        (solver="field"): a list of (thickness, er) or (thickness, er, loss tangent), each
        thickness a number in the call's length unit or a text with its own, or a file's name after
        @
    strips_on: with layers, strips side by side: on the upper face of layer N, the copper growing
        into layer N+1: a whole number; from 1 to 16
    core: with layers, strips one above the other: on both faces of layer N, whose thickness is SV:
        a whole number; from 1 to 16
    w: strip width W: a number in the call's length unit or a text with its own (in, mil, uin, mm
        or um), or an array of them; above 0, up to 1000 in
    s: edge-to-edge strip spacing S (edge, edge-offset): a number in the call's length unit or a
        text with its own (in, mil, uin, mm or um), or an array of them; above 0, up to 1000 in
    geometry: where the strips stand: side by side and centred, side by side at height h, or one
        above the other across sv, offset sideways by wo (not edge: solver="field"): one of "edge",
        "edge-offset", "broadside"; default "edge"
    h: height H of the strips' mid-plane above the lower plane (edge-offset): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    sv: vertical gap SV between the facing surfaces of the strips (broadside): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    wo: sideways offset WO between the strips' centre lines (broadside): a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um), or an array of them; from 0 to
        1000 in; default "0in"
    zo: coupler impedance Zo (response: with coupling, a lossless coupler instead of b, t, w, s): a
        number, or an array of them; above 0, up to 10000 ohm
    coupling: midband coupling, 10 and -10 alike (synthesise: or zoe): a number, or an array of
        them; magnitude above 0, up to 60 dB
    rho: conductor resistivity in micro-ohm-cm, or silver, copper, gold, aluminium, brass or
        lossless: a number, a metal's name, or an array of either; None means "copper"
    roughness: RMS surface roughness of the conductor: a number in the call's length unit or a text
        with its own (in, mil, uin, mm or um), or an array of them; from 0 to 0.001 in; None means
        "5uin"
    tand: dielectric loss tangent: a number, or an array of them; from 0 to 1; None means 0.0009
    f: frequency of the loss (analyse), or the analysis frequencies (response, multisection): a
        number in the call's frequency unit or a text with its own (Hz, kHz, MHz or GHz), or an
        array of them; above 0, up to 1000000 MHz; required
    length: coupler length (or f0): a number in the call's length unit or a text with its own (in,
        mil, uin, mm or um), or an array of them; above 0, up to 1000 in
    f0: centre frequency, where the coupler is a quarter wave long in the dielectric (response: or
        length; synthesise: adds the length of each design; multisection: with ripple or
        profile="maximally-flat"; tolerance: adds each sample's response there): a number in the
        call's frequency unit or a text with its own (Hz, kHz, MHz or GHz), or an array of them;
        above 0, up to 1000000 MHz
    solver: the closed-form model, the two-dimensional field solution, or both with the model's
        error: one of "model", "field", "both"; default "model"
    port_order: numbering of the ports, of the Touchstone file and of the artwork's pads: 1 input,
        2 thru, 3 isolated, 4 coupled; or 1 input, 2 thru, 3 coupled, 4 isolated: one of
        "isolated-third", "coupled-third"; default "isolated-third"
    bend: the feed lines' bends: mitred 45-degree corners, or arcs of twice the line's width: one
        of "mitre", "arc"; default "mitre"
    lead_isolation: how weakly the two feed lines at each end couple once turned away (field
        solution): a number, or an array of them; magnitude above 0, up to 100 dB; default 40.0
    lead_length: the straight run of each feed line after its bends, to the centre of its pad: a
        number in the call's length unit or a text with its own (in, mil, uin, mm or um), or an
        array of them; above 0, up to 1000 in; default "0.1in"
    copper_layers: the artwork's copper layers as KiCad names them: one side by side; two one above
        the other, the upper first (F.Cu,B.Cu when not given): a text
    run: on: run the fullwave model (Debian: python3-openems) and report the coupler as laid out
        beside the ideal section: its band summary, its Touchstone file and chart: one of "off",
        "on"; default "off"
    mesh: the full-wave run's mesh; both: coarse then fine, the change between them as the figures'
        uncertainty: one of "coarse", "fine", "both"; default "coarse"
    threads: threads of the full-wave run; 0 for openEMS's own choice: a whole number; from 0 to
        1024; default 0
    compensate: on: shorten the end sections by the coupled length the diverging feed lines add
        (field solution along the legs), so that the coupler as laid out couples most at f0;
        measured (response with run="on"): shorten the section until the fullwave model's coupling
        peaks within 0.3 % of f0, each length from the runs before, at most four runs: one of
        "off", "on", "measured"; default "off"
    ref: reference resistance of every port of the scattering matrix: a number, or an array of
        them; above 0, up to 10000 ohm; default 50.0
    units: the call's units: a length unit (in, mil, mm, um), a frequency unit (Hz, kHz, MHz, GHz)
        or one of each, in any letter case; default inches and MHz
    progress: True draws a bar on the error stream (tqdm), a callable is called with (rows_done,
        rows_total) after each block of rows, False shows nothing; None (default) draws the bar
        once the call has run 2 s, if the error stream is a terminal or the call runs in IPython

    The coupler as in response, but every port referenced to ref ohms (no rs, rl): s[..., i - 1, j
    - 1] is Sij with ports 1 input, 2 thru, 3 isolated, 4 coupled, as in the command's Touchstone
    file.
    """
    arguments = (b, t, er, layers, strips_on, core, w, s, geometry, h, sv, wo, zo, coupling, rho,
                 roughness, tand, f, length, f0, solver, port_order, bend, lead_isolation,
                 lead_length, copper_layers, run, mesh, threads, compensate, ref)
    values = _given(s_matrix, _S_MATRIX, arguments)
    return _scattering("s_matrix", _S_MATRIX, values, units, progress)[0]


_NETWORK = ("b", "t", "er", "layers", "strips-on", "core", "w", "s", "geometry", "h", "sv", "wo",
            "zo", "coupling", "rho", "roughness", "tand", "f", "length", "f0", "solver",
            "port-order", "bend", "lead-isolation", "lead-length", "copper-layers", "run", "mesh",
            "threads", "compensate", "ref")


def network(*, er, f, b=None, t=None, layers=None, strips_on=None, core=None, w=None, s=None,
            geometry="edge", h=None, sv=None, wo="0in", zo=None, coupling=None, rho=None,
            roughness=None, tand=None, length=None, f0=None, solver="model",
            port_order="isolated-third", bend="mitre", lead_isolation=40.0, lead_length="0.1in",
            copper_layers=None, run="off", mesh="coarse", threads=0, compensate="off", ref=50.0,
            units=None, progress=None, name="ketrovane coupler"):
    """The coupler as a 4-port scikit-rf Network over its frequencies.

    Lengths are in the length unit of units (inches by default) and frequencies in its frequency
    unit (MHz), unless given as a text with its own unit.

    b: ground-plane spacing B: a number in the call's length unit or a text with its own (in, mil,
        uin, mm or um), or an array of them; above 0, up to 1000 in
    t: strip thickness T, at most 0.8 B: a number in the call's length unit or a text with its own
        (in, mil, uin, mm or um, or oz of copper, 1 oz = 1.37 mil), or an array of them; from 0 to
        1000 in
    er: relative permittivity Er of the dielectric: a number, or an array of them; from 1 to 1000;
        required
    layers: the dielectric layers between the planes, bottom to top, instead of b and er: each
        one's thickness, Er and loss tangent (else tand), or a file of them, one a line
        (solver="field"): a list of (thickness, er) or (thickness, er, loss tangent), each
        thickness a number in the call's length unit or a text with its own, or a file's name after
        @
    strips_on: with layers, strips side by side: on the upper face of layer N, the copper growing
        into layer N+1: a whole number; from 1 to 16
    core: with layers, strips one above the other: on both faces of layer N, whose thickness is SV:
        a whole number; from 1 to 16
    w: strip width W: a number in the call's length unit or a text with its own (in, mil, uin, mm
        or um), or an array of them; above 0, up to 1000 in
    s: edge-to-edge strip spacing S (edge, edge-offset): a number in the call's length unit or a
        text with its own (in, mil, uin, mm or um), or an array of them; above 0, up to 1000 in
    geometry: where the strips stand: side by side and centred, side by side at height h, or one
        above the other across sv, offset sideways by wo (not edge: solver="field"): one of "edge",
        "edge-offset", "broadside"; default "edge"
    h: height H of the strips' mid-plane above the lower plane (edge-offset): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    sv: vertical gap SV between the facing surfaces of the strips (broadside): a number in the
        call's length unit or a text with its own (in, mil, uin, mm or um), or an array of them;
        above 0, up to 1000 in
    wo: sideways offset WO between the strips' centre lines (broadside): a number in the call's
        length unit or a text with its own (in, mil, uin, mm or um), or an array of them; from 0 to
        1000 in; default "0in"
    zo: coupler impedance Zo (response: with coupling, a lossless coupler instead of b, t, w, s): a
        number, or an array of them; above 0, up to 10000 ohm
    coupling: midband coupling, 10 and -10 alike (synthesise: or zoe): a number, or an array of
        them; magnitude above 0, up to 60 dB
    rho: conductor resistivity in micro-ohm-cm, or silver, copper, gold, aluminium, brass or
        lossless: a number, a metal's name, or an array of either; None means "copper"
    roughness: RMS surface roughness of the conductor: a number in the call's length unit or a text
        with its own (in, mil, uin, mm or um), or an array of them; from 0 to 0.001 in; None means
        "5uin"
    tand: dielectric loss tangent: a number, or an array of them; from 0 to 1; None means 0.0009
    f: frequency of the loss (analyse), or the analysis frequencies (response, multisection): a
        number in the call's frequency unit or a text with its own (Hz, kHz, MHz or GHz), or an
        array of them; above 0, up to 1000000 MHz; required
    length: coupler length (or f0): a number in the call's length unit or a text with its own (in,
        mil, uin, mm or um), or an array of them; above 0, up to 1000 in
    f0: centre frequency, where the coupler is a quarter wave long in the dielectric (response: or
        length; synthesise: adds the length of each design; multisection: with ripple or
        profile="maximally-flat"; tolerance: adds each sample's response there): a number in the
        call's frequency unit or a text with its own (Hz, kHz, MHz or GHz), or an array of them;
        above 0, up to 1000000 MHz
    solver: the closed-form model, the two-dimensional field solution, or both with the model's
        error: one of "model", "field", "both"; default "model"
    port_order: numbering of the ports, of the Touchstone file and of the artwork's pads: 1 input,
        2 thru, 3 isolated, 4 coupled; or 1 input, 2 thru, 3 coupled, 4 isolated: one of
        "isolated-third", "coupled-third"; default "isolated-third"
    bend: the feed lines' bends: mitred 45-degree corners, or arcs of twice the line's width: one
        of "mitre", "arc"; default "mitre"
    lead_isolation: how weakly the two feed lines at each end couple once turned away (field
        solution): a number, or an array of them; magnitude above 0, up to 100 dB; default 40.0
    lead_length: the straight run of each feed line after its bends, to the centre of its pad: a
        number in the call's length unit or a text with its own (in, mil, uin, mm or um), or an
        array of them; above 0, up to 1000 in; default "0.1in"
    copper_layers: the artwork's copper layers as KiCad names them: one side by side; two one above
        the other, the upper first (F.Cu,B.Cu when not given): a text
    run: on: run the fullwave model (Debian: python3-openems) and report the coupler as laid out
        beside the ideal section: its band summary, its Touchstone file and chart: one of "off",
        "on"; default "off"
    mesh: the full-wave run's mesh; both: coarse then fine, the change between them as the figures'
        uncertainty: one of "coarse", "fine", "both"; default "coarse"
    threads: threads of the full-wave run; 0 for openEMS's own choice: a whole number; from 0 to
        1024; default 0
    compensate: on: shorten the end sections by the coupled length the diverging feed lines add
        (field solution along the legs), so that the coupler as laid out couples most at f0;
        measured (response with run="on"): shorten the section until the fullwave model's coupling
        peaks within 0.3 % of f0, each length from the runs before, at most four runs: one of
        "off", "on", "measured"; default "off"
    ref: reference resistance of every port of the scattering matrix: a number, or an array of
        them; above 0, up to 10000 ohm; default 50.0
    units: the call's units: a length unit (in, mil, mm, um), a frequency unit (Hz, kHz, MHz, GHz)
        or one of each, in any letter case; default inches and MHz
    progress: True draws a bar on the error stream (tqdm), a callable is called with (rows_done,
        rows_total) after each block of rows, False shows nothing; None (default) draws the bar
        once the call has run 2 s, if the error stream is a terminal or the call runs in IPython
    name: the network's name

    The coupler as in response, but every port referenced to ref ohms (no rs, rl): s[..., i - 1, j
    - 1] is Sij with ports 1 input, 2 thru, 3 isolated, 4 coupled, as in the command's Touchstone
    file.  f is one value or a one-dimensional array and the other arguments describe one coupler;
    returns a 4-port scikit-rf Network whose frequencies are in the call's frequency unit (Debian:
    python3-scikit-rf).
    """
    arguments = (b, t, er, layers, strips_on, core, w, s, geometry, h, sv, wo, zo, coupling, rho,
                 roughness, tand, f, length, f0, solver, port_order, bend, lead_isolation,
                 lead_length, copper_layers, run, mesh, threads, compensate, ref)
    values = _given(network, _NETWORK, arguments)
    return _network(_NETWORK, values, units, name, progress)
