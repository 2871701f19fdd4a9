#!/usr/bin/env bash
# Times kestrim against its peers on generated trees and prints a Markdown
# table: the median of alternating runs, the ratio to rm -rf, system calls
# per deleted entry (strace -c -f) and peak memory (GNU time).
#
#   bench/run.sh [RUNS] [TREE...]
#
# TREE is wide (100,000 empty files in one directory), balanced (10 x 10 x
# 1,000 empty files), balanced4k (the same, 4 KiB each) or deep (1,000 nested
# directories of 10 empty files); all four by default, 5 runs each.
#
# Tools: kestrim DIR /Y /Silent /DelRoot, the same with io_uring refused
# (kestrim-sync), rm -rf, find -delete, rimraf (npm, installed into the work
# directory on first use; left out if npm cannot fetch it), and with output
# to a file: kestrim DIR /Y /DelRoot against rm -rfv.
#
# Needs a build (cmake --workflow --preset ci), strace and GNU time. Trees are
# made in $BENCH_DIR (default /var/tmp/kestrim-bench), which should be on the
# disk you care about; making them is not timed, and each run starts after
# sync.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
shift || true
trees=("$@")
((${#trees[@]})) || trees=(wide balanced balanced4k deep)
work=${BENCH_DIR:-/var/tmp/kestrim-bench}
mkdir -p "$work"
# Copies, so that a rebuild while the benchmark runs cannot change them.
cp build/kestrim build/no_io_uring build/make_tree "$work/"
out=$work/out.txt
tools=(kestrim kestrim-sync rm find rimraf kestrim-v rm-v)
if [[ ! -x $work/node_modules/.bin/rimraf ]] &&
  ! npm install --silent --prefix "$work" rimraf >/dev/null 2>&1; then
  tools=(kestrim kestrim-sync rm find kestrim-v rm-v)
fi

tree_kind() { case $1 in balanced4k) echo balanced ;; *) echo "$1" ;; esac; }
tree_size() { case $1 in balanced4k) echo 4096 ;; *) echo 0 ;; esac; }

make_target() {  # TREE; prints the number of entries below the target
  rm -rf "$work/t"
  "$work/make_tree" "$(tree_kind "$1")" "$work/t" "$(tree_size "$1")"
  sync
}

command_of() {  # TOOL DIR
  case $1 in
    kestrim) echo "$work/kestrim $2 /Y /Silent /DelRoot" ;;
    kestrim-sync) echo "$work/no_io_uring $work/kestrim $2 /Y /Silent /DelRoot" ;;
    rm) echo "rm -rf $2" ;;
    find) echo "find $2 -delete" ;;
    rimraf) echo "$work/node_modules/.bin/rimraf $2" ;;
    kestrim-v) echo "$work/kestrim $2 /Y /DelRoot" ;;
    rm-v) echo "rm -rfv $2" ;;
  esac
}

run_tool() {  # TOOL DIR [WRAPPER...]
  local tool=$1 dir=$2
  shift 2
  # shellcheck disable=SC2046
  "$@" $(command_of "$tool" "$dir") >"$out"
}

median() {
  sort -n | awk '{v[NR] = $1} END {
    printf "%.2f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "| tree | entries | tool | median s | ratio to rm | syscalls/entry | peak KiB |"
echo "|---|---|---|---|---|---|---|"
for tree in "${trees[@]}"; do
  declare -A times=()
  entries=0
  for ((run = 0; run < runs; run++)); do
    # Rotate the order so that no tool always runs first or last.
    for ((i = 0; i < ${#tools[@]}; i++)); do
      tool=${tools[$(((i + run) % ${#tools[@]}))]}
      entries=$(make_target "$tree")
      start=$(date +%s%N)
      run_tool "$tool" "$work/t"
      end=$(date +%s%N)
      [[ ! -e $work/t ]] || { echo "$tool left $work/t behind" >&2; exit 1; }
      times[$tool]+="$(((end - start) / 1000000)) "
    done
  done
  declare -A med=()
  for tool in "${tools[@]}"; do
    med[$tool]=$(tr ' ' '\n' <<<"${times[$tool]}" | sed '/^$/d' |
      awk '{print $1 / 1000}' | median)
  done
  for tool in "${tools[@]}"; do
    base=rm
    [[ $tool == *-v ]] && base=rm-v
    ratio=$(awk -v a="${med[$tool]}" -v b="${med[$base]}" \
      'BEGIN {printf "%.2f", a / b}')
    make_target "$tree" >/dev/null
    run_tool "$tool" "$work/t" strace -c -f -o "$work/strace.txt"
    calls=$(awk '$NF == "total" {print $4}' "$work/strace.txt")
    per=$(awk -v c="$calls" -v e="$entries" 'BEGIN {printf "%.2f", c / e}')
    make_target "$tree" >/dev/null
    run_tool "$tool" "$work/t" /usr/bin/time -o "$work/time.txt" -f %M
    peak=$(tail -n 1 "$work/time.txt")
    echo "| $tree | $entries | $tool | ${med[$tool]} | $ratio | $per | $peak |"
  done
  unset times med
done
rm -rf "$work/t" "$out" "$work/strace.txt" "$work/time.txt"
