# Bash completion for kirvo-cli: subcommands, their options and option values;
# folders for QUELLE and ZIEL (an sftp:// address is typed).

_kirvo_cli()
{
    local cur prev words cword
    _init_completion -n = || return

    local scan_opts="--exclude-subfolders --exclude-system-folders --no-tolerance
        --compare= --ignore-hour --links= --include= --exclude= --filter-from= --parallel= --quiet --accept-new-host-key --help"
    local compare_opts="--filter= --format= $scan_opts"
    local sync_opts="--mode= --direction= --dry-run --yes --no-trash --no-log --format= $scan_opts"
    local job_save_opts="--mode= --direction= --yes --no-trash --no-log $scan_opts"
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
            COMPREPLY=($(compgen -W "compare sync undo job run watch schedule" -- "$cur"))
        fi
        return
    fi

    # Jobs are named by their files in ~/.config/kirvo/jobs.
    local jobs_dir=${XDG_CONFIG_HOME:-$HOME/.config}/kirvo/jobs
    local job_names
    job_names=$(cd "$jobs_dir" 2>/dev/null && for f in *.job; do [[ -e $f ]] && printf '%s\n' "${f%.job}"; done)
    case $command in
        job)
            local action=${words[i + 1]-}
            if ((cword == i + 1)); then
                COMPREPLY=($(compgen -W "save list show delete" -- "$cur"))
                return
            fi
            if ((cword == i + 2)) && [[ $action == show || $action == delete ]]; then
                COMPREPLY=($(compgen -W "$job_names" -- "$cur"))
                return
            fi
            [[ $action == save ]] || return
            ((cword == i + 2)) && return  # a new name
            command=job_save ;;
        run | watch | schedule)
            case $cur in
                --format=*)
                    COMPREPLY=($(compgen -W "text json" -- "${cur#*=}"))
                    return ;;
                --every=*)
                    COMPREPLY=($(compgen -W "hourly daily weekly" -- "${cur#*=}"))
                    return ;;
                --mount-point=*)
                    cur=${cur#*=}
                    _filedir -d
                    return ;;
                -*)
                    local opts="--dry-run --format= --quiet --help"
                    [[ $command == watch ]] && opts="--interval= --help"
                    [[ $command == schedule ]] && opts="--every= --when-mounted --mount-point= --off --help"
                    COMPREPLY=($(compgen -W "$opts" -- "$cur"))
                    [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
                    return ;;
            esac
            COMPREPLY=($(compgen -W "$job_names" -- "$cur"))
            return ;;
    esac

    case $cur in
        --filter=*)
            COMPREPLY=($(compgen -W "all unequal to-target to-source equal" -- "${cur#*=}"))
            return ;;
        --format=*)
            if [[ $command == compare ]]; then
                COMPREPLY=($(compgen -W "text tsv json" -- "${cur#*=}"))
            else
                COMPREPLY=($(compgen -W "text json" -- "${cur#*=}"))
            fi
            return ;;
        --mode=*)
            COMPREPLY=($(compgen -W "update" -- "${cur#*=}"))
            return ;;
        --compare=*)
            COMPREPLY=($(compgen -W "time time-size content" -- "${cur#*=}"))
            return ;;
        --links=*)
            COMPREPLY=($(compgen -W "follow copy skip" -- "${cur#*=}"))
            return ;;
        --filter-from=*)
            # a rules file: "+ MUSTER" and "- MUSTER" per line
            cur=${cur#*=}
            _filedir
            return ;;
        --include=* | --exclude=*)
            return ;;  # a pattern such as '*.tmp' or .git/: nothing to offer
        --direction=*)
            [[ $command == sync || $command == job_save ]] &&
                COMPREPLY=($(compgen -W "both to-target to-source" -- "${cur#*=}"))
            return ;;
        -*)
            local opts=$compare_opts
            [[ $command == sync ]] && opts=$sync_opts
            [[ $command == undo ]] && opts=$undo_opts
            [[ $command == job_save ]] && opts=$job_save_opts
            COMPREPLY=($(compgen -W "$opts" -- "$cur"))
            [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
            return ;;
    esac

    [[ $command == undo ]] && return  # a run's id, as "kirvo-cli undo --list" shows it
    _filedir -d
} &&
    complete -F _kirvo_cli kirvo-cli
