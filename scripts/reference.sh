#!/usr/bin/env bash
# The runtime's reference, generated from an installed runtime: scripts/reference.sh PREFIX OUTPUT.
# Doxygen reads the headers below PREFIX/include, the pages in docs/reference and the message
# texts of runtime/core/error_table.cpp, and writes OUTPUT/html. Every warning fails it (exit 1):
# an undocumented public declaration, a parameter the text does not name, a broken reference.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -ne 2 ] || [ ! -d "$1/include/runtime" ]; then
    echo "usage: $0 PREFIX OUTPUT   (PREFIX: an installed runtime)" >&2
    exit 2
fi
mkdir -p "$2/pages"
output=$(cd "$2" && pwd)

# The page of every message text, from the error table's rows ({code, "text" "text"},), its
# Windows-1252 escapes made UTF-8.
{
    printf '@page error_texts The message texts\n\n'
    printf 'Every code of the error table with its text, byte for byte (misspellings included); a code\n'
    printf 'that is not in the table has the empty text. See @ref errors for when each is raised.\n\n'
    printf '| code | text |\n|---|---|\n'
    sed -n 's/^ *{\([0-9]*\), \(".*"\)},$/\1 \2/p' "$root/runtime/core/error_table.cpp" |
        while read -r code text; do
            text=${text//\" \"/}
            printf '| %s | "%b" |\n' "$code" "${text:1:-1}"
        done | iconv -f WINDOWS-1252 -t UTF-8
} >"$output/pages/error_texts.md"

rm -rf "$output/html"
BRISKO_INCLUDE=$(cd "$1/include" && pwd) BRISKO_PAGES="$root/docs/reference" BRISKO_GENERATED="$output/pages" \
    BRISKO_REFERENCE="$output" doxygen "$root/docs/reference/Doxyfile"
