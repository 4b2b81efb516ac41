# Bash completion for kirvo-cli: subcommands, their options and option values;
# folders for QUELLE and ZIEL (an sftp:// address is typed).

_kirvo_cli()
{
    local cur prev words cword
    _init_completion -n = || return

    local scan_opts="--exclude-subfolders --exclude-system-folders --no-tolerance
        --compare= --ignore-hour --include= --exclude= --filter-from= --parallel= --quiet --accept-new-host-key --help"
    local compare_opts="--filter= --format= $scan_opts"
    local sync_opts="--direction= --dry-run --yes --no-trash --no-log $scan_opts"
    local undo_opts="--list --yes --dry-run --quiet --accept-new-host-key --help"

    # The subcommand is the first word after the program name that is not an option.
    local i command=""
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            -*) ;;
            *) command=${words[i]}; break ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--help --version" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "compare sync undo" -- "$cur"))
        fi
        return
    fi

    case $cur in
        --filter=*)
            COMPREPLY=($(compgen -W "all unequal to-target to-source equal" -- "${cur#*=}"))
            return ;;
        --format=*)
            COMPREPLY=($(compgen -W "text tsv" -- "${cur#*=}"))
            return ;;
        --compare=*)
            COMPREPLY=($(compgen -W "time time-size content" -- "${cur#*=}"))
            return ;;
        --filter-from=*)
            # a rules file: "+ MUSTER" and "- MUSTER" per line
            cur=${cur#*=}
            _filedir
            return ;;
        --include=* | --exclude=*)
            return ;;  # a pattern such as '*.tmp' or .git/: nothing to offer
        --direction=*)
            [[ $command == sync ]] &&
                COMPREPLY=($(compgen -W "both to-target to-source" -- "${cur#*=}"))
            return ;;
        -*)
            local opts=$compare_opts
            [[ $command == sync ]] && opts=$sync_opts
            [[ $command == undo ]] && opts=$undo_opts
            COMPREPLY=($(compgen -W "$opts" -- "$cur"))
            [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
            return ;;
    esac

    [[ $command == undo ]] && return  # a run's id, as "kirvo-cli undo --list" shows it
    _filedir -d
} &&
    complete -F _kirvo_cli kirvo-cli
