// vcardtool: loads a card file as the editor's Open does, and checks it, writes it as
// the editor's Save writes it, or dumps it in a form for comparing cards; lists the
// cards of a file that holds several, and does each of these for one or for all.
#include "services/messages.h"
#include "services/safe_save.h"
#include "card/card_file.h"
#include "card/card_source.h"
#include "card/convert.h"
#include "card/document.h"
#include "card/format.h"
#include "card/io.h"
#include "card/mbstring.h"
#include "card/tree.h"
#include "tools/dump.h"
#include "tools/hidden_tree.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <sys/stat.h>
#endif

namespace {

const int EXIT_OK = 0;
const int EXIT_CARD_FAILED = 1;  // a card that does not load or validate, a file that
                                 // cannot be read, or an output that cannot be written
const int EXIT_USAGE = 2;

const char USAGE[] =
    "usage: vcardtool check FILE [--card K]\n"
    "       vcardtool format FILE [--card K] [-o OUT] [--escape-colon=0|1]\n"
    "       vcardtool convert FILE --to 2.1|3.0|4.0 [--card K] [-o OUT]\n"
    "       vcardtool dump FILE [--card K]\n"
    "       vcardtool list FILE\n";
const size_t NAME_SIZE = 256;
// No card asked for: every card of the file.
const size_t ALL_CARDS = 0;

int Usage(const char* problem)
{
    if (problem != nullptr) fprintf(stderr, "vcardtool: %s\n", problem);
    fputs(USAGE, stderr);
    return EXIT_USAGE;
}

// Prints a composed message the way the editor shows it in a box.
void PrintMessage(FILE* stream, char* text)
{
    if (text == nullptr) return;
    fputs(text, stream);
    fputc('\n', stream);
    free(text);
}

struct LoadedCard {
    HiddenTree tree;
    int escapeColon = 0;
    CardDocument document{tree.Window(), &escapeColon};
    LoadedCard() { document.SetReadGroupsFirst(HiddenTree::READS_GROUPS_FIRST); }
    ~LoadedCard() { document.DeleteAll(); }
};

// Opens path and finds its cards, as the editor's Open does; on failure prints the
// editor's message.
bool OpenSource(const char* path, CardSource& source)
{
    HRESULT result = source.Open(path);
    if (FAILED(result)) {
        PrintMessage(stderr, ComposeMessageF(result, nullptr, IDS_CANNOT_OPEN, path));
        return false;
    }
    return true;
}

// Reads card number (from 1) of the source; on failure prints the editor's message,
// after a "FILE [K/N]: " when the file holds several cards.
bool LoadCard(const CardSource& source, size_t number, LoadedCard& card)
{
    if (card.tree.Window() == nullptr) {
        fprintf(stderr, "vcardtool: cannot create the card container\n");
        return false;
    }
    HRESULT result = source.ReadCard(number - 1, card.document);
    if (FAILED(result)) {
        if (source.HoldsSeveral()) {
            printf("%s [%lu/%lu]: ", source.Path(), (unsigned long)number, (unsigned long)source.Count());
        }
        PrintMessage(stdout, ComposeMessageF(result, &card.document.LastRefusal(), IDS_NOT_VALID_FILE, source.Path()));
        return false;
    }
    return true;
}

// The cards a command works on: the one asked for, or all. Prints why and returns false
// when the file has no card of that number.
bool ChooseCards(const CardSource& source, size_t asked, size_t* first, size_t* last)
{
    if (asked == ALL_CARDS) {
        *first = 1;
        *last = source.Count();
        return true;
    }
    if (asked > source.Count()) {
        fprintf(stderr, "vcardtool: %s holds %lu card%s, not %lu\n", source.Path(), (unsigned long)source.Count(),
                source.Count() == 1 ? "" : "s", (unsigned long)asked);
        return false;
    }
    *first = *last = asked;
    return true;
}

void CountCard(const CardDocument& document, int* groups, int* properties, int* parameters)
{
    *groups = *properties = *parameters = 0;
    for (CardNode* node = document.FirstItem(); node != nullptr; node = node->NextItem()) {
        if (node->IsGroup()) ++*groups;
    }
    document.ForEachProperty([&](const char*, const PropertyNode* property) {
        ++*properties;
        for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) ++*parameters;
        return true;
    });
}

int Check(const char* path, size_t asked)
{
    CardSource source;
    size_t first, last;
    if (!OpenSource(path, source)) return EXIT_CARD_FAILED;
    if (!ChooseCards(source, asked, &first, &last)) return EXIT_USAGE;
    int status = EXIT_OK;
    for (size_t number = first; number <= last; ++number) {
        LoadedCard card;
        if (!LoadCard(source, number, card)) {
            status = EXIT_CARD_FAILED;
            continue;
        }
        if (source.HoldsSeveral()) printf("%s [%lu/%lu]: ", path, (unsigned long)number, (unsigned long)source.Count());
        if (!card.document.ValidateCard()) {
            PrintMessage(stdout, ComposeMessageF(0, &card.document.LastRefusal(), IDS_CARD_NOT_VALID));
            status = EXIT_CARD_FAILED;
            continue;
        }
        int groups, properties, parameters;
        CountCard(card.document, &groups, &properties, &parameters);
        if (!source.HoldsSeveral()) printf("%s: ", path);
        printf("valid vCard %s; %d groups, %d properties, %d parameters\n", VersionText(card.document.GetVersion()),
               groups, properties, parameters);
    }
    return status;
}

int List(const char* path)
{
    errno = 0;
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        PrintMessage(stderr, ComposeMessageF(ResultFromRuntimeError(), nullptr, IDS_CANNOT_OPEN, path));
        return EXIT_CARD_FAILED;
    }
    CardFile cards;
    HRESULT result = cards.Read(file);
    fclose(file);
    if (FAILED(result)) {
        PrintMessage(stderr, ComposeMessageF(result, nullptr, IDS_CANNOT_OPEN, path));
        return EXIT_CARD_FAILED;
    }
    if (cards.CardCount() == 0) {
        // No opening line anywhere: the reader says what is wrong with the file.
        CardSource source;
        LoadedCard card;
        if (OpenSource(path, source)) LoadCard(source, 1, card);
        return EXIT_CARD_FAILED;
    }
    char format[NAME_SIZE];
    LoadTextString(IDS_CARD_NUMBER, format, (int)sizeof format);
    for (size_t index = 0; index < cards.CardCount(); ++index) {
        char name[NAME_SIZE];
        if (cards.CardName(index, name, sizeof name) == 0) snprintf(name, sizeof name, format, (int)index + 1);
        const CardSpan& card = cards.Card(index);
        printf("%lu\t%d-%d\t%s\n", (unsigned long)index + 1, card.firstLine, card.lastLine, name);
    }
    return fflush(stdout) == 0 ? EXIT_OK : EXIT_CARD_FAILED;
}

// What format writes: the chosen cards of the source one after the other, each as a
// save writes it (a file's byte-order mark once, before the first).
struct FormatJob {
    const CardSource* source;
    size_t first;
    size_t last;
    int escapeColon;
    bool convert = false;  // convert each card to target before it is written
    CardVersion target = CardVersion::V40;
    bool loadFailed = false;
    Refusal refusal;  // why the writer refused a card
};

void PrintReport(const CardSource& source, size_t number, const ConversionReport& report)
{
    if (source.HoldsSeveral()) fprintf(stderr, "%s [%lu/%lu]: ", source.Path(), (unsigned long)number, (unsigned long)source.Count());
    else fprintf(stderr, "%s: ", source.Path());
    fprintf(stderr, "vCard %s to %s, %lu change%s\n", VersionText(report.from), VersionText(report.to),
            (unsigned long)report.entries.size(), report.entries.size() == 1 ? "" : "s");
    // In one write: standard error is unbuffered, and under Wine each write of a report of
    // tens of thousands of lines cost about a millisecond.
    std::string lines;
    for (const ConversionEntry& entry : report.entries) {
        char line[512];
        DescribeConversionChange(entry, line, sizeof line);
        lines.append("  ").append(line).append("\n");
    }
    fputs(lines.c_str(), stderr);
}

HRESULT WriteCards(CardOutput& output, void* context)
{
    FormatJob& job = *(FormatJob*)context;
    const CardSource& source = *job.source;
    if (source.HoldsSeveral() && job.first == 1 && source.Cards().Length() >= 3 &&
        memcmp(source.Cards().Bytes(), UTF8_MARK, 3) == 0) {
        HRESULT result = output.Write(UTF8_MARK, 3);
        if (FAILED(result)) return result;
    }
    for (size_t number = job.first; number <= job.last; ++number) {
        LoadedCard card;
        if (!LoadCard(source, number, card)) {
            job.loadFailed = true;
            return E_FAIL;
        }
        if (job.escapeColon >= 0) card.escapeColon = job.escapeColon;
        if (job.convert) {
            ConversionReport report;
            HRESULT converted = ConvertCard(card.document, job.target, report);
            if (FAILED(converted)) return converted;
            PrintReport(source, number, report);
        }
        HRESULT result = card.document.WriteCard(output);
        if (FAILED(result)) {
            job.refusal = card.document.LastRefusal();
            return result;
        }
    }
    return S_OK;
}

void SetBinary(FILE* stream)
{
#ifdef _WIN32
    _setmode(_fileno(stream), _O_BINARY);
#else
    (void)stream;
#endif
}

// True when both paths name one existing file, however they are spelled.
bool SameFile(const char* a, const char* b)
{
#ifdef _WIN32
    HANDLE first = CreateFileA(a, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    HANDLE second = CreateFileA(b, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION one = {}, two = {};
    bool same = first != INVALID_HANDLE_VALUE && second != INVALID_HANDLE_VALUE &&
                GetFileInformationByHandle(first, &one) && GetFileInformationByHandle(second, &two) &&
                one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
                one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
    if (first != INVALID_HANDLE_VALUE) CloseHandle(first);
    if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    return same;
#else
    struct stat one, two;
    return stat(a, &one) == 0 && stat(b, &two) == 0 && one.st_dev == two.st_dev && one.st_ino == two.st_ino;
#endif
}

int Format(const char* path, size_t asked, const char* outPath, int escapeColon, const CardVersion* target = nullptr)
{
    if (outPath != nullptr && SameFile(path, outPath)) {
        return Usage("the output must not be the input file");
    }
    CardSource source;
    if (!OpenSource(path, source)) return EXIT_CARD_FAILED;
    FormatJob job;
    job.source = &source;
    job.escapeColon = escapeColon;
    job.convert = target != nullptr;
    if (target != nullptr) job.target = *target;
    if (!ChooseCards(source, asked, &job.first, &job.last)) return EXIT_USAGE;

    HRESULT result;
    SaveFailure failure;
    if (outPath == nullptr) {
        SetBinary(stdout);
        FileOutput output(stdout);
        result = WriteCards(output, &job);
        if (SUCCEEDED(result) && fflush(stdout) != 0) result = ResultFromRuntimeError();
        failure.stage = SaveStage::Write;
        snprintf(failure.path, sizeof failure.path, "%s", "<standard output>");
    } else {
        result = SaveThroughTemporary(outPath, WriteCards, &job, &failure);
    }
    if (job.loadFailed) return EXIT_CARD_FAILED;  // its message is out already
    if (FAILED(result)) {
        PrintMessage(stderr, ComposeMessageF(result, &job.refusal, SaveFailureMessage(failure.stage), failure.path));
        return EXIT_CARD_FAILED;
    }
    return EXIT_OK;
}

// Several cards are dumped one after the other, an empty line between two.
int Dump(const char* path, size_t asked)
{
    CardSource source;
    size_t first, last;
    if (!OpenSource(path, source)) return EXIT_CARD_FAILED;
    if (!ChooseCards(source, asked, &first, &last)) return EXIT_USAGE;
    SetBinary(stdout);
    for (size_t number = first; number <= last; ++number) {
        LoadedCard card;
        if (!LoadCard(source, number, card)) return EXIT_CARD_FAILED;
        TextBuffer text;
        if (!DumpCard(card.document, text)) {
            PrintMessage(stderr, ComposeMessageF(E_OUTOFMEMORY, nullptr, 0));
            return EXIT_CARD_FAILED;
        }
        if (number > first) fputc('\n', stdout);
        fwrite(text.Data(), 1, text.Length(), stdout);
    }
    return fflush(stdout) == 0 ? EXIT_OK : EXIT_CARD_FAILED;
}

}  // namespace

int main(int argc, char** argv)
{
#ifndef _WIN32
    // The editor's code page, which the manifest gives the Windows build.
    MbsSetCodePage(CODE_PAGE_UTF8);
#endif
    if (argc < 3) return Usage(nullptr);
    const char* command = argv[1];
    const char* path = nullptr;
    const char* outPath = nullptr;
    int escapeColon = -1;
    size_t card = ALL_CARDS;
    const char* targetText = nullptr;
    for (int i = 2; i < argc; ++i) {
        const char* argument = argv[i];
        if (strcmp(argument, "--card") == 0) {
            if (i + 1 >= argc) return Usage("--card needs a card number");
            char* end = nullptr;
            unsigned long number = strtoul(argv[++i], &end, 10);
            if (argv[i][0] < '1' || argv[i][0] > '9' || *end != '\0') return Usage("cards are numbered from 1");
            card = (size_t)number;
        } else if (strcmp(argument, "--to") == 0) {
            if (i + 1 >= argc) return Usage("--to needs a version");
            targetText = argv[++i];
        } else if (strcmp(argument, "-o") == 0) {
            if (i + 1 >= argc) return Usage("-o needs a file name");
            outPath = argv[++i];
        } else if (strcmp(argument, "--escape-colon=0") == 0 || strcmp(argument, "--escape-colon=1") == 0) {
            escapeColon = argument[strlen(argument) - 1] - '0';
        } else if (argument[0] == '-' && argument[1] != '\0') {
            return Usage("unknown option");
        } else if (path == nullptr) {
            path = argument;
        } else {
            return Usage("too many file names");
        }
    }
    if (path == nullptr) return Usage("no file given");
    bool isFormat = strcmp(command, "format") == 0;
    bool isConvert = strcmp(command, "convert") == 0;
    if (!isFormat && !isConvert && outPath != nullptr) return Usage("options belong to format");
    if (!isFormat && escapeColon >= 0) return Usage("options belong to format");
    if (isConvert != (targetText != nullptr)) return Usage(isConvert ? "convert needs --to" : "--to belongs to convert");
    if (isConvert) {
        CardVersion target = VersionFromText(targetText, strlen(targetText));
        if (strcmp(targetText, VersionText(target)) != 0) return Usage("--to takes 2.1, 3.0 or 4.0");
        return Format(path, card, outPath, -1, &target);
    }
    bool isList = strcmp(command, "list") == 0;
    if (isList && card != ALL_CARDS) return Usage("list shows every card");

    if (strcmp(command, "check") == 0) return Check(path, card);
    if (isFormat) return Format(path, card, outPath, escapeColon);
    if (strcmp(command, "dump") == 0) return Dump(path, card);
    if (isList) return List(path);
    return Usage("unknown command");
}
