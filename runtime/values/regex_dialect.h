/// \file
/// The regular-expression dialect of string_replace() while the `regex` switch is on, and
/// regex_compile_error(), which says whether and why a pattern does not compile. The dialect
/// itself is the page \ref regex_dialect. Pure C++; any thread (each call uses an engine of its
/// own).
#pragma once

#include <cstdint>

#include "runtime/values/rt_string.h"

/// Compiles \p pattern in the dialect of \ref regex_dialect without searching anything.
/// \return 0 when it compiles; otherwise the compile error code of the table "Compile errors" on
/// that page (100 to 130, 1003 for an empty pattern). string_replace() with the `regex` switch
/// on gives its source back unchanged, and reports nothing, exactly when this is not 0 or when
/// its search stops at a limit (1014, 1016, 1017).
/// Reports nothing and leaves `io result` alone.
int32_t regex_compile_error(const RtString& pattern);

// The page's tables are wider than the code: clang-format leaves them as they are.
// clang-format off
/**
\page regex_dialect The regular-expression dialect

While the `regex` switch is not 0 (`set_switch(result, RtString("regex"), 1, &one)`),
string_replace() treats its search text as a pattern of this dialect and replaces every match. The
dialect is a backtracking one with Perl-like operators, with two differences that matter first:

- **The escape character is the tilde `~`, not the backslash.** A backslash is an ordinary byte:
  `a\.b` means a, a backslash, any byte, b, and finds nothing in `a.b`; write `a~.b`.
- **A pattern that does not compile gives the text back unchanged, silently.** So does a search
  that stops at one of the limits below. Ask regex_compile_error() before relying on a pattern.

Texts are 8-bit (Windows-1252); a pattern ends at its first NUL byte, and so does the searched
text (the bytes after a NUL are copied to the result unchanged).

\section regex_replace What string_replace does with a pattern

- Every match is replaced by the replacement, inserted literally: there are no group references
  such as `$1` in it.
- Matches do not overlap; the search goes on behind each match. An empty match inserts the
  replacement and the search moves on by one byte: `x*` replaced by `-` turns `abc` into
  `-a-b-c-`.
- Counting matches: replace them by a byte that the text lacks and count that byte with
  string_count(); the folder report example does this with the byte 1.

\section regex_syntax Syntax

| pattern | matches |
|---|---|
| `abc` | the bytes themselves; the metacharacters are <tt>^ $ . [ ( ) \| ? + * ~ {</tt> |
| `.` | any byte; with the modifier `s` off, any byte but a line separator |
| `^` `$` | the start and the end of the text; with the modifier `m`, also the start and end of each line |
| `[abc]` `[a-z]` `[^abc]` | one byte of the class, or (with `^`) one byte not in it; a `]` right after `[` or `[^` is a member, a `-` first or last is a member |
| `(` ... `)` | a capturing group (at most 14) |
| `x`\|`y` | `x`, or else `y` (tried in this order) |
| `*` `+` `?` | 0 or more, 1 or more, 0 or 1 times, as many as possible |
| `{n}` `{n,}` `{n,m}` | n times, at least n times, n to m times (n and m at most 8 digits); a `{` that does not form one of these is a literal `{` |
| `*?` `+?` `??` `{n,m}?` | the same, as few as possible |
| `~d` `~D` | a digit `0`-`9`; any other byte |
| `~s` `~S` | white space: blank, TAB, LF, CR, FF; any other byte |
| `~w` `~W` | a word byte: ASCII letter, digit or `_`; any other byte |
| `~b` `~B` | the empty string between a word byte and another byte (or an end of the text); anywhere else |
| `~A` `~Z` | the start of the text; the end of the text |
| `~1` ... `~9` | the text that group 1 ... 9 matched last (fails while the group has matched nothing) |
| `~n` `~r` `~t` `~f` `~e` `~a` | LF, CR, TAB, FF, ESC, BEL |
| `~x41` `~x{41}` | the byte with this hexadecimal value (at most FF) |
| `~` and any other byte | that byte: `~.` `~~` `~(` `~[` `~$` `~0` |
| `(?#text)` | a comment |
| `(?i)` `(?-s)` `(?im-sx)` | modifiers on (and off after `-`) from here to the end of the enclosing group |

Inside a class, `~d`, `~s` and `~w` add their bytes, `~n`, `~x41` and the other byte escapes give
their byte (and may end a range: `[a-~x7A]`), and `~` before any other byte gives that byte (so
`[~]]` is the class of `]`, and `~D`, `~S`, `~W`, `~b` are the letters). A `-` after a range or a
shorthand is a member.

\section regex_modifiers Modifiers

| letter | meaning | default |
|---|---|---|
| `i` | ignore case, by the Windows-1252 case pairs of string_upper() and string_lower() (&auml; and &Auml;, &eacute; and &Eacute;) | off |
| `r` | extended ranges: `[&agrave;-&yuml;]` also holds the byte 0xB8, `[&Agrave;-&szlig;]` the byte 0xA8, `[&agrave;-&szlig;]` both lists; off, a range is its byte span | on |
| `s` | `.` matches line separators too | on |
| `g` | greedy; off, every quantifier takes as few as possible | on |
| `m` | multi-line: `^` and `$` match at line separators too | off |
| `x` | extended: blanks, TAB, CR and LF between atoms are ignored, `#` starts a comment to the end of the line | off |

A pattern sets them with a group `(?letters)` or `(?letters-letters)`, letters in either case; the
change lasts to the end of the group it stands in. `((?i)a)b` matches `Ab` but not `AB`.

\section regex_lines Line separators

The line separator is CR LF, and each of CR and LF alone. With `m` on, `^` matches at the start of
the text and after a separator, and `$` at the end and before one; CR LF counts as one separator,
so neither matches between its CR and its LF. With `s` off, `.` matches neither CR nor LF.
string_replace() always uses these separators.

\section regex_limits Limits

Each limit refuses the work with a code of its own; a refused search is never taken as "no
match", but string_replace() gives its text back unchanged as for any error.

| limit | code |
|---|---|
| at most 14 capturing groups | 102 (compile) |
| repetition counts of at most 8 digits; `{n,}` means at most 2147483646 | 122 (compile) |
| a compiled pattern of at most 16 MiB | 130 (compile) |
| at most 10 counted repetitions of groups active inside each other | 1014 (search) |
| a step budget per search: 2^24 + 8 x (bytes from the start of the search to the end + 1) x (compiled pattern bytes) steps, in force for patterns with back-references, before a search starts remembering failed states and when that memory is full | 1016 (search) |
| a backtracking stack of at most 128 MiB, for patterns with back-references | 1017 (search) |

The backtracking stack and the memory of failed states (at most 128 MiB) together stay under
256 MiB, whatever the text.

\section regex_errors Compile errors

| code | cause |
|---|---|
| 100 | no pattern (null) |
| 102 | more than 14 capturing groups |
| 103 | a group not closed by `)` |
| 104 | a `)` without an open group |
| 105 | text left after the pattern |
| 106 | `*`, `+` or `{...}` on something that can match the empty string, such as `(a*)*` |
| 107 | a quantifier right after a quantifier: `a**`, `a{2}{3}` |
| 108 | a byte that is no hexadecimal digit after `~x` |
| 109 | a class range that ends below its start: `[z-a]` |
| 110 | a `~` at the end of the pattern inside a class |
| 111 | `~x` without its digits, or `~x{` without `}` |
| 112 | a `~x{...}` value above FF |
| 113 | a class not closed by `]` |
| 115 | `*`, `+` or `?` with nothing to repeat: `*a` |
| 116 | a `~` at the end of the pattern |
| 122 | a repetition count of more than 8 digits |
| 124 | a repetition minimum above its maximum: `a{3,2}` |
| 125 | `(?#` without `)` |
| 127 | an unknown modifier letter, or `(?` without `)` |
| 130 | the compiled pattern would be larger than 16 MiB |
| 1003 | an empty pattern |

Codes 114 and 119 and the search codes 1000 to 1007, 1013 and 1015 mark faults of the engine
itself or of uses of it that string_replace() never makes.
*/
// clang-format on
