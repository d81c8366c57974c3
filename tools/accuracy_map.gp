# Heat maps of the closed-form model's error, one PNG per quantity (Zoe, Zoo,
# coupling, and the even- and odd-mode conductor loss) with a panel per strip
# thickness.  Driven by scripts/regenerate-accuracy-map:
#   gnuplot -e "data='doc/accuracy/model_error.dat'; out='doc/accuracy'" tools/accuracy_map.gp
# Columns of the data: see its header.  The grid is log-spaced, so the panels
# are drawn in log10(s/b) and log10(w/b) with a cell around every point.

thicknesses = "0 0.005 0.01 0.02 0.05 0.1 0.2"
half_cell_x = (log10(2) - log10(0.01)) / 17 / 2
half_cell_y = (log10(3) - log10(0.1)) / 17 / 2

set xrange [log10(0.01) - half_cell_x : log10(2) + half_cell_x]
set yrange [log10(0.1) - half_cell_y : log10(3) + half_cell_y]
set xtics ("0.01" log10(0.01), "0.03" log10(0.03), "0.1" -1, "0.3" log10(0.3), "1" 0, "2" log10(2))
set ytics ("0.1" -1, "0.2" log10(0.2), "0.5" log10(0.5), "1" 0, "2" log10(2), "3" log10(3))
set xlabel "s/b" offset 0,0.5
set ylabel "w/b" offset 1,0
set tics out nomirror
unset key
set palette defined (-1 "#2166ac", -0.2 "#92c5de", 0 "#f7f7f7", 0.2 "#f4a582", 1 "#b2182b")

# Contour lines at +-level of column col, thickness index k, into a datablock.
contours(k, col, level, block) = sprintf( \
  "set contour base; unset surface; set cntrparam levels discrete -%g,%g; set table %s; " . \
  "splot data index %d using (log10($3)):(log10($2)):%d; unset table; unset contour; set surface", \
  level, level, block, k, col)

# A contour datablock as a plot clause.  Where a level does not occur in a
# panel gnuplot warns of a data file with no valid points; the driving script
# drops that warning.
curve(block, dash) = sprintf(", %s using 1:2 with lines lc rgb 'black' dt %d lw 1.5", block, dash)
heat(k, col) = sprintf("plot data index %d using (log10($3)):(log10($2)):(1.1 * half_cell_x):" . \
  "(1.1 * half_cell_y):%d with boxxyerror fill solid 1.0 noborder lc palette", k, col) . \
  curve("$small", 3) . curve("$medium", 2) . curve("$large", 1)

# One panel: the signed error in colour, contours dotted, dashed and solid at
# the three levels; the colour scale beside the last panel of each row.
panel(k, col, levels) = sprintf("%s; %s; %s; set title 't/b = %s'; %s; eval heat(%d, %d)", \
  contours(k, col, word(levels, 1) + 0, "$small"), contours(k, col, word(levels, 2) + 0, "$medium"), \
  contours(k, col, word(levels, 3) + 0, "$large"), word(thicknesses, k + 1), \
  (k == 3 || k == 6) ? "set colorbox" : "unset colorbox", k, col)

figure(col, limit, levels, name, label, unit) = sprintf( \
  "set terminal pngcairo size 1600,860 font 'sans,10'; set output '%s/%s_error.png'; " . \
  "set cbrange [-%g:%g]; set cblabel '%s error, %s'; " . \
  "set multiplot layout 2,4 title '%s error of the closed-form model against the field solver; " . \
  "contours dotted at +-%s %s, dashed at +-%s %s, solid at +-%s %s'; " . \
  "do for [k=0:6] { eval panel(k, %d, '%s') }; unset multiplot; set output", \
  out, name, limit, limit, label, unit, label, word(levels, 1), unit, word(levels, 2), unit, \
  word(levels, 3), unit, col, levels)

# Every panel gets the same margins, so the plots are the same size whether
# or not a colour scale stands beside them.
set lmargin 7
set rmargin 12

eval figure(8, 5, "0.5 1 3", "zoe", "Zoe", "%")
eval figure(9, 5, "0.5 1 3", "zoo", "Zoo", "%")
eval figure(12, 1, "0.1 0.3 1", "coupling", "Coupling", "dB")
eval figure(18, 50, "5 10 30", "even_loss", "Even-mode conductor loss", "%")
eval figure(19, 50, "5 10 30", "odd_loss", "Odd-mode conductor loss", "%")
