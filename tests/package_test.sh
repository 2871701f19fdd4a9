#!/usr/bin/env bash
# Installs the program as a user would, through `cmake --install` and through
# the .deb unpacked into a scratch root, and runs what was installed.
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d /tmp/kestrim-package-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

check_installed() {  # PREFIX
  local bin=$1/bin/kestrim page=$1/share/man/man1/kestrim.1.gz
  [[ -x $bin ]] || fail "no $bin"
  [[ -f $page ]] || fail "no $page"
  # Captured first, then matched: under pipefail, a pipe into a quiet grep
  # fails whenever grep has its match before the producer is done writing.
  local rendered warnings
  warnings=$(man -l "$page" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "man -l warns on $page: $warnings"
  rendered=$(man -l "$page" 2>/dev/null)
  [[ $rendered == *'kestrim - empty a directory tree'* ]] ||
    fail "man -l does not render $page"
  mkdir -p "$scratch/t/sub" && touch "$scratch/t/sub/f"
  local out status=0
  out=$("$bin" "$scratch/t" /Y /DelRoot) || status=$?
  [[ $status == 0 ]] || fail "$bin exited with $status"
  [[ $out == "$scratch/t/sub"$'\n\t'f ]] || fail "$bin printed: $out"
  [[ ! -e $scratch/t ]] || fail "$bin left $scratch/t"
  status=0
  "$bin" '/?' >/dev/null || status=$?
  [[ $status == 2 ]] || fail "$bin /? exited with $status"
}

page=$(dirname "$0")/../man/kestrim.1
lint=$(groff -ww -z -man "$page" 2>&1)
[[ -z $lint ]] || fail "groff -ww warns on $page: $lint"

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_installed "$scratch/prefix"
echo "cmake --install: bin/kestrim and share/man/man1/kestrim.1.gz work"

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$scratch"/kestrim_*.deb)
contents=$(dpkg-deb -c "$deb")
grep -q '\./usr/bin/kestrim$' <<<"$contents" || fail "no usr/bin/kestrim in $deb"
grep -q '\./usr/share/man/man1/kestrim.1.gz$' <<<"$contents" ||
  fail "no man page in $deb"
description=$(dpkg-deb -f "$deb" Description)
[[ $description == *'empty a directory tree'* ]] ||
  fail "no description in $deb"
dpkg -x "$deb" "$scratch/root"
check_installed "$scratch/root/usr"
echo "$(basename "$deb"): unpacked into a scratch root, its kestrim works"
