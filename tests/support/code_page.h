// Runs part of a test in another code page of the multibyte string operations and puts
// the previous one back at the end of the scope.
#pragma once

#include "card/mbstring.h"

class CodePageScope {
public:
    explicit CodePageScope(int codePage) : previous(MbsGetCodePage()), switched(MbsSetCodePage(codePage) == 0) {}
    ~CodePageScope() { MbsSetCodePage(previous); }
    CodePageScope(const CodePageScope&) = delete;
    CodePageScope& operator=(const CodePageScope&) = delete;

    // False when the run-time refused the code page.
    bool Switched() const { return switched; }

private:
    int previous;
    bool switched;
};
