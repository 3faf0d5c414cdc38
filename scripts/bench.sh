#!/usr/bin/env bash
# Builds the benchmark in Release, runs it once through (a few minutes), and writes the figures
# into docs/performance.md (between its bench markers) and the plot docs/performance.png.
# Arguments go to the benchmark, e.g. --only 8MB,scripts or --runs-scale 0.5.
# Timing is sensitive to other work on the machine: run it on an otherwise idle machine.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VORNAK_BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORNAK_BUILD_BENCH=ON >/dev/null
targets=(vornak-bench)
if cmake --build "$build" --target help | grep -q vornak-firstpaint; then
  targets+=(vornak-firstpaint)
fi
cmake --build "$build" -j2 --target "${targets[@]}"

out=$(mktemp -d)
work="$build/bench-work"
trap 'rm -rf "$out" "$work"' EXIT
data=()
# The shipped templates, or stand-ins of their sizes where Data/ is not there yet.
[ -f Data/war3map.j ] && data=(--data Data)
"$build/bench/vornak-bench" run --out "$out" "${data[@]}" --work "$work" "$@"

gnuplot <<GNUPLOT
set terminal pngcairo size 900,560 font "DejaVu Sans,11"
set output "docs/performance.png"
set title "Install into a map against a plain copy and the smpq tool (wall-clock medians)"
set xlabel "map size (MiB)"
set ylabel "time (ms)"
set logscale xy
set key top left
set grid
plot "$out/install.dat" using 1:4 with linespoints lw 2 pt 7 title "our install, first into the map (one-pass copy)", \
     "$out/install.dat" using 1:6 with linespoints lw 2 pt 6 title "our install, again into the same map", \
     "$out/install.dat" using 1:3 with linespoints lw 2 pt 5 title "smpq -d then smpq -a (compacts)", \
     "$out/install.dat" using 1:(3*\$2+25) with lines lw 2 dt 2 title "target: 3 x plain copy + 25 ms", \
     "$out/install.dat" using 1:7 with linespoints lw 2 pt 11 title "copy of the map, flushed and renamed over it", \
     "$out/install.dat" using 1:2 with linespoints lw 2 pt 9 title "plain copy of the map"
GNUPLOT

# The figures replace what stands between the markers; the rest of the page is kept.
results="$out/results.md"
{
  echo "_Run of $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)._"
  echo
  cat "$results"
} > "$out/block.md"
awk -v block="$out/block.md" '
  /<!-- bench:begin -->/ { print; while ((getline line < block) > 0) print line; skip = 1; next }
  /<!-- bench:end -->/   { skip = 0 }
  !skip { print }
' docs/performance.md > "$out/page.md"
cp "$out/page.md" docs/performance.md
echo "Figures written to docs/performance.md and docs/performance.png"
