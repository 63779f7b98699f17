#!/usr/bin/env bash
# Runs the Windows exe under wine and the Linux build on the same inputs, each in a folder of
# its own, and compares what they leave: the files (names and bytes), standard output,
# standard error and the exit status. The cases: the shipped example, every golden case,
# failures, a replacement of earlier maps, directory parts with either slash, non-ASCII base
# names, a table on standard input, gzip, --preview, and a seeded random set of tables with
# mirrors and symmetry planes.
#
#   against_linux.sh WINDOWS_EXE LINUX_BUILD_DIR WORK_DIR [SEED]
#
# LINUX_BUILD_DIR holds VORT2Pelta and make_vort_table. In an argument, {/} stands for the
# system's separator: '/' for Linux, '\' for Windows, whose messages then show '\' where
# Linux's show '/'; {here} stands for the folder the converter runs in, absolute. Prints one
# line per case that differs and a summary; status 1 if any did.
set -uo pipefail
windows_exe=$(realpath "$1")
linux_build=$(realpath "$2")
work=$3
seed=${4:-${VORT2PELTA_SEED:-20261208}}
root=$(cd "$(dirname "$0")/../.." && pwd)
linux_exe=$linux_build/VORT2Pelta
make_table=$linux_build/make_vort_table
for tool in "$linux_exe" "$make_table"; do
  [ -x "$tool" ] || { echo "against_linux: no $tool (build the Linux converter first)" >&2; exit 1; }
done
export WINEPREFIX=${WINEPREFIX:-$root/build/windows/wine} WINEDEBUG=-all
# Both read and show names as UTF-8, and wine hands the arguments over as such.
export LC_ALL=C.UTF-8
if [ ! -d "$WINEPREFIX" ]; then
  start=$(date +%s)
  wineboot -i >/dev/null 2>&1
  echo "against_linux: wine prefix made in $(($(date +%s) - start)) s"
fi

rm -rf "$work"
mkdir -p "$work"
cases=0
differing=0

# run SYSTEM DIR STDIN ARGS...: runs the converter of SYSTEM in DIR, leaving out, err and
# status beside DIR.
run() {
  local system=$1 dir=$2 input=$3
  shift 3
  local args=() arg
  # {here} is the run's folder as an absolute path: on Windows with its drive, as wine maps
  # the Linux root to Z:.
  local here=$dir
  [ "$system" = windows ] && here="Z:${dir//\//\\}"
  for arg in "$@"; do
    arg=${arg//\{here\}/$here}
    if [ "$system" = windows ]; then args+=("${arg//\{\/\}/\\}"); else args+=("${arg//\{\/\}//}"); fi
  done
  local exe=("$linux_exe")
  [ "$system" = windows ] && exe=(wine "$windows_exe")
  (cd "$dir" && "${exe[@]}" "${args[@]}" <"$input" >"$dir.out" 2>"$dir.err")
  echo $? >"$dir.status"
}

# The files a folder holds, hidden ones too, each with its checksum.
contents() {
  (cd "$1" && find . -mindepth 1 -printf '%y %p\n' | sort | while read -r kind path; do
    if [ "$kind" = f ]; then echo "$path $(md5sum <"$path" | cut -c1-32)"; else echo "$path/"; fi
  done)
}

# differs NAME [LABEL]: compares the two folders of case NAME and what the runs wrote.
differs() {
  local name=${2:-$1} base=$work/$1 what=""
  cmp -s "$base/linux.status" "$base/windows.status" ||
    what+=" status($(cat "$base/linux.status") vs $(cat "$base/windows.status"))"
  cmp -s "$base/linux.out" "$base/windows.out" || what+=" stdout"
  # Windows names a path as typed, with '\' where Linux has '/'.
  if ! cmp -s "$base/linux.err" <(tr '\\' / <"$base/windows.err"); then what+=" stderr"; fi
  [ "$(contents "$base/linux")" = "$(contents "$base/windows")" ] || what+=" files"
  if [ -n "$what" ]; then
    echo "differs: $name:$what"
    differing=$((differing + 1))
  fi
}

# convert NAME STDIN ARGS...: the inputs are in $work/NAME/given; each system runs on a copy.
convert() {
  local name=$1 input=$2
  shift 2
  cases=$((cases + 1))
  for system in linux windows; do
    rm -rf "$work/$name/$system"
    cp -a "$work/$name/given" "$work/$name/$system"
    run $system "$work/$name/$system" "$input" "$@"
  done
  differs "$name"
}

# again NAME STDIN ARGS...: a second run over the folders the first left.
again() {
  local name=$1 input=$2
  shift 2
  cases=$((cases + 1))
  for system in linux windows; do run $system "$work/$name/$system" "$input" "$@"; done
  differs "$name" "$name, second run"
}

given() {
  rm -rf "$work/$1"
  mkdir -p "$work/$1/given"
  echo "$work/$1/given"
}

answers=$root/examples/half_cavity.answers
example() {
  local dir
  dir=$(given "$1")
  cp "$root/examples/half_cavity.txt" "$dir/"
  echo "$dir"
}

# Started without arguments, as a double click starts it: the notice, then Enter.
printf '\n' >"$work/enter"
given notice >/dev/null
convert notice "$work/enter"

# The shipped example, with and without its picture, into directories named either way.
example example >/dev/null
convert example "$answers" 11 21 11 half_cavity.txt cavity B
example preview >/dev/null
convert preview "$answers" --preview 11 21 11 half_cavity.txt cavity B
mkdir -p "$(example backslash)/out"
convert backslash "$answers" 11 21 11 half_cavity.txt 'out{/}cavity' B
mkdir -p "$(example drive)/out"
convert drive "$answers" 11 21 11 '{here}{/}half_cavity.txt' '{here}{/}out{/}cavity' B
example accents >/dev/null
convert accents "$answers" 11 21 11 half_cavity.txt café B
mkdir -p "$(example greek_japanese)/Ζ"
convert greek_japanese "$answers" 11 21 11 half_cavity.txt 'Ζ{/}日本' B
cp "$root/examples/half_cavity.txt" "$(given non_ascii_table)/tableau_été.txt"
convert non_ascii_table "$answers" 11 21 11 tableau_été.txt cavity B

# A second run replaces the first one's maps, with another table's.
example replacement >/dev/null
convert replacement "$answers" 11 21 11 half_cavity.txt cavity B
"$make_table" --field B --counts 11 21 11 --min -0.08 -0.08 0 --step 0.008 0.008 0.01 --half \
  --radius 0.05 "$work/replacement/other.txt"
for system in linux windows; do cp "$work/replacement/other.txt" "$work/replacement/$system/"; done
again replacement "$answers" 11 21 11 other.txt cavity B

# Ctrl-C while the converter waits for its first answer, over the maps of a first run: the
# line says so and the earlier maps stay. wine turns SIGINT into the console's Ctrl-C event.
# Linux's status is that of the signal (130 in a shell); Windows' is STATUS_CONTROL_C_EXIT,
# whose low byte (58) is what wine hands back.
interrupt() {
  local name=$1 system dir=$work/$1/$2 exe=("$linux_exe") fifo=$work/$1/$2.fifo
  [ "$2" = windows ] && exe=(wine "$windows_exe")
  shift 2
  rm -f "$fifo"
  mkfifo "$fifo"
  (cd "$dir" && exec "${exe[@]}" "$@" <"$fifo" >"$dir.out" 2>"$dir.err") &
  local pid=$!
  exec 9>"$fifo"
  for _ in $(seq 1 100); do
    [ -s "$dir.out" ] && break
    sleep 0.1
  done
  kill -INT $pid
  wait $pid
  echo $? >"$dir.status"
  exec 9>&-
  rm -f "$fifo"
}
example ctrl_c >/dev/null
convert ctrl_c "$answers" 11 21 11 half_cavity.txt cavity B
cases=$((cases + 1))
interrupt ctrl_c linux 11 21 11 half_cavity.txt cavity B
interrupt ctrl_c windows 11 21 11 half_cavity.txt cavity B
if [ "$(cat "$work/ctrl_c/linux.status") $(cat "$work/ctrl_c/windows.status")" = "130 58" ]; then
  echo 58 >"$work/ctrl_c/linux.status"
fi
differs ctrl_c "ctrl_c, interrupted"

# Ctrl-C at moments spread over a larger run that replaces earlier maps: wherever it lands,
# the six maps are all the earlier ones or all the new ones, and nothing hidden is left.
dir=$(given interrupt_spread)
"$make_table" --field B --counts 81 81 81 --min -0.1 -0.1 0 --step 0.0025 0.0025 0.00125 \
  "$dir/first.txt"
"$make_table" --field B --counts 81 81 81 --min -0.1 -0.1 0 --step 0.0025 0.0025 0.00125 \
  --radius 0.05 "$dir/second.txt"
spread_args=(--mesh=auto --mirror=F auto auto auto)
(cd "$dir" && wine "$windows_exe" "${spread_args[@]}" first.txt map B >/dev/null 2>&1)
cp -a "$dir" "$work/interrupt_spread/new"
(cd "$work/interrupt_spread/new" && wine "$windows_exe" "${spread_args[@]}" second.txt map B \
  >/dev/null 2>&1)
maps_of() { (cd "$1" && md5sum 3D_*-map.b?); }
for delay in 0.3 0.6 0.9 1.2 1.5 1.8; do
  cases=$((cases + 1))
  run_dir=$work/interrupt_spread/at_$delay
  cp -a "$dir" "$run_dir"
  (cd "$run_dir" && exec wine "$windows_exe" "${spread_args[@]}" second.txt map B \
    >"$run_dir.out" 2>"$run_dir.err") &
  pid=$!
  sleep "$delay"
  kill -INT $pid 2>/dev/null
  wait $pid
  maps=$(maps_of "$run_dir")
  hidden=$(cd "$run_dir" && ls -A | grep '^\.' || true)
  if [ "$maps" != "$(maps_of "$dir")" ] && [ "$maps" != "$(maps_of "$work/interrupt_spread/new")" ] ||
    [ -n "$hidden" ]; then
    echo "differs: interrupt after ${delay}s: maps neither all earlier nor all new, or left: $hidden"
    differing=$((differing + 1))
  fi
done

# A table on standard input, plain and compressed, and a compressed table file.
gzip -9nc "$root/examples/half_cavity.txt" >"$(given gzip_file)/half_cavity.txt.gz"
convert gzip_file "$answers" 11 21 11 half_cavity.txt.gz cavity B
given stdin_plain >/dev/null
convert stdin_plain "$root/examples/half_cavity.txt" --mesh=auto --mirror=Y auto auto auto - cav B
given stdin_gzip >/dev/null
cp "$work/gzip_file/given/half_cavity.txt.gz" "$work/stdin_gzip/"
convert stdin_gzip "$work/stdin_gzip/half_cavity.txt.gz" --mesh=auto --mirror=Y 11 21 11 - cav B

# Failures: one line, status 1, nothing written.
example failures >/dev/null
failure_runs=(
  "11 21 11 missing.txt cavity B"
  "11 21 x half_cavity.txt cavity B"
  "11 21 11 half_cavity.txt nowhere{/}cavity B"
  "11 21 11 half_cavity.txt out{/} B"
  "12 21 11 half_cavity.txt cavity B"
  "--strict 11 21 11 half_cavity.txt cavity Q"
  "--threads=0 11 21 11 half_cavity.txt cavity B"
  "11 21 11 . cavity B"
  "11 21"
)
for n in "${!failure_runs[@]}"; do
  example "failure_$n" >/dev/null
  # shellcheck disable=SC2086
  convert "failure_$n" "$answers" ${failure_runs[$n]}
done
printf 'not numbers\nY\n' >"$work/failures/bad_answers"
convert failures "$work/failures/bad_answers" 11 21 11 half_cavity.txt cavity B

# The golden cases.
for golden in "$root"/tests/e2e/golden/*/; do
  name=golden_$(basename "$golden")
  dir=$(given "$name")
  find "$golden" -maxdepth 1 -type f ! -name args ! -name stdin -exec cp {} "$dir/" \;
  mapfile -t golden_args <"$golden/args"
  convert "$name" "$golden/stdin" "${golden_args[@]}"
done

# A seeded random set: fields, counts, halves answered with a mirror or cut by a symmetry
# plane, plain or compressed, with the threads and the flushing varied.
RANDOM=$seed
symmetries=("yz:magnetic" "xz:magnetic" "yz:electric" "xy:magnetic" "yz:magnetic,xy:electric")
for n in $(seq 1 12); do
  name=random_$n
  dir=$(given "$name")
  field=$([ $((RANDOM % 2)) = 0 ] && echo E || echo B)
  nx=$((RANDOM % 6 + 2)) ny=$((RANDOM % 6 + 2)) nz=$((RANDOM % 6 + 2))
  half=$((RANDOM % 2))
  table=table.txt
  options=(--mesh=auto "--threads=$((RANDOM % 4 + 1))")
  [ $((RANDOM % 3)) = 0 ] && options+=(--no-sync)
  if [ "$half" = 1 ]; then
    "$make_table" --field $field --counts "$nx" "$ny" "$nz" --min -0.05 -0.05 0 \
      --step 0.01 0.01 0.02 --half "$dir/$table"
    case $((RANDOM % 3)) in
      0) options+=(--mirror=Y) ;;
      1) options+=("--symmetry=${symmetries[$((RANDOM % ${#symmetries[@]}))]}") ;;
      2) options+=(--mirror=Y --preview) ;;
    esac
  else
    "$make_table" --field $field --counts "$nx" "$ny" "$nz" --min -0.05 -0.05 0 \
      --step 0.01 0.01 0.02 "$dir/$table"
    options+=(--mirror=F)
  fi
  if [ $((RANDOM % 3)) = 0 ]; then
    gzip -n "$dir/$table"
    table=table.txt.gz
  fi
  convert "$name" /dev/null "${options[@]}" auto auto auto "$table" "map_$n" "$field"
done

echo "against_linux: $cases runs compared (seed $seed), $differing differ"
[ "$differing" = 0 ]
