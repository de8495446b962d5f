# bash completion for zint9
_zint9()
{
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    case $prev in
        --port)
            COMPREPLY=($(compgen -W "$(zint9 ports 2>/dev/null | awk '{print $1}')" -- "$cur"))
            return ;;
        --ports)
            COMPREPLY=($(compgen -W "$(zint9 ports 2>/dev/null | awk '{print $1}')" -- "$cur"))
            return ;;
        --out | --in | --report | --trace)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
        --backup-dir)
            COMPREPLY=($(compgen -d -- "$cur"))
            return ;;
        --cold-junction)
            COMPREPLY=($(compgen -W "on off" -- "$cur"))
            return ;;
        --sensor | --low | --high | --fail | --band | --filter | --dac-low | --dac-high)
            return ;;
    esac
    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W "ports read show set write --help --version" -- "$cur"))
        return
    fi
    case ${COMP_WORDS[1]} in
        show) COMPREPLY=($(compgen -W "--json --help" -f -- "$cur")) ;;
        *) COMPREPLY=($(compgen -W "--port --out --in --json --sensor --low --high --fail --cold-junction
                                    --band --filter --dac-low --dac-high --demo --no-verify --backup-dir
                                    --quiet --trace --help --ports --repeat --report" -- "$cur")) ;;
    esac
}
complete -F _zint9 zint9
