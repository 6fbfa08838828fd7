#include "runtime/values/regex_dialect.h"

#include "runtime/regex/regexpr.h"

// The engine that string_replace would use, asked to compile only: the code it throws is the one
// that would make string_replace give its source back.
int32_t regex_compile_error(const RtString& pattern) {
    try {
        CRegExpr engine;
        engine.set_expression(pattern.c_str());
        engine.compile();
        return 0;
    } catch (const CRegExprException& e) {
        return e.code;
    }
}
