#include "cli/cli_completion.h"

#include "cli/cli_commands.h"

namespace {

// The script with @COMMANDS@ and @OPTIONS@ to fill in.
const char* const kTemplate = R"(# bash completion for tolv-cli
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
            COMPREPLY=($(compgen -W 'ed25519 rsa3072 rsa4096 ed25519-v6' -- "$cur"))
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

    local commands='@COMMANDS@'
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
@OPTIONS@        *) options='' ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        _filedir
    fi
} &&
    complete -F _tolv_cli tolv-cli
)";

void replace(std::string& text, const std::string& marker, const std::string& value)
{
    text.replace(text.find(marker), marker.size(), value);
}

}  // namespace

std::string bashCompletion()
{
    std::string commands, options;
    for (const CliCommand& c : cliCommands()) {
        commands += (commands.empty() ? "" : " ") + std::string(c.name);
        if (!c.options.empty())
            options += "        " + std::string(c.name) + ") options='" + c.options + "' ;;\n";
    }
    std::string script = kTemplate;
    replace(script, "@COMMANDS@", commands);
    replace(script, "@OPTIONS@", options);
    return script;
}
