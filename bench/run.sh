#!/usr/bin/env bash
# Times kestrim against rm -rf and find -delete on generated trees and prints
# a Markdown table: medians of alternating runs, ratios to rm -rf, and system
# calls per deleted entry (strace -c -f).
#
#   bench/run.sh [RUNS] [TREE...]     TREE: wide balanced balanced4k deep
#
# Needs: a build (cmake --workflow --preset ci), strace. Trees are made in
# $BENCH_DIR (default /var/tmp/kestrim-bench), which should be on the disk
# you care about; generation is not timed, and each run starts after sync.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
shift || true
trees=("$@")
((${#trees[@]})) || trees=(wide balanced balanced4k deep)
work=${BENCH_DIR:-/var/tmp/kestrim-bench}
mkdir -p "$work"
# Copies, so that a rebuild while the benchmark runs cannot change them.
cp build/kestrim build/make_tree "$work/"
kestrim=$work/kestrim
make_tree=$work/make_tree
out=$work/out.txt
tools=(kestrim rm find kestrim-v rm-v)

tree_kind() { case $1 in balanced4k) echo balanced ;; *) echo "$1" ;; esac; }
tree_size() { case $1 in balanced4k) echo 4096 ;; *) echo 0 ;; esac; }

make_target() {  # TREE -> prints the entry count
  rm -rf "$work/t"
  "$make_tree" "$(tree_kind "$1")" "$work/t" "$(tree_size "$1")"
  sync
}

run_tool() {  # TOOL DIR
  case $1 in
    kestrim) "$kestrim" "$2" /Y /Silent /DelRoot ;;
    rm) rm -rf "$2" ;;
    find) find "$2" -delete ;;
    kestrim-v) "$kestrim" "$2" /Y /DelRoot >"$out" ;;
    rm-v) rm -rfv "$2" >"$out" ;;
  esac
}

median() { sort -n | awk '{v[NR]=$1} END {m=(NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2; printf "%.3f", m}'; }

echo "| tree | entries | tool | median s | ratio | syscalls/entry |"
echo "|---|---|---|---|---|---|"
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
      times[$tool]+="$(((end - start) / 1000))e-6 "
    done
  done
  declare -A med=()
  for tool in "${tools[@]}"; do
    med[$tool]=$(tr ' ' '\n' <<<"${times[$tool]}" | sed '/^$/d' | awk '{printf "%.6f\n", $1}' | median)
  done
  for tool in "${tools[@]}"; do
    base=rm
    [[ $tool == *-v ]] && base=rm-v
    ratio=$(awk -v a="${med[$tool]}" -v b="${med[$base]}" 'BEGIN {printf "%.2f", a / b}')
    make_target "$tree" >/dev/null
    strace -c -f -o "$work/strace.txt" bash -c "$(declare -f run_tool); kestrim=$kestrim out=$out run_tool $tool $work/t"
    calls=$(awk '$NF == "total" {print $4}' "$work/strace.txt")
    per=$(awk -v c="$calls" -v e="$entries" 'BEGIN {printf "%.2f", c / e}')
    echo "| $tree | $entries | $tool | ${med[$tool]} | $ratio | $per |"
  done
  unset times med
done
rm -rf "$work/t" "$out" "$work/strace.txt"
