// vcardtool: loads a card file as the editor's Open does, and checks it, writes it as
// the editor's Save writes it, or dumps it in a form for comparing cards.
#include "app/messages.h"
#include "app/safe_save.h"
#include "card/document.h"
#include "card/io.h"
#include "card/tree.h"
#include "tools/dump.h"
#include "tools/hidden_tree.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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
    "usage: vcardtool check FILE\n"
    "       vcardtool format FILE [-o OUT] [--escape-colon=0|1]\n"
    "       vcardtool dump FILE\n";

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
    ~LoadedCard() { document.DeleteAll(); }
};

// Opens and reads the card; on failure prints the editor's message and returns false.
bool LoadCard(const char* path, LoadedCard& card)
{
    if (card.tree.Window() == nullptr) {
        fprintf(stderr, "vcardtool: cannot create the card container\n");
        return false;
    }
    errno = 0;
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        PrintMessage(stderr, ComposeMessageF(ResultFromRuntimeError(), nullptr, IDS_CANNOT_OPEN, path));
        return false;
    }
    FileInput input(file);
    HRESULT result = card.document.ReadCard(input);
    bool readFailed = ferror(file) != 0;
    fclose(file);
    if (SUCCEEDED(result) && readFailed) result = ResultFromWin32(30);  // the device cannot be read
    if (FAILED(result)) {
        PrintMessage(stdout, ComposeMessageF(result, &card.document.LastRefusal(), IDS_NOT_VALID_FILE, path));
        return false;
    }
    return true;
}

void CountCard(const CardDocument& document, int* groups, int* properties, int* parameters)
{
    *groups = *properties = *parameters = 0;
    TreeWindow tree = document.GetTree();
    for (HTREEITEM item = TreeGetNextItem(tree, TVI_ROOT, TVGN_CHILD); item != nullptr;
         item = TreeGetNextItem(tree, item, TVGN_NEXT)) {
        CardNode* node = document.GetNode(item);
        if (node != nullptr && node->IsGroup()) ++*groups;
    }
    document.ForEachProperty([&](const char*, const PropertyNode* property) {
        ++*properties;
        for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) ++*parameters;
        return true;
    });
}

int Check(const char* path)
{
    LoadedCard card;
    if (!LoadCard(path, card)) return EXIT_CARD_FAILED;
    if (!card.document.ValidateCard()) {
        PrintMessage(stdout, ComposeMessageF(0, &card.document.LastRefusal(), IDS_CARD_NOT_VALID));
        return EXIT_CARD_FAILED;
    }
    int groups, properties, parameters;
    CountCard(card.document, &groups, &properties, &parameters);
    printf("%s: valid; %d groups, %d properties, %d parameters\n", path, groups, properties, parameters);
    return EXIT_OK;
}

HRESULT WriteDocument(CardOutput& output, void* context)
{
    return ((CardDocument*)context)->WriteCard(output);
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

int Format(const char* path, const char* outPath, int escapeColon)
{
    if (outPath != nullptr && SameFile(path, outPath)) {
        return Usage("the output must not be the input file");
    }
    LoadedCard card;
    if (!LoadCard(path, card)) return EXIT_CARD_FAILED;
    if (escapeColon >= 0) card.escapeColon = escapeColon;

    if (outPath == nullptr) {
        SetBinary(stdout);
        FileOutput output(stdout);
        HRESULT result = card.document.WriteCard(output);
        if (SUCCEEDED(result) && fflush(stdout) != 0) result = ResultFromRuntimeError();
        if (FAILED(result)) {
            PrintMessage(stderr, ComposeMessageF(result, &card.document.LastRefusal(), IDS_CANNOT_SAVE, "<standard output>"));
            return EXIT_CARD_FAILED;
        }
        return EXIT_OK;
    }

    SaveFailure failure;
    HRESULT result = SaveThroughTemporary(outPath, WriteDocument, &card.document, &failure);
    if (FAILED(result)) {
        int id = failure.stage == SaveStage::CreateTemporary ? IDS_CANNOT_CREATE
                 : failure.stage == SaveStage::Write         ? IDS_CANNOT_SAVE
                                                             : IDS_CANNOT_DELETE;
        PrintMessage(stderr, ComposeMessageF(result, &card.document.LastRefusal(), id, failure.path));
        return EXIT_CARD_FAILED;
    }
    return EXIT_OK;
}

int Dump(const char* path)
{
    LoadedCard card;
    if (!LoadCard(path, card)) return EXIT_CARD_FAILED;
    TextBuffer text;
    if (!DumpCard(card.document, text)) {
        PrintMessage(stderr, ComposeMessageF(E_OUTOFMEMORY, nullptr, 0));
        return EXIT_CARD_FAILED;
    }
    SetBinary(stdout);
    fwrite(text.Data(), 1, text.Length(), stdout);
    return fflush(stdout) == 0 ? EXIT_OK : EXIT_CARD_FAILED;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) return Usage(nullptr);
    const char* command = argv[1];
    const char* path = nullptr;
    const char* outPath = nullptr;
    int escapeColon = -1;
    for (int i = 2; i < argc; ++i) {
        const char* argument = argv[i];
        if (strcmp(argument, "-o") == 0) {
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
    if (!isFormat && (outPath != nullptr || escapeColon >= 0)) return Usage("options belong to format");

    if (strcmp(command, "check") == 0) return Check(path);
    if (isFormat) return Format(path, outPath, escapeColon);
    if (strcmp(command, "dump") == 0) return Dump(path);
    return Usage("unknown command");
}
