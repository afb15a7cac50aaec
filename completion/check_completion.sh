#!/usr/bin/env bash
# Usage: check_completion.sh COMPLETION_FILE FERRIT_CLI FERRIT_NWEMU
# The completion offers every flag --help lists and the values each flag takes.
set -u
source "$1"
status=0
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT && cd "$dir" && mkdir src sub && touch sfile

# complete_words FUNCTION WORD...: the sorted candidates for the last word, on one line.
complete_words() {
    local fn=$1
    shift
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMPREPLY=()
    "$fn"
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' '
}

for fn in "_ferrit_cli $2" "_ferrit_nwemu $3"; do
    offered=" $(complete_words $fn --) "
    for flag in $(${fn#* } --help | grep -o -- '--[a-z][a-z-]*=\?' | sort -u); do
        [[ $offered == *" $flag"* ]] || { echo "${fn#* }: $flag is not offered"; status=1; }
    done
done

# The words typed (the last one being completed) | the candidates expected.
while IFS='|' read -r words want; do
    read -ra w <<<"$words"
    [[ $words == *" " ]] && w+=("")
    fn=_ferrit_cli && [[ ${w[0]} == ferrit-nwemu ]] && fn=_ferrit_nwemu
    got=$(complete_words "$fn" "${w[@]}")
    [[ $got == "$want" ]] || { echo "'$words' completes to '$got', not '$want'"; status=1; }
done <<'ROWS'
ferrit-cli --errors = |abort ignore
ferrit-cli --overwrite=y|--overwrite=yes
ferrit-cli --set = 1,1|1,10 1,11 1,12 1,13 1,14
ferrit-cli --clear=0,1,1|--clear=0,1,10 --clear=0,1,11 --clear=0,1,12 --clear=0,1,13 --clear=0,1,14
ferrit-cli --jobs = 1|1 16
ferrit-cli --subdirs s|src sub
ferrit-nwemu |demo grant irm limit owner revoke rights show
ferrit-nwemu --config = x limit src n|none
ROWS
[[ $status == 0 ]] && echo "the completion offers every flag and the values of each"
exit $status
