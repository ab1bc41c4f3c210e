#!/usr/bin/env bash
# Every option of oxlip-convert's usage text has an entry in its man page and is offered by its bash
# completion; the man page formats without a warning; option values complete from their start.
set -uo pipefail
program=$1 manpage=$2 completion=$3
# shellcheck source=/dev/null
source "$completion"

# What the completion offers for a command line whose last word is being typed.
offered() {
    COMP_WORDS=("$program" "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _oxlip_convert
    echo "${COMPREPLY[*]}"
}

status=0
fail() {
    echo "$1" >&2
    status=1
}
options=$("$program" --help | grep -oE -- '(^|[[ ])--?[a-z][a-z0-9-]*' | sed 's/^[[ ]//' | sort -u)
[ -n "$options" ] || fail "no options found in the usage text"
all=" $(offered -) "
for option in $options; do
    grep -qE "^\.(B|BI|BR) ${option//-/\\\\-}( |$)" "$manpage" || fail "$manpage has no entry for $option"
    [[ $all == *" $option "* ]] || fail "the completion does not offer $option"
done

while IFS='|' read -r words expected; do
    got=$(eval "offered $words")
    [ "$got" = "$expected" ] || fail "completing '$words': '$got', not '$expected'"
done <<'CASES'
--ti|--title
--no|--no-gap-fill
-b ''|16 24
--format f|flac
--format = w|wav wv
--lpcm-packing q|quads
--chapters --j|--json
CASES

if command -v groff >/dev/null; then
    warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z "$manpage" 2>&1)
    [ -z "$warnings" ] || fail "$warnings"
fi
exit $status
