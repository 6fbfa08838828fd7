#!/usr/bin/env bash
# The runtime as a package: installs the Windows build into a folder of its own, builds the program
# in consumer/ against that install as a program outside this tree is built (once more without its
# program_info.h), runs it under Wine (prefix and display from the caller) and checks what it wrote
# and what its executable carries.
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
