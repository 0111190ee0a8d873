// The round-trip law on the inputs the fuzzer found breaking it: each fault has its own
// test, and every input kept in fuzz/regressions/ is replayed in both code pages.
#include "card/mbstring.h"
#include "tests/support/code_page.h"
#include "tests/support/round_trip.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>

namespace {

// The law holds for text read in the code page, and the text loads at all (a test
// that passed because nothing loaded would prove nothing).
void ExpectLawHolds(const std::string& text, int codePage)
{
    CodePageScope scope(codePage);
    RoundTripOutcome outcome = CheckRoundTrip(text.data(), text.size());
    EXPECT_TRUE(outcome.loaded) << "code page " << codePage;
    EXPECT_EQ("", outcome.violation) << "code page " << codePage << "\nwritten:\n" << outcome.written;
}

// ---------------------------------------------------------------- the faults

TEST(RoundTrip, LeadByteEndingAQuotedParameterValue)
{
    // The closing quote was found by its byte, so a value in quotes could end in a lone
    // lead byte; written bare, that byte took the ':' after it for its trail byte and the
    // line lost its separator. Now the quote is the lead byte's trail byte and closes
    // nothing: the quotes are part of the value, which comes back whole.
    ExpectLawHolds("BEGIN:VCARD\nO;=\"\x84\":\n", 932);
    ExpectLawHolds("BEGIN:VCARD\r\nTEL;TYPE=\"a\x84\",\"b\x84\";PREF=1:1\r\n", 932);
}

TEST(RoundTrip, QuoteAsTrailByteInAQuotedParameterValue)
{
    // The value holds 0x84 0x22 (one character) and ends in '\', so it is written in
    // quotes; the reader took the trail byte for the closing quote and cut the value.
    ExpectLawHolds("BEGIN:VCARD\nV;=\x84\"\\,:\n", 932);
    ExpectLawHolds("BEGIN:VCARD\nX;P=\"a\x84\",b\x84\";Q=\"c:\x84\"\":v\n", 932);
}

TEST(RoundTrip, QuotedSemicolonInAPropertyName)
{
    // The head ";=\";:\"" gave a property named =";:" (quotes were honoured in the name
    // after the '='); the writer escaped its ':' as in any name, but inside quotes the
    // reader keeps "\:" as it stands, so the name came back with a backslash.
    ExpectLawHolds("BEGIN:VCARD\n;=\";:\":\n", 1252);
    ExpectLawHolds("BEGIN:VCARD\n;a=b,\"c:d\";P=\"e:f\":v\n", 1252);
}

TEST(RoundTrip, QuotedSemicolonInAGroupedPropertyName)
{
    // The same in a group: the group prefix counted as the line's first token, so the
    // name after it still honoured quotes and took in a ';' that the writer cannot keep.
    ExpectLawHolds("BEGIN:VCARD\n.;=\";\"x=y:\n", 1252);
    ExpectLawHolds("BEGIN:VCARD\ng.;LABEL=\"x;TYPE=\"voice,home\":v\n", 1252);
}

// ---------------------------------------------------------------- the kept inputs, and edge cases

TEST(RoundTrip, EdgeCasesOfNamesAndValuesHold)
{
    const char* lines[] = {
        "NOTE:a\\,b\\;c\\:d\\\\e\\nf\\qg",
        ";b.c:dotted name at the root",
        "g.b.c:dotted name in a group",
        ";END:VCARD",
        "; X:name starting with a blank",
        "X\\;;P=1:name ending in a backslash",
        "X\\;:name ending in a backslash without parameters",
        "a\\:b.X:colon in a group",
        "X;P=\"a;b\",c\\,\"d:e\";Q=f\\:g:v",
        "X;P=a\\;Q=\"b\\\":v",
        ";P=\"a\":quotes in a name are ordinary characters",
        "X;P=^^^'^n^x:carets",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        ExpectLawHolds(std::string("BEGIN:VCARD\r\n") + line + "\r\n", 1252);
    }
}

TEST(RoundTrip, EveryFuzzRegressionHolds)
{
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(FUZZ_REGRESSIONS_DIR)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    EXPECT_FALSE(inputs.empty());
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.filename().string());
        std::string bytes = ReadBytes(input);
        for (int codePage : {1252, 932}) {
            CodePageScope scope(codePage);
            RoundTripOutcome outcome = CheckRoundTrip(bytes.data(), bytes.size());
            EXPECT_EQ("", outcome.violation) << "code page " << codePage;
        }
    }
}

}  // namespace
