#!/usr/bin/env bash
# The converter's speed, memory and system calls, on the largest input it
# accepts and on a typical small one, side by side with their floors:
#   time:     whole-process wall time of the converter against `cp` of the same
#             input to a new file, and against a durable atomic copy (the same
#             bytes written to a temporary file, flushed, renamed over the
#             target, the folder flushed: what the converter does to its
#             output; bench/DurableCopy.c, plain C linked statically, the
#             fastest such program), median of RUNS runs each, and the ratios;
#   memory:   peak resident set size (/usr/bin/time -v) against a C++ program
#             that does nothing (`int main`, which links no C++ runtime), and
#             against one that does nothing with the C++ runtime loaded;
#   calls:    read and write system calls of every kind (strace -c -f);
#   tools:    fenwadump of the largest input's image and fenwamake of that
#             dump, against `jq .` of the same dump: median wall time and peak
#             resident set size;
#   diff:     fenwadump --diff of the largest input against itself and against
#             a copy with 100 edits scattered through it (tests/support/
#             ScatteredEdits.h): median wall time and peak resident set size.
# Targets on the largest input: time within 1.1x of the durable copy in a
# folder on disk and within 1.2x of cp in a folder in memory (tmpfs), peak
# memory within 2 MiB of the empty program, at most 32 read and write calls;
# each tool at most a third of jq's time and at most 30 MB of peak memory;
# each difference at most 0.5 s and 100 MB.
#
# Usage: bench/run.sh            (RUNS=30, build in build-bench, work in build-bench/work)
#   RUNS=50 BENCH_WORK=/dev/shm/fenwa-bench bench/run.sh   to run in another folder
# Needs cmake, g++, hyperfine, strace, jq, /usr/bin/time (Debian package `time`), python3.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BENCH_BUILD:-$root/build-bench}"
work="${BENCH_WORK:-$build/work}"
runs="${RUNS:-30}"
jobs="${JOBS:-2}"

for tool in cmake hyperfine strace jq python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing" >&2; exit 2; }
done

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFENWA_TESTS=OFF -DFENWA_TOOLS=ON -DFENWA_BENCH=ON >/dev/null
cmake --build "$build" -j "$jobs" >/dev/null
converter="$build/fenwaimg"
empty="$build/bench/fenwa_bench_empty"
empty_runtime="$build/bench/fenwa_bench_empty_runtime"
durable_copy="$build/bench/fenwa_bench_durable_copy"
fenwadump="$build/tools/fenwadump/fenwadump"
fenwamake="$build/tools/fenwamake/fenwamake"

mkdir -p "$work"
inputs="$work/inputs"
"$build/bench/fenwa_bench_inputs" "$inputs" >/dev/null
# The durable copy must really copy, or its time is no floor.
(cd "$work" && rm -f copy.dat copy.dat.tmp && "$durable_copy" "$inputs/largest.dat" copy.dat &&
  cmp -s "$inputs/largest.dat" copy.dat && [ ! -e copy.dat.tmp ]) ||
  { echo "bench: $durable_copy did not copy $inputs/largest.dat" >&2; exit 2; }

# Median wall time in milliseconds of one command run in $work, through hyperfine.
# A third argument, -i, lets the command end with a status other than 0.
median_ms() {
  local prepare="$1" command="$2" ignore="${3:-}" json
  json="$(mktemp)"
  (cd "$work" && hyperfine -N --style none --warmup 3 --runs "$runs" ${prepare:+--prepare "$prepare"} $ignore \
    --export-json "$json" "$command" >/dev/null 2>&1)
  python3 -c 'import json,sys; print("%.3f" % (json.load(open(sys.argv[1]))["results"][0]["median"] * 1000))' "$json"
  rm -f "$json"
}

# Largest peak resident set size in KiB over five runs.
peak_kib() {
  local most=0 kib
  for _ in 1 2 3 4 5; do
    kib="$(cd "$work" && /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}')"
    [ "$kib" -gt "$most" ] && most="$kib"
  done
  echo "$most"
}

# read and write system calls of every kind: "reads writes".
io_calls() {
  local log
  log="$(mktemp)"
  (cd "$work" && strace -c -f -o "$log" "$@" >/dev/null 2>&1) || true
  python3 - "$log" <<'EOF'
import sys
reads = writes = 0
for line in open(sys.argv[1]):
    parts = line.split()
    if len(parts) < 5 or not parts[3].isdigit():
        continue
    name = parts[-1]
    calls = int(parts[3])
    if name in ("read", "pread64", "readv", "preadv", "preadv2"):
        reads += calls
    elif name in ("write", "pwrite64", "writev", "pwritev", "pwritev2"):
        writes += calls
print(reads, writes)
EOF
  rm -f "$log"
}

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores," \
  "$(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo), $(uname -sr)," \
  "work folder on $(df -T "$work" | awk 'NR == 2 {print $2}')"
filesystem="$(df -T "$work" | awk 'NR == 2 {print $2}')"
echo "runs per timing: $runs (median)"
echo

empty_kib="$(peak_kib "$empty")"
runtime_kib="$(peak_kib "$empty_runtime")"
read -r empty_reads empty_writes <<<"$(io_calls "$empty")"
status=0
printf '%-9s %9s | %11s %9s %6s %10s %6s | %9s %9s %8s %12s | %6s %6s %6s\n' \
  input bytes "fenwaimg ms" "cp ms" ratio "durable ms" ratio "peak KiB" "empty KiB" "extra" "extra(+rt)" \
  reads writes total
for name in largest typical; do
  input="$inputs/$name.dat"
  bytes="$(stat -c %s "$input")"
  convert_ms="$(median_ms "rm -f fenwaimg.pdb" "$converter $input")"
  copy_ms="$(median_ms "rm -f copy.dat" "cp $input copy.dat")"
  durable_ms="$(median_ms "rm -f copy.dat copy.dat.tmp" "$durable_copy $input copy.dat")"
  ratio="$(python3 -c "print('%.2f' % ($convert_ms / $copy_ms))")"
  durable_ratio="$(python3 -c "print('%.2f' % ($convert_ms / $durable_ms))")"
  kib="$(peak_kib "$converter" "$input")"
  read -r reads writes <<<"$(io_calls "$converter" "$input")"
  printf '%-9s %9s | %11s %9s %6s %10s %6s | %9s %9s %8s %12s | %6s %6s %6s\n' \
    "$name" "$bytes" "$convert_ms" "$copy_ms" "${ratio}x" "$durable_ms" "${durable_ratio}x" "$kib" "$empty_kib" \
    "$((kib - empty_kib))" "$((kib - runtime_kib))" "$reads" "$writes" "$((reads + writes))"
  if [ "$name" = largest ]; then
    verdicts=()
    if [ "$filesystem" = tmpfs ]; then
      time_target="1.2x cp in memory"
      python3 -c "import sys; sys.exit(0 if $ratio <= 1.2 else 1)" && verdicts+=("time ok") || { verdicts+=("TIME MISSED"); status=1; }
    else
      time_target="1.1x the durable copy on disk"
      python3 -c "import sys; sys.exit(0 if $durable_ratio <= 1.1 else 1)" && verdicts+=("time ok") || { verdicts+=("TIME MISSED"); status=1; }
    fi
    [ $((kib - empty_kib)) -le 2048 ] && verdicts+=("memory ok") || { verdicts+=("MEMORY MISSED"); status=1; }
    [ $((reads + writes)) -le 32 ] && verdicts+=("calls ok") || { verdicts+=("CALLS MISSED"); status=1; }
    largest_verdict="${verdicts[*]}"
  fi
done
rm -f "$work/fenwaimg.pdb" "$work/copy.dat" "$work/copy.dat.tmp"
echo
echo "empty program: $empty_reads reads, $empty_writes writes; peak $empty_kib KiB," \
  "$runtime_kib KiB with the C++ runtime loaded (extra(+rt) is measured against that)"
echo "largest input against its targets ($time_target, 2048 KiB over the empty program, 32 calls): $largest_verdict"

# The tools on the largest input: its image dumped, that dump made into a file again, and jq on the same dump.
(cd "$work" && "$converter" "$inputs/largest.dat" >/dev/null && mv fenwaimg.pdb largest.pdb &&
  "$fenwadump" largest.pdb >largest.json)
echo
printf '%-28s %8s %6s %9s\n' "largest input's image" "ms" ratio "peak KiB"
jq_ms="$(median_ms "" "jq . largest.json")"
tool_verdicts=()
for tool in "jq . largest.json" "$fenwadump largest.pdb" "$fenwamake largest.json made.dat"; do
  ms="$(median_ms "" "$tool")"
  ratio="$(python3 -c "print('%.2f' % ($ms / $jq_ms))")"
  # shellcheck disable=SC2086 # the command's words
  kib="$(peak_kib $tool)"
  printf '%-28s %8s %6s %9s\n' "$(basename "${tool%% *}") ${tool#* }" "$ms" "${ratio}x" "$kib"
  [ "$tool" = "jq . largest.json" ] && continue
  python3 -c "import sys; sys.exit(0 if $ratio <= 1 / 3 and $kib <= 30 * 1024 else 1)" &&
    tool_verdicts+=("$(basename "${tool%% *}") ok") || { tool_verdicts+=("$(basename "${tool%% *}") MISSED"); status=1; }
done
rm -f "$work/largest.pdb" "$work/largest.json" "$work/made.dat"
echo "the tools against their targets (a third of jq's time, 30 MB): ${tool_verdicts[*]}"

# fenwadump --diff of the largest input against itself (no difference, status 0) and against the copy
# with 100 scattered edits (status 1); what the second prints is shown by its headings.
echo
printf '%-34s %8s %9s %7s\n' "fenwadump --diff largest.dat ..." "ms" "peak KiB" status
diff_verdicts=()
for other in largest largest-edited; do
  command="$fenwadump --diff $inputs/largest.dat $inputs/$other.dat"
  diff_status=0
  $command >"$work/diff.txt" || diff_status=$?
  ms="$(median_ms "" "$command" -i)"
  # shellcheck disable=SC2086 # the command's words
  kib="$(peak_kib $command)"
  printf '%-34s %8s %9s %7s\n' "$other.dat" "$ms" "$kib" "$diff_status"
  expected_status=$([ "$other" = largest ] && echo 0 || echo 1)
  python3 -c "import sys; sys.exit(0 if $ms <= 500 and $kib <= 100 * 1024 and $diff_status == $expected_status else 1)" &&
    diff_verdicts+=("$other ok") || { diff_verdicts+=("$other MISSED"); status=1; }
done
grep -v '^  ' "$work/diff.txt" | sed 's/^/  /'
rm -f "$work/diff.txt"
echo "the differences against their targets (0.5 s, 100 MB, status 0 then 1): ${diff_verdicts[*]}"
exit "$status"
