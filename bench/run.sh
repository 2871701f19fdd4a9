#!/usr/bin/env bash
# Times kestrim against its peers on generated and real trees and prints a
# Markdown table: the median of alternating runs and its ratio to rm -rf,
# and, with BENCH_DETAILS=1, system calls per deleted entry (strace -c -f)
# and peak memory (GNU time).
#
#   bench/run.sh [RUNS] [TREE...]
#
# TREE is one of
#   wide        100,000 empty files in one directory
#   balanced    10 x 10 directories of 1,000 empty files
#   balanced4k  the same, 4 KiB each
#   small       10,000 directories (100 x 100) of 10 empty files
#   deep        1,000 nested directories of 10 empty files
#   npm         a node_modules installed from bench/npm/package-lock.json
#   usrshare    a copy of /usr/share
# (all by default), 5 runs each.
#
# BENCH_FS chooses where the trees are made: disk (default: $BENCH_DIR,
# /var/tmp/kestrim-bench, on the disk you care about), loop (a fresh ext4 on
# a loop device, mounted without discard; needs root) or tmpfs (needs root).
#
# Tools: kestrim DIR /Y /Silent /DelRoot, the same with io_uring refused
# (kestrim-sync), rm -rf, rimraf (npm, installed into the work directory on
# first use; left out if npm cannot fetch it), and kestrim DIR /Y /DelRoot
# with its listing written to a file (kestrim-v), whose ratio is to
# kestrim's own silent run.
#
# Making a tree is not timed. Each run starts after sync, once the disk has
# gone idle (nothing in /proc/diskstats moves for a second), so that discards
# left over from the previous run do not land in the next.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
shift || true
trees=("$@")
((${#trees[@]})) || trees=(wide balanced balanced4k small deep npm usrshare)
home=${BENCH_DIR:-/var/tmp/kestrim-bench}
fs=${BENCH_FS:-disk}
mkdir -p "$home"
# Copies, so that a rebuild while the benchmark runs cannot change them.
cp build/kestrim build/no_io_uring build/make_tree "$home/"

work=$home
case $fs in
  disk) ;;
  loop)
    work=$home/loop
    mkdir -p "$work"
    truncate -s 16G "$home/loop.img"
    mkfs.ext4 -q -F -E nodiscard "$home/loop.img"
    mount -o loop,nodiscard "$home/loop.img" "$work"
    trap 'umount "$work"; rm -f "$home/loop.img"' EXIT
    ;;
  tmpfs)
    work=$home/tmpfs
    mkdir -p "$work"
    mount -t tmpfs -o size=8G kestrim-bench "$work"
    trap 'umount "$work"' EXIT
    ;;
  *) echo "BENCH_FS is disk, loop or tmpfs" >&2; exit 2 ;;
esac

out=$home/out.txt
tools=(kestrim kestrim-sync rm rimraf kestrim-v)
if [[ ! -x $home/node_modules/.bin/rimraf ]] &&
  ! npm install --silent --prefix "$home" rimraf >/dev/null 2>&1; then
  tools=(kestrim kestrim-sync rm kestrim-v)
fi

# The npm tree is installed once, then copied for every run.
npm_template() {
  local template=$home/npm-template
  if [[ ! -d $template/node_modules ]]; then
    rm -rf "$template"
    mkdir -p "$template"
    cp bench/npm/package.json bench/npm/package-lock.json "$template/"
    (cd "$template" && npm ci --ignore-scripts --no-audit --no-fund \
      --silent >/dev/null)
  fi
  echo "$template/node_modules"
}

wait_idle() {
  sync
  local before after
  before=$(cat /proc/diskstats)
  while sleep 1; do
    after=$(cat /proc/diskstats)
    [[ $after == "$before" ]] && return
    before=$after
  done
}

make_target() {  # TREE; prints the number of entries below the target
  rm -rf "$work/t"
  case $1 in
    npm) cp -a "$(npm_template)" "$work/t" ;;
    usrshare) cp -a /usr/share "$work/t" ;;
    balanced4k) "$home/make_tree" balanced "$work/t" 4096 >/dev/null ;;
    *) "$home/make_tree" "$1" "$work/t" 0 >/dev/null ;;
  esac
  find "$work/t" -mindepth 1 | wc -l
  wait_idle
}

command_of() {  # TOOL DIR
  case $1 in
    kestrim) echo "$home/kestrim $2 /Y /Silent /DelRoot" ;;
    kestrim-sync) echo "$home/no_io_uring $home/kestrim $2 /Y /Silent /DelRoot" ;;
    rm) echo "rm -rf $2" ;;
    rimraf) echo "$home/node_modules/.bin/rimraf $2" ;;
    kestrim-v) echo "$home/kestrim $2 /Y /DelRoot" ;;
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

details=${BENCH_DETAILS:-0}
if ((details)); then
  echo "| fs | tree | entries | tool | median s | ratio | syscalls/entry | peak KiB |"
  echo "|---|---|---|---|---|---|---|---|"
else
  echo "| fs | tree | entries | tool | median s | ratio |"
  echo "|---|---|---|---|---|---|"
fi
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
    [[ $tool == kestrim-v ]] && base=kestrim
    ratio=$(awk -v a="${med[$tool]}" -v b="${med[$base]}" \
      'BEGIN {printf "%.2f", a / b}')
    row="| $fs | $tree | $entries | $tool | ${med[$tool]} | $ratio |"
    if ((details)); then
      make_target "$tree" >/dev/null
      run_tool "$tool" "$work/t" strace -c -f -o "$home/strace.txt"
      calls=$(awk '$NF == "total" {print $4}' "$home/strace.txt")
      per=$(awk -v c="$calls" -v e="$entries" 'BEGIN {printf "%.2f", c / e}')
      make_target "$tree" >/dev/null
      run_tool "$tool" "$work/t" /usr/bin/time -o "$home/time.txt" -f %M
      row+=" $per | $(tail -n 1 "$home/time.txt") |"
    fi
    echo "$row"
  done
  unset times med
done
rm -rf "$work/t" "$out" "$home/strace.txt" "$home/time.txt"
