#!/usr/bin/env python3
"""Mutation pass: plants one plausible slip at a time in C++ sources, rebuilds, and asks the tests.

A mutant is killed when a judge command fails (non-zero exit or time-out) with it planted; it
survives when every judge passes. A mutant that does not compile is stillborn and not counted.
Every source is restored after each mutant, also when the script is interrupted.

    scripts/mutate.py --build build/mutate --target regex_test \
        --judge 'build/mutate/bin/regex_test' runtime/regex/regexpr_match.cpp:100-300

Run on demand, never by the test command. Prints one line per mutant and a summary; --report
writes the survivors (file, line, the change) for a reader to judge which are equivalent.
--since REV keeps only the mutants on lines that changed since that commit (git diff).
"""

import argparse
import os
import random
import re
import signal
import subprocess
import sys
import time

# Each operator: a name, a pattern, and the replacement of the matched text. Patterns expect the
# project's formatting (clang-format: spaces around binary operators, none inside template brackets).
OPERATORS = [
    ("eq-to-ne", r"(?<=\s)==(?=\s)", "!="),
    ("ne-to-eq", r"(?<=\s)!=(?=\s)", "=="),
    ("lt-to-le", r"(?<=\s)<(?=\s)", "<="),
    ("le-to-lt", r"(?<=\s)<=(?=\s)", "<"),
    ("gt-to-ge", r"(?<=\s)>(?=\s)", ">="),
    ("ge-to-gt", r"(?<=\s)>=(?=\s)", ">"),
    ("and-to-or", r"(?<=\s)&&(?=\s)", "||"),
    ("or-to-and", r"(?<=\s)\|\|(?=\s)", "&&"),
    ("plus-to-minus", r"(?<=\s)\+(?=\s)", "-"),
    ("minus-to-plus", r"(?<=\s)-(?=\s)", "+"),
    ("inc-to-dec", r"\+\+", "--"),
    ("dec-to-inc", r"--", "++"),
    ("bitand-to-bitor", r"(?<=\s)&(?=\s)", "|"),
    ("bitor-to-bitand", r"(?<=\s)\|(?=\s)", "&"),
    ("true-to-false", r"\btrue\b", "false"),
    ("false-to-true", r"\bfalse\b", "true"),
    ("drop-not", r"!(?=[\w(])", ""),
    ("const-plus-one", r"(?<![\w.])(\d+)(?![\w.])", None),  # n -> n + 1
    ("const-minus-one", r"(?<![\w.])([1-9]\d*)(?![\w.])", None),  # n -> n - 1
    ("char-shift", r"'(\\?[^'\\])'", None),  # 'a' -> 'b'
]


def code_spans(line):
    """The parts of a line that are code: not inside a string, a character literal or a comment.
    Character literals are kept apart so that only char-shift touches them."""
    spans, chars = [], []
    i, start, n = 0, 0, len(line)
    while i < n:
        c = line[i]
        if line.startswith("//", i):
            break
        if c == '"':
            spans.append((start, i))
            i += 1
            while i < n and line[i] != '"':
                i += 2 if line[i] == "\\" else 1
            i += 1
            start = i
            continue
        if c == "'":
            spans.append((start, i))
            end = i + 1
            while end < n and line[end] != "'":
                end += 2 if line[end] == "\\" else 1
            chars.append((i, end + 1))
            i = end + 1
            start = i
            continue
        i += 1
    spans.append((start, min(i, n)))
    return spans, chars


def replacement(name, match):
    """The replacement text of the operators whose result depends on the matched text."""
    if name == "const-plus-one":
        return str(int(match.group(1)) + 1)
    if name == "const-minus-one":
        return str(int(match.group(1)) - 1)
    if name == "char-shift":
        body = match.group(1)
        if body.startswith("\\") or not body.isprintable() or body in "~\\'":
            return None
        return "'" + chr(ord(body) + 1) + "'"
    return None


def find_mutants(path, first, last, swaps):
    mutants = []
    in_block_comment = False
    with open(path, encoding="latin-1") as f:
        lines = f.read().split("\n")
    for number, line in enumerate(lines, 1):
        if number < first or number > last:
            continue
        stripped = line.strip()
        if in_block_comment:
            if "*/" in stripped:
                in_block_comment = False
            continue
        if stripped.startswith("/*"):
            in_block_comment = "*/" not in stripped
            continue
        if stripped.startswith("#") or stripped.startswith("//") or "static_assert" in line:
            continue
        spans, chars = code_spans(line)
        for name, pattern, fixed in OPERATORS:
            targets = chars if name == "char-shift" else spans
            for begin, end in targets:
                for m in re.finditer(pattern, line[begin:end]):
                    new = fixed if fixed is not None else replacement(name, m)
                    if new is None:
                        continue
                    col = begin + m.start()
                    mutants.append((path, number, col, m.group(0), new, name))
        for old, new in swaps:
            for begin, end in spans:
                for m in re.finditer(r"\b" + re.escape(old) + r"\b", line[begin:end]):
                    mutants.append((path, number, begin + m.start(), old, new, "swap"))
    return lines, mutants


def changed_lines(path, since):
    """The line numbers of path that differ from commit `since` (added or changed lines)."""
    diff = subprocess.run(["git", "diff", "-U0", since, "--", path], capture_output=True, text=True,
                          check=True).stdout
    lines = set()
    for m in re.finditer(r"^@@ -\d+(?:,\d+)? \+(\d+)(?:,(\d+))? @@", diff, re.M):
        first, count = int(m.group(1)), int(m.group(2) or 1)
        lines.update(range(first, first + count))
    return lines


def run(command, timeout):
    # The judge runs in a session of its own, so that a time-out ends the test it started and not
    # only the shell (a looping mutant went on using a core and gigabytes after its verdict).
    judge = subprocess.Popen(command, shell=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             start_new_session=True)
    try:
        return judge.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(judge.pid, signal.SIGKILL)
        judge.wait()
        return "timeout"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="configured CMake build folder to rebuild")
    parser.add_argument("--target", action="append", required=True, help="targets to rebuild (repeatable)")
    parser.add_argument("--judge", action="append", required=True, help="shell command; failing kills (repeatable)")
    parser.add_argument("--timeout", type=float, default=120, help="seconds per judge before it counts as failing")
    parser.add_argument("--sample", type=int, default=0, help="test this many mutants drawn at random (0: all)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--only", default="", help="comma-separated operator names to use")
    parser.add_argument("--report", help="file for the survivors")
    parser.add_argument("--swap", action="append", default=[],
                        help="A=B: also replace the name A by B and B by A (repeatable)")
    parser.add_argument("--pick", default="",
                        help="only these mutants of the (sampled) list, by number: 3,7,86-150 (to resume a pass)")
    parser.add_argument("--list", action="store_true", help="only list the mutants")
    parser.add_argument("--since", help="only mutants on lines changed since this commit")
    parser.add_argument("sources", nargs="+", help="FILE or FILE:FIRST-LAST (line range)")
    args = parser.parse_args()

    swaps = []
    for pair in args.swap:
        a, b = pair.split("=")
        swaps += [(a, b), (b, a)]
    originals, mutants = {}, []
    for source in args.sources:
        path, _, span = source.partition(":")
        first, last = (int(x) for x in span.split("-")) if span else (1, 10**9)
        lines, found = find_mutants(path, first, last, swaps)
        originals[path] = "\n".join(lines)
        mutants += found
    if args.since:
        changed = {path: changed_lines(path, args.since) for path in originals}
        mutants = [m for m in mutants if m[1] in changed[m[0]]]
    if args.only:
        wanted = set(args.only.split(","))
        mutants = [m for m in mutants if m[5] in wanted]
    if args.sample and args.sample < len(mutants):
        mutants = sorted(random.Random(args.seed).sample(mutants, args.sample), key=lambda m: (m[0], m[1], m[2]))
    numbered = list(enumerate(mutants, 1))
    if args.pick:
        picked = set()
        for part in args.pick.split(","):
            low, _, high = part.partition("-")
            picked.update(range(int(low), int(high or low) + 1))
        numbered = [(i, m) for i, m in numbered if i in picked]
    if args.list:
        for index, (path, number, col, old, new, name) in numbered:
            print(f"[{index}] {path}:{number}:{col + 1}: {name}: {old} -> {new}")
        print(f"{len(numbered)} mutants")
        return 0

    build = ["cmake", "--build", args.build, "-j2"] + sum((["--target", t] for t in args.target), [])
    if subprocess.run(build, stdout=subprocess.DEVNULL).returncode != 0:
        sys.exit("mutate: the unmutated build fails")
    for judge in args.judge:
        if run(judge, args.timeout) != 0:
            sys.exit(f"mutate: the judge fails without a mutant: {judge}")

    # A pass started in the background ignores SIGINT; either signal still ends it through the
    # clean-up below, which puts the sources back.
    def stop(signum, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGINT, stop)
    signal.signal(signal.SIGTERM, stop)

    killed, survived, stillborn = 0, [], 0
    started = time.time()
    try:
        for index, (path, number, col, old, new, name) in numbered:
            lines = originals[path].split("\n")
            line = lines[number - 1]
            lines[number - 1] = line[:col] + new + line[col + len(old):]
            with open(path, "w", encoding="latin-1") as f:
                f.write("\n".join(lines))
            where = f"{path}:{number}: {name}: {line.strip()}  =>  {lines[number - 1].strip()}"
            if subprocess.run(build, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
                stillborn += 1
                verdict = "stillborn"
            else:
                verdict = "survived"
                for judge in args.judge:
                    result = run(judge, args.timeout)
                    if result != 0:
                        verdict = f"killed ({result})"
                        break
                if verdict == "survived":
                    survived.append(where)
                else:
                    killed += 1
            print(f"[{index}/{len(mutants)}] {verdict}: {where}", flush=True)
            with open(path, "w", encoding="latin-1") as f:
                f.write(originals[path])
    finally:
        for path, text in originals.items():
            with open(path, "w", encoding="latin-1") as f:
                f.write(text)
        subprocess.run(build, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    counted = killed + len(survived)
    rate = 100.0 * killed / counted if counted else 0.0
    print(f"\n{counted} mutants judged ({stillborn} stillborn), {killed} killed, {len(survived)} survived: "
          f"{rate:.1f}% in {time.time() - started:.0f} s")
    if args.report:
        with open(args.report, "w") as f:
            f.write("\n".join(survived) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
