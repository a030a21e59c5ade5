# bash completion for veltrano-cli. The options come from the program's own
# --help and the profile identifiers from "veltrano-cli profiles", so neither
# list can fall behind the program.

_veltrano_cli() {
    local cur="${COMP_WORDS[COMP_CWORD]}" prev="${COMP_WORDS[COMP_CWORD-1]}"
    local program="${COMP_WORDS[0]}" command="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case "${COMP_WORDS[i]}" in
            convert|join|profiles|info|repair) command="${COMP_WORDS[i]}"; break ;;
        esac
    done
    COMPREPLY=()

    case "$prev" in
        -p|--profile)
            COMPREPLY=($(compgen -W "$("$program" profiles --json 2>/dev/null |
                                      sed -n 's/^{"id":\([0-9]*\),.*/\1/p')" -- "$cur"))
            return ;;
        -o|--out)
            COMPREPLY=($(compgen -d -- "$cur")); compopt -o filenames 2>/dev/null
            return ;;
        -e|--existing) COMPREPLY=($(compgen -W "new overwrite skip" -- "$cur")); return ;;
        -j|--jobs) COMPREPLY=($(compgen -W "1 2 3 4 5 6 7 8 9 10" -- "$cur")); return ;;
        --size|--fps) COMPREPLY=($(compgen -W "original" -- "$cur")); return ;;
        --results)
            COMPREPLY=($(compgen -f -- "$cur")); compopt -o filenames 2>/dev/null
            return ;;
        --profiles)
            COMPREPLY=($(compgen -f -X '!*.[xX][mM][lL]' -- "$cur") $(compgen -d -- "$cur"))
            compopt -o filenames 2>/dev/null
            return ;;
        -s|--sequences) return ;;
    esac

    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "$("$program" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u)" -- "$cur"))
        return
    fi
    case "$command" in
        "") COMPREPLY=($(compgen -W "convert join profiles info repair" -- "$cur")) ;;
        convert)
            COMPREPLY=($(compgen -f -X '!*.[fF][lL][vV]' -- "$cur") $(compgen -f -X '!*.[pP][vV][xX][pP]' -- "$cur")
                       $(compgen -d -- "$cur"))
            compopt -o filenames 2>/dev/null ;;
        join|repair)
            COMPREPLY=($(compgen -f -X '!*.[fF][lL][vV]' -- "$cur") $(compgen -d -- "$cur"))
            compopt -o filenames 2>/dev/null ;;
        info)
            COMPREPLY=($(compgen -f -- "$cur"))
            compopt -o filenames 2>/dev/null ;;
    esac
}
complete -F _veltrano_cli veltrano-cli
