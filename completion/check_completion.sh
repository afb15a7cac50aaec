#!/usr/bin/env bash
# Usage: check_completion.sh COMPLETION_FILE FERRIT_CLI FERRIT_NWEMU
# The completion offers every flag --help lists and the values each flag takes.
set -u
source "$1"
status=0
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/src" "$dir/sub"
touch "$dir/sfile"

# complete FUNCTION WORD...: the candidates for the last word, one line, sorted.
complete_words() {
    local fn=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "$fn"
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' '
}

for program in "$2" "$3"; do
    fn=_ferrit_cli
    [[ $program == *nwemu* ]] && fn=_ferrit_nwemu
    offered=" $(complete_words "$fn" "$program" --) "
    for flag in $("$program" --help | grep -o -- '--[a-z][a-z-]*=\?' | sort -u); do
        if [[ $offered != *" $flag"* ]]; then
            echo "the completion does not offer $flag of $(basename "$program")"
            status=1
        fi
    done
done

# Each row: the words typed (the last one being completed) | the candidates expected.
while IFS='|' read -r words want; do
    read -ra w <<<"$words"
    [[ $words == *" " ]] && w+=("")
    fn=_ferrit_cli
    [[ ${w[0]} == ferrit-nwemu ]] && fn=_ferrit_nwemu
    got=$(cd "$dir" && complete_words "$fn" "${w[@]}")
    if [[ $got != "$want" ]]; then
        echo "completing '$words': got '$got', want '$want'"
        status=1
    fi
done <<'ROWS'
ferrit-cli --err|--errors=
ferrit-cli --errors = |abort ignore
ferrit-cli --errors=i|--errors=ignore
ferrit-cli --overwrite = y|yes
ferrit-cli --set = 1,1|1,10 1,11 1,12 1,13 1,14
ferrit-cli --clear=0,1,1|--clear=0,1,10 --clear=0,1,11 --clear=0,1,12 --clear=0,1,13 --clear=0,1,14
ferrit-cli --jobs = 1|1 16
ferrit-cli --progress = |lines
ferrit-cli s|src sub
ferrit-cli --subdirs src |src sub
ferrit-nwemu |demo grant irm limit owner revoke rights show
ferrit-nwemu irm src |all none
ferrit-nwemu --config = x limit src n|none
ROWS
[[ $status == 0 ]] && echo "the completion offers every flag and the values of each"
exit $status
