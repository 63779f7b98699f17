#!/usr/bin/env bash
# cmake --install puts the converter and its manual page in place, and the page renders
# without a warning.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/VORT2Pelta"
page="$prefix/share/man/man1/VORT2Pelta.1"
test -f "$page"
warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
MANWIDTH=80 man -l "$page" 2>/dev/null | grep -Eq "VORT2Pelta +\[options\] +Nx +Ny +Nz +vort_file_name"
# --version names the version that the page's title line states.
page_version=$(sed -n 's/^\.TH .*"VORT2Pelta \([0-9][^"]*\)".*/\1/p' "$page")
version=$("$prefix/bin/VORT2Pelta" --version)
[ -n "$page_version" ] && [ "$version" = "VORT2Pelta $page_version" ] ||
  { echo "--version prints \"$version\"; the page is of version \"$page_version\""; exit 1; }
# Every option that --help lists has its entry in the page.
rendered=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
options=$("$prefix/bin/VORT2Pelta" --help | sed -n 's/^ \(-h, \)\{0,1\}\(--[a-z-]*\).*/\2/p')
[ -n "$options" ]
for option in $options; do
  grep -Eq -- "^ +(-h, )?$option" <<<"$rendered" || { echo "not in the manual page: $option"; exit 1; }
done
echo "installed and rendered"
