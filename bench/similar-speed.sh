#!/usr/bin/env bash
# The similar-picture speed: a folder of camera-sized JPEGs (27 of 4000x3000 unless
# COUNT says otherwise), and in one run, in turn ROUNDS times (default 3):
#   T        for f in *.jpg; do djpeg -outfile /dev/null "$f"; done   (full size)
#   T/8      the same at 1/8 scale (what the look's reduced-scale decode is near to)
#   look     twinsift-cli scan --quiet --no-cache --similar-by look FOLDER
#   colours  twinsift-cli scan --quiet --no-cache --similar-by colours FOLDER
# Prints each run's wall, user and system seconds and peak memory (GNU time), then the
# medians and the targets: look <= 0.75 T, colours <= 1.3 T / 2.
#   bench/similar-speed.sh [FOLDER]     (default /tmp/twinsift-camera; kept for reuse)
# djpeg comes with scripts/install-deps.sh --bench, run here when it is missing.
# Settings come from a private, empty config folder (the defaults); every scan runs with
# --no-cache and a private, empty cache folder, so that each one signs every picture.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TWINSIFT_BENCH_BUILD:-$root/build}
folder=${1:-/tmp/twinsift-camera}
count=${COUNT:-27}
rounds=${ROUNDS:-3}
command -v djpeg >/dev/null || "$root/scripts/install-deps.sh" --bench
command -v djpeg >/dev/null || { echo "djpeg is missing (libjpeg-turbo-progs)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "GNU time is missing (/usr/bin/time)" >&2; exit 1; }
# NO_BUILD=1 measures the binaries as they are (while another build runs in $build).
[[ -n ${NO_BUILD:-} ]] || cmake --build "$build" --target twinsift-cli similar_quality >/dev/null
last=$(printf '%s/IMG_%04d.jpg' "$folder" "$count")
[[ -f "$last" ]] || "$build/bench/similar_quality" camera "$folder" --count "$count"
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export XDG_CONFIG_HOME=$config
export XDG_CACHE_HOME=$config/cache
cli=$build/src/cli/twinsift-cli
[[ -x $cli ]] || cli=$(find "$build" -name twinsift-cli -type f -perm -u+x | head -1)

measure() {  # name command...: one line "name wall user system peakKB"
  local name=$1
  shift
  /usr/bin/time -f "$name %e %U %S %M" -o "$config/time" "$@" >/dev/null
  cat "$config/time"
}
cd "$folder"
results=$config/results
for ((round = 0; round < rounds; round++)); do
  measure T bash -c 'for f in *.jpg; do djpeg -outfile /dev/null "$f"; done' | tee -a "$results"
  measure T/8 bash -c 'for f in *.jpg; do djpeg -scale 1/8 -outfile /dev/null "$f"; done' | tee -a "$results"
  measure look "$cli" scan --quiet --no-cache --similar-by look "$folder" | tee -a "$results"
  measure colours "$cli" scan --quiet --no-cache --similar-by colours "$folder" | tee -a "$results"
done
echo "medians of $rounds rounds, $(ls "$folder"/*.jpg | wc -l) pictures, load $(cut -d' ' -f1-3 /proc/loadavg):"
python3 - "$results" <<'EOF'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    name, wall, user, system, peak = line.split()
    runs.setdefault(name, []).append((float(wall), float(user) + float(system), int(peak)))
med = {name: [statistics.median(v[i] for v in values) for i in range(3)] for name, values in runs.items()}
for name, (wall, cpu, peak) in med.items():
    print(f"{name:8} wall {wall:6.2f} s  cpu {cpu:6.2f} s  peak {peak / 1024:7.1f} MB")
t = med["T"][0]
print(f"look    / T = {med['look'][0] / t:.2f} (target <= 0.75)")
print(f"colours / T = {med['colours'][0] / t:.2f} (target <= 0.65, 1.3 / 2)")
EOF
