#!/usr/bin/env bash
# Bash completion of quillory-extract: options, folders after --out, files
# after --report and --files-from, movies and folders for the arguments.
# Usage: CompletionTest.sh COMPLETION_FILE SCRATCH_DIR
set -euo pipefail
completion=$1 scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch/sub" "$scratch/with space"
touch "$scratch/a.swf" "$scratch/B.SWF" "$scratch/c.txt" "$scratch/d.Swf" "$scratch/sub/e.swf"
cd "$scratch"
source "$completion"
complete -p quillory-extract >/dev/null

failed=0
# Completes the words given (the last one being typed) and compares the
# offers, sorted, with the expected ones.
check() {
  local expected=$1
  shift
  COMP_WORDS=(quillory-extract "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _quillory_extract 2>/dev/null || true
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' '|')
  if [ "$got" != "$expected" ]; then
    echo "FAILED: quillory-extract $* -> $got instead of $expected" >&2
    failed=1
  fi
}
check 'B.SWF|a.swf|d.Swf|sub|with space|' ''
check 'sub/e.swf|' sub/
check '--out|' --o
check '--files-from|' --fi
check '--|--files-from|--help|--jobs|--list|--names|--out|--prefix|--premultiplied|--quiet|--report|--verbose|--version|-j|-l|-q|-v|' -
check 'sub|with space|' --out ''
check 'sub|' --out = s
check 'c.txt|' --report c
check 'c.txt|' --files-from c
check '|' --prefix ''
check '|' -j ''
check '|' -- -
check 'a.swf|' -- a
check 'B.SWF|a.swf|d.Swf|sub|with space|' --out sub ''
exit $failed
