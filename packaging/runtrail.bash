# bash completion for runtrail                                 -*- shell-script -*-
#
# Options are single-dash words, matched by their prefix. After an option that names a file
# (-out, -outfile, -diags, -image) and for a plain name, file names are offered; after -enumdir,
# directories; after -dateformat and -timeformat, the common patterns; after an option that takes
# a number or free text, nothing.

_runtrail() {
    local i=$COMP_CWORD
    local cur=${COMP_WORDS[i]}
    # bash splits a word at ':' (COMP_WORDBREAKS), which time patterns hold: join the pieces.
    while ((i > 1)) && [[ ${COMP_WORDS[i]} == : || ${COMP_WORDS[i - 1]} == : ]]; do
        ((i--))
        cur=${COMP_WORDS[i]}$cur
    done
    local prev=${COMP_WORDS[i - 1]}
    COMPREPLY=()

    # runtrail reads option names without regard to case.
    case ${prev,,} in
        -out | -outfile | -diags | -image)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return
            ;;
        -enumdir)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            return
            ;;
        -dateformat)
            mapfile -t COMPREPLY < <(compgen -W 'yyyy-mm-dd mm/dd/yyyy dd/mm/yyyy yyyy/mm/dd
                mm-dd-yyyy dd-mm-yyyy mm/dd/yy dd/mm/yy' -- "$cur")
            return
            ;;
        -timeformat)
            mapfile -t COMPREPLY < <(compgen -W 'hh:mm:ss hh:mm:ss.xxx hh:mm:ss.xxxxxx
                hh:mm:ss.xxxxxxx' -- "$cur")
            # bash replaces only the text after the last ':' of the word.
            local before_colon=${cur%"${cur##*:}"}
            COMPREPLY=("${COMPREPLY[@]#"$before_colon"}")
            return
            ;;
        -num_subdirs | -threads | -hostname | -username | -filter | -filter_skip | -csv_separator)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        # Typed in capitals, an option completes to its usual lower-case form.
        mapfile -t COMPREPLY < <(compgen -W '-h -help -csv -csvl2t -bodyfile -jsonl -timesketch
            -html -longform -verbose -v -pipe -enumdir -num_subdirs -image -threads -filter
            -filter_skip -hostname -username -dateformat -timeformat -pair_datetime -hashcheck
            -no_whitespace -csv_separator -enable_quoted_csv_fields -pf_path -out -outfile -append
            -quiet -profile -diags' -- "${cur,,}")
    else
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}

complete -F _runtrail runtrail
