#!/usr/bin/env bash
# Every man page renders without a warning from man or groff, and names,
# as an option entry, every option that its program's usage text lists.
#   check_man_pages.sh MAN_DIR BIN_DIR
set -uo pipefail
man_dir=$1 bin=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for page in "$man_dir"/*.[18]; do
  name=$(basename "$page")
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$name: man warns: $warnings"
  warnings=$(groff -ww -z -man "$page" 2>&1)
  [ -z "$warnings" ] || fail "$name: groff warns: $warnings"
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null)
  for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" "SEE ALSO"; do
    grep -qx "$section" <<<"$text" || fail "$name: no $section section"
  done
done

# The tags of a page's option entries (the line after each .TP), with
# roff's \- turned back into -.
tags() { awk 'prev == ".TP" { print } { prev = $0 }' "$man_dir/$1" | sed 's/\\-/-/g'; }

check_options() {
  local page=$1; shift
  local tag_text
  tag_text=$(tags "$page")
  for opt in "$@"; do
    grep -qE -- "(^|[ \"])$opt([ \"]|$)" <<<"$tag_text" || fail "$page: option $opt has no entry"
  done
}

# qorrfc_server prints its usage (to the log, standard error) for -h.
mapfile -t opts < <("$bin/qorrfc_server" -h 2>&1 | sed -n 's/^  \(-[A-Za-z]\):.*/\1/p')
[ ${#opts[@]} -ge 10 ] || fail "qorrfc_server usage lists only ${#opts[@]} options"
check_options qorrfc_server.8 "${opts[@]}"

# qorcli: the commands its usage lists, each with a help of its own whose
# options the man page describes.
mapfile -t cmds < <("$bin/qorcli" --help | sed -n 's/^  \([a-z][a-z-]*\)\( .*\)\{0,1\}$/\1/p')
[ ${#cmds[@]} -ge 4 ] || fail "qorcli usage lists only ${#cmds[@]} commands"
check_options qorcli.1 "${cmds[@]}"
helps=$("$bin/qorcli" --help)
for cmd in "${cmds[@]}"; do
  help=$("$bin/qorcli" "$cmd" --help) || fail "qorcli $cmd --help failed"
  grep -q "^usage: qorcli $cmd" <<<"$help" || fail "qorcli $cmd --help shows no usage of $cmd"
  helps+=$'\n'"$help"
done
"$bin/qorcli" nosuchcommand --help >/dev/null 2>&1 && fail "qorcli accepts help for an unknown command"
mapfile -t opts < <(grep -oE -- '--[a-z][a-z-]*' <<<"$helps" | sort -u)
[ ${#opts[@]} -ge 10 ] || fail "qorcli's helps list only ${#opts[@]} options"
check_options qorcli.1 "${opts[@]}"

mapfile -t opts < <("$bin/r3sim" --help | sed -n 's/^  \(--[a-z]*\).*/\1/p')
[ ${#opts[@]} -ge 5 ] || fail "r3sim usage lists only ${#opts[@]} options"
check_options r3sim.1 "${opts[@]}"

[ "$failures" -eq 0 ] || exit 1
echo "man pages ok"
