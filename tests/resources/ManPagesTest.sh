#!/usr/bin/env bash
# The manual pages render without a warning, and each tells every option its
# program's --help lists, and no other.
# Usage: ManPagesTest.sh MAN_DIR BIN_DIR SOURCE_DIR
set -euo pipefail
man_dir=$1 bin_dir=$2 source_dir=$3
command -v man >/dev/null || { echo "man (man-db) is needed"; exit 77; }
failed=0
fail() {
  echo "FAILED: $*" >&2
  failed=1
}
# The options of a help text or a rendered page's OPTIONS section: the words
# that start with "-" at the head of the option lines.
options() {
  grep -E '^ {2,7}-' | sed -E 's/  +[A-Za-z].*$//' | grep -oE '(^|[ ,])--?[a-z][a-z-]*' |
    tr -d ' ,' | sort -u
}
for page in quillory quillory-extract; do
  # A source line starting with "." or "'" would be taken for a roff request
  # and its text lost.
  if grep -nE "^[[:space:]]*[.']" "$source_dir/$page.1.scd"; then
    fail "$page.1.scd: lines that roff would swallow"
  fi
  rendered=$(MANWIDTH=80 man --warnings -l "$man_dir/$page.1" 2>"$man_dir/$page.warnings") ||
    fail "$page.1 does not render"
  [ ! -s "$man_dir/$page.warnings" ] || fail "$page.1: $(cat "$man_dir/$page.warnings")"
  help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin_dir/$page" --help)
  in_help=$(options <<<"$help")
  in_page=$(sed -n '/^OPTIONS/,/^[A-Z]/p' <<<"$rendered" | options)
  [ -n "$in_help" ] || fail "$page --help lists no option"
  [ "$in_help" = "$in_page" ] ||
    fail "$page: --help lists"$'\n'"$in_help"$'\n'"the page lists"$'\n'"$in_page"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES; do
    grep -qx "$section" <<<"$rendered" || fail "$page.1 has no $section section"
  done
done
exit $failed
