# Bash completion for quillory-extract: its options, folders for --out,
# files for --report and --files-from, and movies (*.swf in any letter case)
# and folders for the arguments.
_quillory_extract() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  # "--out=DIR" reaches here as "--out" "=" "DIR"; right after the "=",
  # there is nothing to offer until a first character is typed.
  [[ $cur == = ]] && return
  [[ $prev == = ]] && ((COMP_CWORD > 1)) && prev=${COMP_WORDS[COMP_CWORD - 2]}
  local IFS=$'\n'
  case $prev in
    --out)
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -d -- "$cur"))
      return
      ;;
    --report | --files-from)
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -f -- "$cur"))
      return
      ;;
    --prefix | -j | --jobs)
      COMPREPLY=()
      return
      ;;
  esac
  local word options_done=
  for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
    [[ $word == -- ]] && options_done=1
  done
  if [[ -z $options_done && $cur == -* ]]; then
    IFS=$' \n'
    COMPREPLY=($(compgen -W '--out --prefix --names --premultiplied -j --jobs --report
      --files-from -l --list -q --quiet -v --verbose --help --version --' -- "$cur"))
    return
  fi
  compopt -o filenames 2>/dev/null
  COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.[sS][wW][fF]' -- "$cur"))
}
complete -F _quillory_extract quillory-extract
