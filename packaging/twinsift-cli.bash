# bash completion for twinsift-cli
#
# Commands and options are read from the installed program's own --help, so the
# completion follows the program it completes.

_twinsift_cli_words() {
    # The options of "twinsift-cli $1 --help", or the commands of "twinsift-cli --help".
    local cmd=${1:-}
    if [[ -z $cmd ]]; then
        "${COMP_WORDS[0]}" --help 2>/dev/null |
            awk '/^Subcommands:/ {s=1; next} s && /^  [a-z]/ {print $1}'
        echo --help --version
    else
        # The first column of the Options section: "--mode", "-y,--yes".
        "${COMP_WORDS[0]}" "$cmd" --help 2>/dev/null |
            awk '/^Options:/ {s=1; next} s && /^  -/ {print $1}' | tr ',' '\n'
    fi
}

_twinsift_cli() {
    local cur prev cmd="" i
    COMPREPLY=()
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            scan|remove|hash|prefs) cmd=${COMP_WORDS[i]}; break ;;
        esac
    done

    case $prev in
        --mode) COMPREPLY=($(compgen -W "content name" -- "$cur")); return ;;
        --to) COMPREPLY=($(compgen -W "trash delete move" -- "$cur")); return ;;
        --rule) COMPREPLY=($(compgen -W "0 1 2 3" -- "$cur")); return ;;
        --image-rule) COMPREPLY=($(compgen -W "best 4 5 6 7 8" -- "$cur")); return ;;
        --similar-by) COMPREPLY=($(compgen -W "look colours" -- "$cur")); return ;;
        --dest|--ignore) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --min-size|--max-size|--similarity|--ignore-type|--readers) return ;;
    esac

    if [[ -z $cmd ]]; then
        COMPREPLY=($(compgen -W "$(_twinsift_cli_words)" -- "$cur"))
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_twinsift_cli_words "$cmd")" -- "$cur"))
        return
    fi
    case $cmd in
        scan|remove) COMPREPLY=($(compgen -d -- "$cur")) ;;
        hash) COMPREPLY=($(compgen -f -- "$cur")) ;;
        prefs)
            if [[ $prev == prefs ]]; then
                COMPREPLY=($(compgen -W "$("${COMP_WORDS[0]}" prefs --help 2>/dev/null |
                    awk '/^Settings:/ {s=1; next} s && /^  [A-Za-z]/ {print $1}')" -- "$cur"))
            fi
            ;;
    esac
}
complete -o filenames -F _twinsift_cli twinsift-cli
