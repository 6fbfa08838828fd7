#!/usr/bin/env bash
# The mutation pass over the regex engine and its path in string_replace, or over the input map,
# judged by the host tests (AddressSanitizer and UBSan) and, for the regex engine, a short run of
# the differential fuzz target. Run on demand; it takes hours for the whole engine, so it draws a
# sample. scripts/mutation_pass.sh regex|input-map [sample [seed [more mutate.py options]]],
# e.g. "regex 150 1 --pick 86-150" resumes a pass, "--list" shows the sample.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
set_name=${1:?regex or input-map}
sample=${2:-150}
seed=${3:-1}
shift $(( $# < 3 ? $# : 3 ))
build="${RT_BUILD_DIR:-$root/build}"
cd "$root"

cmake -S "$root" -B "$build/mutate" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
case "$set_name" in
regex)
    cmake -S "$root" -B "$build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
        -DCMAKE_CXX_COMPILER=clang++-14 -DRT_FUZZ=ON >/dev/null
    # 20 s of differential fuzzing from the seed corpus, in a fresh folder per mutant.
    fuzz="cmake --build '$build/fuzz' --target regex_fuzz >/dev/null 2>&1 && d=\$(mktemp -d) &&
          { '$build/fuzz/bin/regex_fuzz' \"\$d\" tests/regex/fuzz/corpus -dict=tests/regex/fuzz/regex.dict \
            -max_total_time=20 -timeout=10 -artifact_prefix=\"\$d/\" >/dev/null 2>&1; s=\$?; rm -rf \"\$d\"; exit \$s; }"
    exec python3 scripts/mutate.py --build "$build/mutate" --target regex_test --target values_test \
        --judge "'$build/mutate/bin/regex_test'" \
        --judge "'$build/mutate/bin/values_test' --gtest_filter='StringFunctions.Regex*'" \
        --judge "$fuzz" --timeout 180 --sample "$sample" --seed "$seed" --report "$build/mutate/survivors-regex.txt" "$@" \
        runtime/regex/regexpr_compile.cpp runtime/regex/regexpr_match.cpp runtime/regex/regexpr.h \
        runtime/values/string_functions.cpp:253-276
    ;;
input-map)
    exec python3 scripts/mutate.py --build "$build/mutate" --target windows_pure_test \
        --judge "'$build/mutate/bin/windows_pure_test'" --timeout 30 --report "$build/mutate/survivors-input-map.txt" "$@" \
        --swap kLowWparam=kHighWparam --swap kNotifyId=kNotifyCode --swap kModeOn=kModeTwo --swap kMenu=kControl \
        --swap kWakeFirst=kWakeSecond --swap kWakeThird=kWakeFourth \
        runtime/windows/input_map.cpp runtime/windows/input_map.h:60-80
    ;;
*)
    echo "mutation_pass.sh: regex or input-map" >&2
    exit 2
    ;;
esac
