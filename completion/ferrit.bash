# bash completion for ferrit-cli and ferrit-nwemu. Installed under each command's name in the
# completion directory, where bash-completion loads it on first use; `source` it to try it.

# Sets _ferrit_flag and _ferrit_value when the word being completed is the value of a
# --flag=value, whether or not bash split the word at its '=' (COMP_WORDBREAKS); _ferrit_lead
# is what each candidate must start with then: the flag and '=' when the word was not split.
_ferrit_split_value() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]:-}
    _ferrit_flag= _ferrit_value= _ferrit_lead=
    if [[ $cur == = && $prev == --* ]]; then
        _ferrit_flag=$prev
    elif [[ $prev == = ]] && ((COMP_CWORD >= 2)); then
        _ferrit_flag=${COMP_WORDS[COMP_CWORD - 2]}
        _ferrit_value=$cur
    elif [[ $cur == --*=* ]]; then
        _ferrit_flag=${cur%%=*}
        _ferrit_value=${cur#*=}
        _ferrit_lead=$_ferrit_flag=
    fi
    [[ -n $_ferrit_flag ]]
}

# _ferrit_offer WORD...: the words that start with the value typed, as candidates.
_ferrit_offer() {
    local w
    for w in "$@"; do
        [[ $w == "$_ferrit_value"* ]] && COMPREPLY+=("$_ferrit_lead$w")
    done
}

# _ferrit_files [-d]: file (or directory) names for the value typed.
_ferrit_files() {
    local w
    compopt -o filenames 2>/dev/null
    while IFS= read -r w; do
        COMPREPLY+=("$_ferrit_lead$w")
    done < <(compgen "${1:--f}" -- "$_ferrit_value")
}

_ferrit_cli() {
    COMPREPLY=()
    local cur=${COMP_WORDS[COMP_CWORD]}
    if _ferrit_split_value; then
        case $_ferrit_flag in
        --errors) _ferrit_offer abort ignore ;;
        --overwrite) _ferrit_offer ask yes no ;;
        --progress) _ferrit_offer lines ;;
        --jobs) _ferrit_offer 1 2 4 8 16 32 64 ;;
        --set | --clear)
            # A comma-separated list of indexes: the next one, not those already listed.
            local done=${_ferrit_value%"${_ferrit_value##*,}"} i
            local last=${_ferrit_value##*,}
            for ((i = 0; i <= 14; i++)); do
                [[ ,$done == *,$i,* || $i != "$last"* ]] && continue
                COMPREPLY+=("$_ferrit_lead$done$i")
            done
            compopt -o nospace 2>/dev/null
            ;;
        --log | --netware-config) _ferrit_files -f ;;
        esac
        return 0
    fi
    if [[ $cur == -* ]]; then
        local flags=(--subdirs --create-dirs --confirm --older --always --read-only --move
            --both-ways --keep-owner --keep-dir-trustees --keep-file-trustees --keep-irm
            --keep-limits --archive-only --clear-archive --set= --clear= --saved --pattern=
            --errors= --overwrite= --jobs= --dry-run --log= --netware-config= --progress
            --progress=lines --no-progress --quiet --version --help)
        COMPREPLY=($(compgen -W "${flags[*]}" -- "$cur"))
        [[ ${#COMPREPLY[@]} == 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
        return 0
    fi
    # SOURCE and TARGET.
    _ferrit_value=$cur _ferrit_lead=
    _ferrit_files -d
}

_ferrit_nwemu() {
    COMPREPLY=()
    local cur=${COMP_WORDS[COMP_CWORD]}
    if _ferrit_split_value; then
        [[ $_ferrit_flag == --config ]] && _ferrit_files -f
        return 0
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--config= --force --help --version" -- "$cur"))
        [[ ${#COMPREPLY[@]} == 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
        return 0
    fi
    # The words before this one, without the flags: the command, then its arguments.
    local words=() i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        -* | =) ;;
        *) [[ ${COMP_WORDS[i - 1]} == = ]] || words+=("${COMP_WORDS[i]}") ;;
        esac
    done
    _ferrit_value=$cur _ferrit_lead=
    if ((${#words[@]} == 0)); then
        _ferrit_offer show rights grant revoke owner irm limit demo
    elif ((${#words[@]} == 1)); then
        [[ ${words[0]} == demo ]] && _ferrit_files -d || _ferrit_files -f
    elif [[ ${words[0]} == limit && ${#words[@]} == 2 ]]; then
        _ferrit_offer none
    elif [[ (${words[0]} == grant && ${#words[@]} == 3) || (${words[0]} == irm && ${#words[@]} == 2) ]]; then
        _ferrit_offer all none
    fi
}

complete -F _ferrit_cli ferrit-cli
complete -F _ferrit_nwemu ferrit-nwemu
