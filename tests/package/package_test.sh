#!/usr/bin/env bash
# The runtime as a package: installs the Windows build into a folder of its own, builds the program
# in consumer/ against that install as a program outside this tree is built, runs it under Wine
# (prefix and display from the caller) and checks what it wrote and what its executable carries.
# package_test.sh WINDOWS_BUILD_FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
install="$build/package"
consumer="$build/package-consumer"

fail() {
    echo "package_test: $*" >&2
    exit 1
}

rm -rf "$install" "$consumer"
cmake --install "$build" --prefix "$install" >/dev/null
cmake -S "$here/consumer" -B "$consumer" -DCMAKE_TOOLCHAIN_FILE="$install/lib/cmake/Brisko/mingw-i686.cmake" \
    -DCMAKE_PREFIX_PATH="$install" >/dev/null
cmake --build "$consumer"
# The tools the toolchain file chose for the program.
compiler() { sed -n "s/^set(CMAKE_$1_COMPILER \"\(.*\)\")$/\1/p" "$consumer"/CMakeFiles/*/CMake$1Compiler.cmake; }
objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$consumer/CMakeCache.txt")

# No installed header needs one that was left out.
(cd "$install/include" && find runtime -name '*.h' -printf '#include "%p"\n') |
    "$(compiler CXX)" -std=c++17 -fsyntax-only -I "$install/include" -x c++ - ||
    fail "the installed headers do not compile on their own"

program="$consumer/list_programs.exe"
list="$consumer/programs.txt"
status=0
wine "$program" "$(winepath -w "$list")" || status=$?
[ "$status" -eq 0 ] || fail "list_programs.exe ended with exit code $status"
[ "$(cat "$list")" = $'list_programs.exe\r' ] || fail "list_programs.exe wrote [$(cat "$list")]"

# Its own version texts, the runtime's menu, dialogs, icons, cursors and manifest, a GUI program.
resources=$("$(compiler RC)" -i "$program" -O rc)
for part in 'VALUE "FileDescription", "Listet die Programme seines Ordners"' 'VALUE "FileVersion", "0.1.0.0"' \
    '"LEER" MENU' '"INPUT" DIALOGEX' '"LISTBOX8" DIALOGEX' '"MARLO" 14' '"SCHIEBEN" 12' '1 24 /* RT_MANIFEST */'; do
    grep -qF "$part" <<<"$resources" || fail "list_programs.exe lacks the resource line: $part"
done
grep -q 'Subsystem.*Windows GUI' <<<"$("$objdump" -p "$program")" || fail "list_programs.exe is no GUI program"
