#!/usr/bin/env bash
# Holds the undefined dynamic symbols of a library against an allow-list.
# Usage: check_undefined_symbols.sh NM LIBRARY ALLOW_LIST
# NM is the binutils nm for the library's architecture (the cross nm for armhf builds).
set -euo pipefail
nm_program=$1 library=$2 allow_list=$3

listing=$("$nm_program" -D -C --undefined-only "$library")
if [ -z "$listing" ]; then
    echo "no undefined symbols read from $library" >&2
    exit 1
fi

# Allowed names and prefixes ("name*"), comments and blank lines dropped.
mapfile -t allowed < <(sed -e 's/#.*//' -e 's/[[:space:]]*$//' -e '/^$/d' "$allow_list")

is_allowed() {  # demangled name without parameters
    local entry
    for entry in "${allowed[@]}"; do
        if [[ $entry == *'*' ]]; then
            [[ $1 == "${entry%\*}"* ]] && return 0
        elif [[ $1 == "$entry" ]]; then
            return 0
        fi
    done
    return 1
}

status=0
while IFS= read -r line; do
    # "<blank> U name@VERSION": type letter, then the (demangled) symbol.
    read -r type symbol <<<"$line"
    case $type in
        w | v) continue ;;  # weak toolchain symbols
    esac
    version=
    if [[ $symbol == *@* ]]; then
        version=${symbol##*@}
        symbol=${symbol%@*}
        symbol=${symbol%@}
    fi
    case $version in
        GLIBC_* | GLIBCXX_* | CXXABI_* | GCC_*) continue ;;
    esac
    name=$(sed -e 's/\[abi:[^]]*\]//g' <<<"$symbol")
    name=${name%%(*}
    if ! is_allowed "$name"; then
        echo "not in the allow-list: $symbol${version:+@$version}"
        status=1
    fi
done <<<"$listing"

if [ $status -eq 0 ]; then
    echo "every undefined symbol of $(basename "$library") is allowed"
fi
exit $status
