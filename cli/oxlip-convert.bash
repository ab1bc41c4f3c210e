# bash completion for oxlip-convert: its options, their fixed values, file names, and for --title, --track
# and --chapters the numbers that `oxlip-convert --list` gives for the input already on the command line.

# The numbers --list gives input $4 for option $2, within title $3 when one is given; for --track only LPCM
# streams and tracks, the others are not converted.
_oxlip_convert_numbers() {
    local program=$1 option=$2 title=$3 input=$4
    timeout 5 "$program" --list -- "$input" 2>/dev/null | awk -v option="$option" -v title="$title" '
        NR == 1 { inside = 1; next }
        /^Title [0-9]+:/ {
            n = $2; sub(/:/, "", n); inside = title == "" || n == title
            if (option == "--title") print n
            next
        }
        !inside { next }
        option == "--track" && (/^  Audio [0-9]+: LPCM [0-9]/ || /^  Track [0-9]+: LPCM/) { n = $2; sub(/:/, "", n); print n }
        option == "--chapters" && (/^  Chapter [0-9]+:/ || /^  Track [0-9]+: start/) { n = $2; sub(/:/, "", n); print n }
    ' | sort -nu
}

# The words of $1 that begin with the word being completed.
_oxlip_convert_offer() {
    mapfile -t COMPREPLY < <(compgen -W "$1" -- "$cur")
}

_oxlip_convert() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    # Bash splits "--title=2" at the '=' into three words.
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    # The chapter range is optional: an option may follow --chapters.
    [[ $prev == --chapters && $cur == -* ]] && prev=
    local takes_value='-b -r -o --flac-level --tag --lpcm-packing --track --title --format --threads'
    case $prev in
    -b) _oxlip_convert_offer '16 24' ;;
    -r) _oxlip_convert_offer '48000 96000 44100 88200 192000 176400 32000' ;;
    --lpcm-packing) _oxlip_convert_offer 'pairs quads auto' ;;
    --format) _oxlip_convert_offer 'wav flac wv' ;;
    --flac-level) _oxlip_convert_offer '0 1 2 3 4 5 6 7 8' ;;
    --tag | --threads) COMPREPLY=() ;;
    -o) compopt -o default 2>/dev/null ;;
    --title | --track | --chapters)
        # The input is the first word that names an existing file or folder, not an option's value; the
        # title, for --track and --chapters, the one --title gives.
        local i word input='' title='' skip=''
        for ((i = 1; i < ${#COMP_WORDS[@]}; i++)); do
            word=${COMP_WORDS[i]}
            if ((i == COMP_CWORD)); then
                skip=
                continue
            fi
            if [[ -n $skip || $word == = ]]; then
                [[ $skip == --title && $word != = ]] && title=$word
                [[ $word == = ]] || skip=
                continue
            fi
            if [[ " $takes_value " == *" $word "* ]]; then
                skip=$word
            elif [[ $word == --title=* ]]; then
                title=${word#--title=}
            elif [[ -z $input && $word != -* && -e ${word/#\~/$HOME} ]]; then
                input=${word/#\~/$HOME}
            fi
        done
        [[ -n $input ]] && _oxlip_convert_offer "$(_oxlip_convert_numbers "${COMP_WORDS[0]}" "$prev" "$title" "$input")"
        # Nor need a file follow it: where no number fits, a file name may.
        [[ $prev == --chapters && ${#COMPREPLY[@]} -eq 0 ]] && compopt -o default 2>/dev/null
        ;;
    *)
        if [[ $cur == -* ]]; then
            _oxlip_convert_offer '-b --dither --rf64 --extensible --lpcm-packing --strict --no-gap-fill -r -o
                --list --json --title --track --chapters --format --flac --video-side --flac-level --threads
                --tag -y -q --help --version'
        else
            compopt -o default 2>/dev/null
            COMPREPLY=()
        fi
        ;;
    esac
}
complete -F _oxlip_convert oxlip-convert
