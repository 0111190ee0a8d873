// The fuzz target: arbitrary bytes go to the reader, and every card that loads must obey
// the round-trip law (see tests/support/round_trip.h). Each input is read in one of a
// single-byte code page, a double-byte one, where a trail byte may be any byte, and
// UTF-8, where a line that is not UTF-8 throughout folds between sequences: the one its
// length and first byte choose. A mutation that adds or removes a byte, or changes the
// first, moves an input to another code page, so the fuzzer still tries every input's
// neighbours in all three, at a third of the cost of reading each input three times.
// Replaying kept inputs (files named on the command line, as the regression test does)
// reads each in all three: a kept input broke the law in one of them.
//
// Allowed outcomes: the bytes do not load (any result), or the card loads and obeys the
// law, its write included. Anything else aborts with the difference, the written text
// and the code page.
//
// A card that loads converts to a version (each of 2.1, 3.0 and 4.0 in turn, chosen by
// the input's second byte; all three when replaying), and what the conversion writes
// loads again. The card converted is the one the law read and wrote, not a read of its
// own; replaying, each version has a read of its own.
//
// The same bytes as a file of several cards: the cards found lie in order, apart and
// inside the file (as held: UTF-16 text is held as the program's text, which may be
// longer than the input), their names fit the room given, and counting them from a stream that
// cuts the lines anywhere finds as many.
#include "card/card_file.h"
#include "card/convert.h"
#include "card/io.h"
#include "card/mbstring.h"
#include "tests/support/round_trip.h"

#include <stdint.h>
#include <string>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

namespace {

const int CODE_PAGES[] = {1252, 932, CODE_PAGE_UTF8};
const size_t CODE_PAGE_COUNT = sizeof CODE_PAGES / sizeof CODE_PAGES[0];

bool replaying = false;

// True when every argument that is not an option names a file: libFuzzer then runs
// each file once instead of fuzzing.
bool NamesFilesOnly(int argc, char** argv)
{
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') continue;
        struct stat info;
        if (stat(argv[i], &info) != 0 || !S_ISREG(info.st_mode)) return false;
        ++files;
    }
    return files > 0;
}

// Leaves the card as first read in card; true when it loaded.
bool CheckLaw(const uint8_t* data, size_t size, int codePage, LoadedCard& card)
{
    MbsSetCodePage(codePage);
    RoundTripOutcome outcome = CheckRoundTrip((const char*)data, size, card);
    if (!outcome.violation.empty()) {
        fprintf(stderr, "\n== round-trip law broken in code page %d: %s\n== written:\n%s\n== end\n", codePage,
                outcome.violation.c_str(), outcome.written.c_str());
        abort();
    }
    return outcome.loaded;
}

const CardVersion VERSIONS[] = {CardVersion::V21, CardVersion::V30, CardVersion::V40};

// Converts the loaded card in place: the card the law has just read and written, so that
// the input is not read once more for it (a read was a quarter of an execution).
void CheckConversion(CardDocument& document, CardVersion target)
{
    ConversionReport report;
    HRESULT result = ConvertCard(document, target, report);
    std::string order = OrderDifference(document);
    if (!order.empty()) {
        fprintf(stderr, "\n== converted to vCard %s, the nodes' order and the tree's differ at %s\n", VersionText(target),
                order.c_str());
        abort();
    }
    MemoryOutput output;
    // A card the writer refuses (a line break in a URI) is refused in any version.
    if (SUCCEEDED(result)) result = document.WriteCard(output);
    if (FAILED(result)) return;
    LoadedCard converted;
    MemoryInput input(output.text);
    result = converted.document.ReadCard(input);
    if (FAILED(result)) {
        fprintf(stderr, "\n== converted to vCard %s, the card does not load (0x%08lx):\n%s\n== end\n",
                VersionText(target), (unsigned long)result, output.text.c_str());
        abort();
    }
}

// Each version from a card of its own, read from the bytes.
void CheckEveryConversion(const uint8_t* data, size_t size)
{
    for (CardVersion each : VERSIONS) {
        LoadedCard card;
        MemoryInput input((const char*)data, size);
        if (SUCCEEDED(card.document.ReadCard(input))) CheckConversion(card.document, each);
    }
}

// Hands the input over a few bytes at a time.
class PieceInput : public CardInput {
public:
    PieceInput(const char* bytes, size_t length, size_t step) : data(bytes), left(length), piece(step) {}
    size_t Read(char* buffer, size_t size) override
    {
        size_t count = size < piece ? size : piece;
        if (count > left) count = left;
        memcpy(buffer, data, count);
        data += count;
        left -= count;
        return count;
    }

private:
    const char* data;
    size_t left;
    size_t piece;
};

void CheckCardFile(const char* data, size_t size)
{
    CardFile file;
    if (!file.Assign(data, size)) return;
    size_t previous = 0;
    for (size_t i = 0; i < file.CardCount(); ++i) {
        const CardSpan& card = file.Card(i);
        char name[8];
        if (card.begin < previous || card.end <= card.begin || card.end > file.Length() || card.firstLine > card.lastLine ||
            file.CardName(i, name, sizeof name) >= sizeof name || strlen(name) >= sizeof name) {
            fprintf(stderr, "\n== card %lu of %lu found wrong\n", (unsigned long)i + 1,
                    (unsigned long)file.CardCount());
            abort();
        }
        previous = card.end;
    }
    PieceInput pieces(data, size, 3 + size % 61);
    long counted = CountCards(pieces, (size_t)-1);
    if (counted >= 0 && (size_t)counted != file.CardCount()) {
        fprintf(stderr, "\n== %lu cards listed, %ld counted from a stream\n", (unsigned long)file.CardCount(), counted);
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    replaying = NamesFilesOnly(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int codePage = CODE_PAGES[(size + (size > 0 ? data[0] : 0)) % CODE_PAGE_COUNT];
    if (replaying) {
        for (int each : CODE_PAGES) {
            LoadedCard card;
            CheckLaw(data, size, each, card);
        }
        MbsSetCodePage(codePage);
        CheckEveryConversion(data, size);
    } else {
        LoadedCard card;
        // Half the inputs are first read as the editor reads them, groups first, so that a
        // read that fails part way or runs out of room does so in that order too.
        card.document.SetReadGroupsFirst((size & 2) != 0);
        CardVersion target = VERSIONS[(size > 1 ? data[1] : 0) % 3];
        if (CheckLaw(data, size, codePage, card)) CheckConversion(card.document, target);
    }
    CheckCardFile((const char*)data, size);
    return 0;
}
