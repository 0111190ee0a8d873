// The fuzz target: arbitrary bytes go to the reader, and every card that loads must obey
// the round-trip law (see tests/support/round_trip.h). Each input is tried in a
// single-byte code page, in a double-byte one, where a trail byte may be any byte, and
// in UTF-8, where a line that is not UTF-8 throughout folds between sequences.
//
// Allowed outcomes: the bytes do not load (any result), or the card loads and obeys the
// law, its write included. Anything else aborts with the difference, the written text
// and the code page.
#include "card/mbstring.h"
#include "tests/support/round_trip.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

const int CODE_PAGES[] = {1252, 932, CODE_PAGE_UTF8};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (int codePage : CODE_PAGES) {
        MbsSetCodePage(codePage);
        RoundTripOutcome outcome = CheckRoundTrip((const char*)data, size);
        if (!outcome.violation.empty()) {
            fprintf(stderr, "\n== round-trip law broken in code page %d: %s\n== written:\n%s\n== end\n",
                    codePage, outcome.violation.c_str(), outcome.written.c_str());
            abort();
        }
    }
    MbsSetCodePage(CODE_PAGES[0]);
    return 0;
}
