#!/usr/bin/env bash
# Puts each one-line fault of scripts/mutants.txt into a copy of the sources in turn,
# builds, runs the tests and prints which of them failed. A fault that no test catches
# ("survived") marks a rule the tests do not hold; one that does not build is a fault of
# the list. Run it before and after changing tests: every fault caught before must still
# be caught after.
#
#   scripts/mutants.sh [REVISION] [NAME_REGEX]    (defaults: HEAD, every fault)
#   scripts/mutants.sh --compare BEFORE.tsv AFTER.tsv
#   scripts/mutants.sh --check     (only that each fault's text is in this tree once)
#
# Writes one line per fault, "name<TAB>result<TAB>tests that failed", to standard output
# and to build/mutants/REVISION.tsv. The sources of REVISION come from git and are built in
# build/mutants; your working tree is not touched.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ ${1:-} == --compare ]]; then
  # Faults caught in the first table that the second lets through.
  awk -F'\t' 'NR == FNR { if ($2 == "killed") killed[$1] = 1; next }
              ($1 in killed) && $2 != "killed" { print "no longer caught: " $1; lost = 1 }
              END { exit lost }' "$2" "$3"
  exit
fi

list=$PWD/scripts/mutants.txt

# Replaces the one occurrence of $S by $R in $1; fails unless there is exactly one.
replace_once() {
  S=$2 R=$3 awk '
    { line = $0; at = index(line, ENVIRON["S"])
      if (at) { found++; line = substr(line, 1, at - 1) ENVIRON["R"] substr(line, at + length(ENVIRON["S"])) }
      if (index(substr(line, at ? at + length(ENVIRON["R"]) : 1), ENVIRON["S"])) found++
      print line }
    END { exit found == 1 ? 0 : 1 }' "$1" >"$1.mutant" && mv "$1.mutant" "$1"
}

# Calls "$@" NAME FILE SEARCH REPLACEMENT LABELS for each fault of the list.
each_fault() {
  local line name="" file="" search="" replacement="" labels=""
  flush() {
    [[ -n $name ]] && "$@" "$name" "$file" "$search" "$replacement" "$labels"
    name="" file="" search="" replacement="" labels=""
  }
  while IFS= read -r line || [[ -n $line ]]; do
    case $line in
      '#'* | '') flush "$@" ;;
      '- '*) search=${line#- } ;;
      '+ '*) replacement=${line#+ } ;;
      '@ '*) labels=${line#@ } ;;
      *) flush "$@"; read -r name file <<<"$line" ;;
    esac
  done <"$list"
  flush "$@"
}

if [[ ${1:-} == --check ]]; then
  scratch=$(mktemp)
  trap 'rm -f "$scratch" "$scratch.mutant"' EXIT
  status=0
  check_one() {
    cp "$2" "$scratch" 2>/dev/null && replace_once "$scratch" "$3" "$4" ||
      { echo "mutants: $1: the text is not in $2 exactly once" >&2; status=1; }
  }
  each_fault check_one
  exit $status
fi

revision=${1:-HEAD}
only=${2:-}
commit=$(git rev-parse --short "$revision")
# The same folder every time, so that the compiler cache serves the next run.
work=$PWD/build/mutants
src=$work/src
table=$work/$commit.tsv
rm -rf "$src"
mkdir -p "$src"
git archive "$revision" | tar -x -C "$src"

# The test programs of the unit and app suites, and the desktop suites for faults that ask
# for them; what they need (the command-line programs) comes with them.
unit_targets=(tervane_core_tests tervane_session_tests tervane_cli_tests tervane_posix_tests
  tervane_script_tests tervane_companion_tests tervane_localmodel_tests tervane_x11_unit_tests
  tervane_app_tests)
# Without debug information, and with lld where it is installed: most of a fault's time
# is relinking the test programs.
flags=(-DCMAKE_CXX_FLAGS_DEBUG=-g0 -DTERVANE_BUILD_BENCH=OFF)
command -v ld.lld >/dev/null &&
  flags+=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld)
(cd "$src" && cmake --preset dev "${flags[@]}" >/dev/null)
build=$src/build/dev

run_one() { # name file search replace labels
  local name=$1 file=$src/$2 search=$3 replacement=$4 labels=${5:-^(unit|app)$}
  local targets=("${unit_targets[@]}") result failed=""
  [[ $labels == *x11* ]] && targets+=(tervane_x11_tests)
  [[ $labels == *wayland* ]] && targets+=(tervane_kwin_tests tervane_sway_tests tervane_gnome_tests)
  cp "$file" "$work/original"
  if ! replace_once "$file" "$search" "$replacement"; then
    result="not found once"
  elif ! cmake --build "$build" --target "${targets[@]}" >"$work/build.log" 2>&1; then
    result="does not build"
  else
    # Leaves out the test of this list, which any fault trips by changing its line.
    ctest --test-dir "$build" -L "$labels" -E '^Mutants\.' -j "$(nproc)" --timeout 120 \
      >"$work/test.log" 2>&1 || true
    failed=$(sed -En 's/^[[:space:]]*[0-9]+ - ([^ ]+) \(.*/\1/p' "$work/test.log" | sort | paste -sd' ')
    result=$([[ -n $failed ]] && echo killed || echo survived)
  fi
  cp "$work/original" "$file"
  printf '%s\t%s\t%s\n' "$name" "$result" "$failed" | tee -a "$table"
}

# The unchanged sources first: every test must pass, or no result below means anything.
cmake --build "$build" --target "${unit_targets[@]}" tervane_x11_tests >/dev/null
ctest --test-dir "$build" -L '^(unit|app)$' -j "$(nproc)" >/dev/null ||
  { echo "mutants: the tests fail without any fault" >&2; exit 1; }

: >"$table"
selected() { [[ -z $only || $1 =~ $only ]] && run_one "$@" || true; }
each_fault selected
awk -F'\t' '{ n[$2]++ } END { for (r in n) printf "%s: %d\n", r, n[r] }' "$table" >&2
