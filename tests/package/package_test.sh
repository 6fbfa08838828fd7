#!/usr/bin/env bash
# The runtime as a package: installs the Windows build into a folder of its own, builds the program
# in consumer/ against that install as a program outside this tree is built (once more without its
# program_info.h), runs it under Wine (prefix and display from the caller) and checks what it wrote
# and what its executable carries. Then the installed folder report example, built with CMake and
# with the README's plain compiler lines, list_programs with the pkg-config flags, and the
# package's refusals of a wrong compiler and an unknown component.
# package_test.sh WINDOWS_BUILD_FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
install="$build/package"
work="$build/package-consumer"

fail() {
    echo "package_test: $*" >&2
    exit 1
}

# build_program SOURCE_FOLDER BUILD_FOLDER: the two commands a program's author runs.
build_program() {
    cmake -S "$1" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$install/lib/cmake/Brisko/mingw-i686.cmake" \
        -DCMAKE_PREFIX_PATH="$install" >/dev/null
    cmake --build "$2" >/dev/null
}
# The resource script the resource compiler makes of a program.
resources() {
    local windres
    windres=$(sed -n 's/^set(CMAKE_RC_COMPILER "\(.*\)")$/\1/p' "$work"/own/CMakeFiles/*/CMakeRCCompiler.cmake)
    "$windres" -i "$1" -O rc
}
expect_resource() {
    grep -qF "$2" <<<"$(resources "$1")" || fail "$1 lacks the resource line $2"
}

rm -rf "$install" "$work"
cmake --install "$build" --prefix "$install" >/dev/null
mkdir -p "$work/default"
cp "$here/consumer/CMakeLists.txt" "$here/consumer/list_programs.cpp" "$work/default"
build_program "$here/consumer" "$work/own"
build_program "$work/default" "$work/default/build"

# No installed header needs one that was left out.
cxx=$(sed -n 's/^set(CMAKE_CXX_COMPILER "\(.*\)")$/\1/p' "$work"/own/CMakeFiles/*/CMakeCXXCompiler.cmake)
(cd "$install/include" && find runtime -name '*.h' -printf '#include "%p"\n') |
    "$cxx" -std=c++17 -fsyntax-only -I "$install/include" -x c++ - || fail "the installed headers need others"

program="$work/own/list_programs.exe"
status=0
wine "$program" "$(winepath -w "$work/programs.txt")" || status=$?
[ "$status" -eq 0 ] || fail "list_programs.exe ended with exit code $status"
[ "$(cat "$work/programs.txt")" = $'list_programs.exe\r' ] || fail "list_programs.exe wrote [$(cat "$work/programs.txt")]"

# Its own version texts, the runtime's menu, dialogs, icons, cursors and manifest; a GUI program.
for part in 'VALUE "FileDescription", "Listet die Programme seines Ordners"' 'VALUE "FileVersion", "0.1.0.0"' \
    '"LEER" MENU' '"INPUT" DIALOGEX' '"LISTBOX8" DIALOGEX' '"MARLO" 14' '"SCHIEBEN" 12' '1 24 /* RT_MANIFEST */'; do
    expect_resource "$program" "$part"
done
objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$work/own/CMakeCache.txt")
grep -q 'Subsystem.*Windows GUI' <<<"$("$objdump" -p "$program")" || fail "list_programs.exe is no GUI program"
# Without a program_info.h of its own, the runtime's texts.
expect_resource "$work/default/build/list_programs.exe" 'VALUE "FileDescription", "Programm der Brisko-Laufzeit"'

# The folder report as the installed SDK has it: the same report from the CMake build and from the
# README's plain lines, and the answer to a missing folder.
example="$install/share/brisko/examples/folder_report"
build_program "$example" "$work/report"
mkdir -p "$work/plain" "$work/data/sub"
cp "$example"/* "$work/plain"
(cd "$work/plain" && BRISKO="$install" &&
    eval "$(sed -n 's/^    \(i686-w64-mingw32-windres \|i686-w64-mingw32-g++-posix \)/\1/p' "$here/../../README.md")") ||
    fail "the README's plain lines do not build the folder report"
printf 'foo bar\r\nfoo\r\n' >"$work/data/a.txt"
printf 'foofoo\nbar' >"$work/data/sub/b.txt"
printf '# foo\n' >"$work/data/notes.md"
printf 'foo\n' >"$work/data/c.dat"
report() {  # report PROGRAM FOLDER: runs it (ending at once) and prints its report without CRs
    printf '[Bericht]\nDateien=*.txt;*.md\nWarten=0\n' >"$(dirname "$1")/folder_report.ini"
    wine "$1" "$(winepath -w "$2")" 'fo+' || fail "$1 ended with exit code $?"
    tr -d '\r' <"$(dirname "$1")/folder_report.txt"
}
text=$(report "$work/report/folder_report.exe" "$work/data")
for line in 'a\.txt +2 +2' 'sub\\b\.txt +2 +2' 'notes\.md +1 +1' '3 Dateien +5 +5'; do
    grep -qxE "$line" <<<"$text" || fail "the folder report lacks the row /$line/: $text"
done
[ "$(report "$work/plain/folder_report.exe" "$work/data")" = "$text" ] || fail "the plain-line build reports otherwise"
grep -qF 'Ordner nicht gefunden: ' <<<"$(report "$work/plain/folder_report.exe" "$work/nowhere")" ||
    fail "no answer to a missing folder"

# list_programs with the flags of the pkg-config file.
export PKG_CONFIG_PATH="$install/lib/pkgconfig"
# shellcheck disable=SC2046  # the flags are words
(cd "$work/default" &&
    i686-w64-mingw32-windres -I . $(pkg-config --variable=rcflags brisko) "$(pkg-config --variable=rcfile brisko)" \
        -O coff -o resources.o &&
    i686-w64-mingw32-g++-posix list_programs.cpp resources.o -o pc.exe $(pkg-config --cflags --libs brisko)) ||
    fail "the pkg-config flags do not build list_programs"
wine "$work/default/pc.exe" "$(winepath -w "$work/pc.txt")" || fail "pc.exe ended with exit code $?"
[ "$(cat "$work/pc.txt")" = $'pc.exe\r' ] || fail "pc.exe wrote [$(cat "$work/pc.txt")]"

# The package refuses a compiler it cannot link with, and components it does not have, by name.
mkdir -p "$work/refuse"
printf 'cmake_minimum_required(VERSION 3.20)\nproject(refuse LANGUAGES CXX)\nfind_package(Brisko CONFIG REQUIRED ${COMPONENTS})\n' \
    >"$work/refuse/CMakeLists.txt"
sed 's/-posix/-win32/' "$install/lib/cmake/Brisko/mingw-i686.cmake" >"$work/refuse/win32-threads.cmake"
refusal() {  # refusal NAME TEXT CMAKE_OPTIONS...: configuring fails with a message holding TEXT
    local out
    out=$(cmake -S "$work/refuse" -B "$work/refuse/$1" -DCMAKE_PREFIX_PATH="$install" "${@:3}" 2>&1) &&
        fail "$1: the package was accepted"
    grep -qF "$2" <<<"$(tr -s ' \n' ' ' <<<"$out")" || fail "$1: the refusal does not say $2: $out"
}
refusal threads 'has the thread model win32. Brisko needs' -DCMAKE_TOOLCHAIN_FILE="$work/refuse/win32-threads.cmake"
refusal host 'i686-w64-mingw32-g++-posix'
refusal component 'unknown component nosuch' -DCMAKE_TOOLCHAIN_FILE="$install/lib/cmake/Brisko/mingw-i686.cmake" \
    '-DCOMPONENTS=COMPONENTS;program;nosuch'
