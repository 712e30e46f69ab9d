# bash completion for tolv-cli
_tolv_cli()
{
    local cur prev words cword
    _init_completion || return

    case $prev in
        --ini | --passphrase-file | --new-passphrase-file)
            _filedir
            return
            ;;
        --algorithm)
            COMPREPLY=($(compgen -W 'ed25519 rsa3072 rsa4096' -- "$cur"))
            return
            ;;
        --order)
            COMPREPLY=($(compgen -W '1 2 4 6 8 10 12 14 16' -- "$cur"))
            return
            ;;
        --expires)
            COMPREPLY=($(compgen -W 'never 365 730 1095' -- "$cur"))
            return
            ;;
        --passphrase-fd | --signer | --recipient | --name | --email)
            return
            ;;
    esac

    local commands='encode decode verify keys fingerprint export generate import delete passwd'
    local command='' i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --ini | --signer | --recipient | --name | --email | --algorithm | --expires | \
                --new-passphrase-file | --passphrase-fd | --passphrase-file | --order)
                ((i++))
                ;;
            -*) ;;
            *)
                command=${words[i]}
                break
                ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--ini --help --version' -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi

    local options
    case $command in
        encode) options='--signer --recipient --encrypt-to-self --sign-only --clear-sign --detached
                         --symmetric --armor --passphrase-fd --passphrase-file' ;;
        decode) options='--passphrase-fd --passphrase-file' ;;
        keys) options='--order' ;;
        export) options='--armor --secret' ;;
        generate) options='--name --email --algorithm --expires --passphrase-fd --passphrase-file' ;;
        delete) options='--secret --yes' ;;
        passwd) options='--passphrase-file --new-passphrase-file' ;;
        *) options='' ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        _filedir
    fi
} &&
    complete -F _tolv_cli tolv-cli
