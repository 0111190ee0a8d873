// The card core's benchmark: makes synthetic single-card files, then times reading and
// writing them with the editor's own reader and writer, measures the peak memory of a
// load and save in a child process, times the floor (reading the file and counting its
// lines with memchr) and the peer parser (ical.js under node), and prints one table.
//
//   card_bench generate typical|photo|escapes|book|export21 BYTES FILE
//   card_bench measure [--runs N] [--node NODE --peer SCRIPT --module DIR] FILE...
//   card_bench book [--runs N] [--title TEXT] FILE   (a file of many cards: listing and opening one)
//   card_bench load FILE      (child: load and save once, for the peak memory)
//   card_bench idle           (child: the same program doing nothing, the baseline)
#include "card/card_file.h"
#include "card/document.h"
#include "card/io.h"
#include "card/mbstring.h"
#include "tools/hidden_tree.h"

#include <algorithm>
#include <chrono>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const size_t CHUNK = 64 * 1024;
const double MB = 1024.0 * 1024.0;

// ---------------------------------------------------------------- generator

// Writes one logical line folded as the writer folds: 75 bytes, then a blank and 75.
void PutFolded(FILE* out, const std::string& line)
{
    size_t start = 0;
    bool first = true;
    while (first || start < line.size()) {
        size_t count = std::min((size_t)75, line.size() - start);
        if (!first) fputc(' ', out);
        fwrite(line.data() + start, 1, count, out);
        fputs("\r\n", out);
        start += count;
        first = false;
    }
}

// A stream of pseudo-random numbers that is the same on every run.
struct Random {
    uint32_t state = 2463534242u;
    uint32_t Next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

// Many short properties as address books write them: grouped TEL and label pairs,
// parameters with lists, structured values, and a few escapes.
void GenerateTypical(FILE* out, size_t bytes)
{
    static const char* const labels[] = {"_$!<Mobile>!$_", "_$!<Home>!$_", "_$!<Other>!$_", "Office"};
    static const char* const towns[] = {"Springfield", "Shelbyville", "Ogdenville", "North Haverbrook"};
    long written = ftell(out);
    for (int i = 1; written < (long)bytes - 12; ++i) {
        fprintf(out, "item%d.TEL;TYPE=WORK,VOICE;PREF=1:+1-555-%04d\r\n", i, i % 10000);
        fprintf(out, "item%d.X-ABLabel:%s\r\n", i, labels[i % 4]);
        fprintf(out, "EMAIL;TYPE=HOME,INTERNET:person%d@example.com\r\n", i);
        fprintf(out, "ADR;TYPE=HOME:;;%d Main St\\, Apt %d;%s;IL;62701;USA\r\n", i, i % 50, towns[i % 4]);
        fprintf(out, "NOTE;LANGUAGE=en:Met at the fair\\; call back\\, maybe in %d days.\r\n", i % 30);
        fprintf(out, "CATEGORIES:friends,work\r\n");
        written = ftell(out);
    }
}

// One PHOTO whose base64 data takes the whole size, folded.
void GeneratePhoto(FILE* out, size_t bytes)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    long start = ftell(out);
    size_t room = bytes - (size_t)start - 11;  // the END line
    // Each 75 bytes of the logical line take 78 in the file (blank, CR, LF).
    size_t logical = room * 75 / 78;
    std::string line = "PHOTO:data:image/jpeg;base64,";
    Random random;
    while (line.size() < logical) line += alphabet[random.Next() % 64];
    PutFolded(out, line);
}

// Long NOTE values dense with the escapes \, \; \: and a few \\ and \n, folded.
void GenerateEscapes(FILE* out, size_t bytes)
{
    static const char* const pieces[] = {"a\\,b", "c\\;d", "e\\:f", "g\\,h\\;i", "j\\:k\\,", "l\\\\m", "n\\no"};
    Random random;
    long written = ftell(out);
    while (written < (long)bytes - 12 - 20000) {
        std::string line = "NOTE:";
        while (line.size() < 16000) {
            line += pieces[random.Next() % 7];
            line += ' ';
        }
        PutFolded(out, line);
        written = ftell(out);
    }
}

// An address book export: cards of about 520 bytes, each with FN and N, a grouped TEL
// with its label, EMAIL, ADR, NOTE, CATEGORIES, ORG, TITLE, URL, UID and REV, until bytes.
void GenerateBook(FILE* out, size_t bytes)
{
    static const char* const given[] = {"Ann", "Bob", "Cid", "Dora", "Emil", "Fay", "Gus", "Hanna"};
    static const char* const family[] = {"Archer", "Baker", "Carter", "Dyer", "Evans", "Fuller", "Grant"};
    static const char* const towns[] = {"Springfield", "Shelbyville", "Ogdenville", "North Haverbrook"};
    long written = ftell(out);
    for (int i = 1; written < (long)bytes - 600; ++i) {
        const char* g = given[i % 8];
        const char* f = family[(i / 8) % 7];
        fprintf(out, "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:%s %s %d\r\nN:%s;%s;;;\r\n", g, f, i, f, g);
        fprintf(out, "item1.TEL;TYPE=WORK,VOICE;PREF=1:+1-555-%04d\r\nitem1.X-ABLabel:_$!<Mobile>!$_\r\n", i % 10000);
        fprintf(out, "EMAIL;TYPE=HOME,INTERNET:%s.%s%d@example.com\r\n", g, f, i);
        fprintf(out, "ADR;TYPE=HOME:;;%d Main St\\, Apt %d;%s;IL;62701;USA\r\n", i, i % 50, towns[i % 4]);
        fprintf(out, "NOTE;LANGUAGE=en:Met at the fair\\; call back\\, maybe in %d days.\r\n", i % 30);
        fprintf(out, "CATEGORIES:friends,work\r\nORG:Example Corporation;Sales\r\nTITLE:Account manager\r\n");
        fprintf(out, "URL:https://example.com/%d\r\nUID:urn:uuid:4fbe8971-0bc3-424c-9c26-%012d\r\n", i, i);
        fprintf(out, "REV:20240101T120000Z\r\nEND:VCARD\r\n");
        written = ftell(out);
    }
}

// Appends text as quoted-printable, every byte that is not printable ASCII (and '=') as
// =XX, with a soft line break ('=' at the end of the line) wherever the next piece would
// pass 76 bytes, as phones write it. column is where the line stands so far.
void PutQuotedPrintable(std::string& out, const char* text, size_t& column)
{
    static const char hex[] = "0123456789ABCDEF";
    for (const unsigned char* p = (const unsigned char*)text; *p != '\0'; ++p) {
        bool plain = *p >= 0x20 && *p < 0x7F && *p != '=';
        size_t width = plain ? 1 : 3;
        if (column + width > 75) {
            out += "=\r\n";
            column = 0;
        }
        if (plain) {
            out += (char)*p;
        } else {
            out += '=';
            out += hex[*p >> 4];
            out += hex[*p & 15];
        }
        column += width;
    }
}

// One property whose value is quoted-printable UTF-8, as Android writes a name or an address.
void PutQuotedPrintableLine(std::string& out, const char* head, const char* value)
{
    out += head;
    out += ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:";
    size_t column = strlen(head) + 41;
    PutQuotedPrintable(out, value, column);
    out += "\r\n";
}

// A phone's 2.1 export: cards of about 520 bytes whose N, FN, ADR and NOTE are
// quoted-printable UTF-8 (names of accented and Greek letters, most with a soft break),
// with bare TEL and EMAIL types (TEL;CELL;PREF, TEL;WORK;VOICE), until bytes.
void GenerateExport21(FILE* out, size_t bytes)
{
    static const char* const given[] = {"Jürgen", "Åsa", "Zoë", "Σοφία", "Ørjan", "Françoise", "Łukasz", "Ιωάννης"};
    static const char* const family[] = {"Müller-Lüdenscheidt", "Öztürk", "Nørgaard", "Παπαδοπούλου",
                                         "Sánchez-Würth", "Dvořáková", "Ångström"};
    static const char* const towns[] = {"München", "Göteborg", "Θεσσαλονίκη", "Kraków"};
    std::string card;
    char text[512];
    long written = ftell(out);
    for (int i = 1; written < (long)bytes - 600; ++i) {
        const char* g = given[i % 8];
        const char* f = family[(i / 8) % 7];
        const char* town = towns[i % 4];
        card = "BEGIN:VCARD\r\nVERSION:2.1\r\n";
        snprintf(text, sizeof text, "%s;%s;;;", f, g);
        PutQuotedPrintableLine(card, "N", text);
        snprintf(text, sizeof text, "%s %s %d", g, f, i);
        PutQuotedPrintableLine(card, "FN", text);
        snprintf(text, sizeof text, "TEL;CELL;PREF:+49170%07d\r\nTEL;WORK;VOICE:+4989%06d\r\n"
                 "EMAIL;HOME;INTERNET:p%d@example.com\r\n", i, i % 1000000, i);
        card += text;
        snprintf(text, sizeof text, ";;Hauptstraße %d;%s;;%05d;", i % 200, town, 10000 + i % 90000);
        PutQuotedPrintableLine(card, "ADR;HOME", text);
        snprintf(text, sizeof text, "Später anrufen\r\n(%d Tage)", i % 30);
        PutQuotedPrintableLine(card, "NOTE", text);
        card += "END:VCARD\r\n";
        fwrite(card.data(), 1, card.size(), out);
        written = ftell(out);
    }
}

int Generate(const char* kind, const char* size, const char* path)
{
    size_t bytes = strtoul(size, nullptr, 10);
    FILE* out = fopen(path, "wb");
    if (out == nullptr) {
        perror(path);
        return 1;
    }
    if (strcmp(kind, "book") == 0 || strcmp(kind, "export21") == 0) {
        if (kind[0] == 'b') GenerateBook(out, bytes);
        else GenerateExport21(out, bytes);
        return fclose(out) == 0 ? 0 : 1;
    }
    fprintf(out, "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Synthetic %s\r\nN:Synthetic;%s;;;\r\n", kind, kind);
    if (strcmp(kind, "typical") == 0) GenerateTypical(out, bytes);
    else if (strcmp(kind, "photo") == 0) GeneratePhoto(out, bytes);
    else if (strcmp(kind, "escapes") == 0) GenerateEscapes(out, bytes);
    else {
        fprintf(stderr, "card_bench: unknown kind %s\n", kind);
        fclose(out);
        return 2;
    }
    fputs("END:VCARD\r\n", out);
    return fclose(out) == 0 ? 0 : 1;
}

// ---------------------------------------------------------------- the card core

struct Card {
    HiddenTree tree;
    int escapeColon = 0;
    CardDocument document{tree.Window(), &escapeColon};
    ~Card() { document.DeleteAll(); }
};

bool Load(Card& card, const char* path)
{
    FILE* file = fopen(path, "rb");
    if (file == nullptr) return false;
    FileInput input(file);
    HRESULT result = card.document.ReadCard(input);
    fclose(file);
    return SUCCEEDED(result);
}

bool Save(Card& card, const char* path)
{
    FILE* file = fopen(path, "wb");
    if (file == nullptr) return false;
    FileOutput output(file);
    HRESULT result = card.document.WriteCard(output);
    return fclose(file) == 0 && SUCCEEDED(result);
}

// The floor: the file read in the reader's chunk size, its lines counted with memchr.
long CountLines(const char* path)
{
    FILE* file = fopen(path, "rb");
    if (file == nullptr) return -1;
    std::vector<char> chunk(CHUNK);
    long lines = 0;
    for (size_t got; (got = fread(chunk.data(), 1, CHUNK, file)) > 0;) {
        const char* p = chunk.data();
        const char* end = p + got;
        while ((p = (const char*)memchr(p, '\n', (size_t)(end - p))) != nullptr) {
            ++lines;
            ++p;
        }
    }
    fclose(file);
    return lines;
}

// ---------------------------------------------------------------- measuring

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Times {
    double best = 0;
    double median = 0;
};

Times Summarise(std::vector<double> seconds)
{
    std::sort(seconds.begin(), seconds.end());
    Times times;
    times.best = seconds.front();
    size_t n = seconds.size();
    times.median = n % 2 == 1 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
    return times;
}

template <typename Step>
Times Repeat(int runs, Step step)
{
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        if (!step()) return Times{-1, -1};
        seconds.push_back(Now() - start);
    }
    return Summarise(seconds);
}

// This process's peak resident memory in bytes (VmHWM), -1 when unknown. It is read in
// the child itself: a count taken by the parent (wait4's ru_maxrss) would include the
// pages the child shared with the parent between fork and exec.
long OwnPeak()
{
    FILE* status = fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long kilobytes = -1;
    while (fgets(line, sizeof line, status) != nullptr) {
        if (strncmp(line, "VmHWM:", 6) == 0) kilobytes = strtol(line + 6, nullptr, 10);
    }
    fclose(status);
    return kilobytes < 0 ? -1 : kilobytes * 1024;
}

// The peak resident memory of this program run with an argument, as the child reports it.
long ChildPeak(const char* self, const std::string& arguments)
{
    std::string command = "'" + std::string(self) + "' " + arguments;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    long peak = -1;
    if (fscanf(pipe, "%ld", &peak) != 1) peak = -1;
    if (pclose(pipe) != 0) peak = -1;
    return peak;
}

// ical.js's best and median time in seconds, read from the peer script's one line.
Times PeerTimes(const std::string& node, const std::string& script, const std::string& module,
                const char* path, int runs)
{
    std::string command = "'" + node + "' '" + script + "' '" + module + "' '" + path + "' " + std::to_string(runs);
    FILE* pipe = popen(command.c_str(), "r");
    Times times{-1, -1};
    if (pipe == nullptr) return times;
    double best = 0, median = 0;
    if (fscanf(pipe, "%lf %lf", &best, &median) == 2) times = Times{best / 1000, median / 1000};
    if (pclose(pipe) != 0) times = Times{-1, -1};
    return times;
}

struct Row {
    std::string name;
    double size = 0;
    Times read, write, save, floor, peer;
    double written = 0;
    long peak = -1;
};

std::string Figure(double value, const char* format)
{
    if (value < 0) return "-";
    char text[32];
    snprintf(text, sizeof text, format, value);
    return text;
}

std::string Ratio(double a, double b)
{
    return a > 0 && b > 0 ? Figure(a / b, "%.2fx") : "-";
}

void PrintTable(const std::vector<Row>& rows, bool withPeer)
{
    printf("| file | size MB | read best / median ms | read MB/s | write best / median ms | write MB/s | "
           "write / read | save to disk median ms | peak MB | peak / size | floor median ms | read / floor |%s\n",
           withPeer ? " ical.js best / median ms | ical.js / read |" : "");
    printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|%s\n", withPeer ? "---:|---:|" : "");
    for (const Row& row : rows) {
        printf("| %s | %.1f | %s / %s | %s | %s / %s | %s | %s | %s | %s | %s | %s | %s |", row.name.c_str(),
               row.size / MB, Figure(row.read.best * 1000, "%.1f").c_str(),
               Figure(row.read.median * 1000, "%.1f").c_str(), Figure(row.size / MB / row.read.median, "%.0f").c_str(),
               Figure(row.write.best * 1000, "%.1f").c_str(), Figure(row.write.median * 1000, "%.1f").c_str(),
               Figure(row.written / MB / row.write.median, "%.0f").c_str(), Ratio(row.write.median, row.read.median).c_str(),
               Figure(row.save.median * 1000, "%.1f").c_str(),
               Figure(row.peak / MB, "%.1f").c_str(), Ratio((double)row.peak, row.size).c_str(),
               Figure(row.floor.median * 1000, "%.2f").c_str(), Ratio(row.read.median, row.floor.median).c_str());
        if (withPeer) {
            printf(" %s / %s | %s |", Figure(row.peer.best * 1000, "%.0f").c_str(),
                   Figure(row.peer.median * 1000, "%.0f").c_str(), Ratio(row.peer.median, row.read.median).c_str());
        }
        printf("\n");
    }
}

const Row* FindRow(const std::vector<Row>& rows, const char* name)
{
    for (const Row& row : rows) {
        if (row.name == name) return &row;
    }
    return nullptr;
}

void Verdict(const char* target, double value, double limit, bool atLeast)
{
    if (value < 0) {
        printf("- %s: not measured\n", target);
        return;
    }
    bool met = atLeast ? value >= limit : value <= limit;
    printf("- %s: %.2fx (%s %.1fx) %s\n", target, value, atLeast ? "at least" : "at most", limit,
           met ? "met" : "MISSED");
}

double RatioValue(double a, double b)
{
    return a > 0 && b > 0 ? a / b : -1;
}

void PrintTargets(const std::vector<Row>& rows)
{
    printf("\nTargets (medians; the read targets on the 10 MB files):\n");
    const Row* typical = FindRow(rows, "typical-10MB");
    const Row* photo = FindRow(rows, "photo-10MB");
    const Row* escapes = FindRow(rows, "escapes-10MB");
    if (typical != nullptr) {
        Verdict("typical read vs ical.js (ical.js / ours)", RatioValue(typical->peer.median, typical->read.median),
                10, true);
    }
    if (photo != nullptr) {
        Verdict("photo read vs the memchr floor", RatioValue(photo->read.median, photo->floor.median), 5, false);
    }
    if (typical != nullptr && escapes != nullptr) {
        // Per byte, so that a small difference in size does not count.
        Verdict("escapes read vs typical read, per byte",
                RatioValue(escapes->read.median / escapes->size, typical->read.median / typical->size), 1.5, false);
    }
    for (const Row& row : rows) {
        Verdict(("write vs read, " + row.name).c_str(),
                RatioValue(row.write.median / row.written, row.read.median / row.size), 2, false);
    }
    for (const Row& row : rows) {
        Verdict(("peak memory vs size, " + row.name).c_str(), RatioValue((double)row.peak, row.size),
                row.name.rfind("photo", 0) == 0 ? 3 : 4, false);
    }
}

std::string BaseName(const char* path)
{
    std::string name = path;
    size_t slash = name.rfind('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

int Measure(int argc, char** argv, const char* self)
{
    int runs = 7;
    std::string node, peer, module;
    std::vector<const char*> files;
    for (int i = 0; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--runs" && i + 1 < argc) runs = atoi(argv[++i]);
        else if (argument == "--node" && i + 1 < argc) node = argv[++i];
        else if (argument == "--peer" && i + 1 < argc) peer = argv[++i];
        else if (argument == "--module" && i + 1 < argc) module = argv[++i];
        else files.push_back(argv[i]);
    }
    if (runs < 1 || files.empty()) {
        fprintf(stderr, "card_bench measure: no files\n");
        return 2;
    }
    bool withPeer = !node.empty() && !peer.empty() && !module.empty();
    long baseline = ChildPeak(self, "idle");
    const char* scratch = getenv("CARD_BENCH_OUT") != nullptr ? getenv("CARD_BENCH_OUT") : "/tmp/card_bench_out.vcf";

    std::vector<Row> rows;
    for (const char* path : files) {
        Row row;
        row.name = BaseName(path);
        FILE* file = fopen(path, "rb");
        if (file == nullptr) {
            perror(path);
            return 1;
        }
        fseek(file, 0, SEEK_END);
        row.size = (double)ftell(file);
        fclose(file);
        fprintf(stderr, "card_bench: %s\n", row.name.c_str());

        CountLines(path);  // the file in the page cache for everyone
        row.floor = Repeat(runs, [&] { return CountLines(path) >= 0; });
        {
            // Each read fills a new card; freeing it afterwards is not part of the read.
            std::vector<double> seconds;
            for (int i = 0; i < runs; ++i) {
                Card card;
                double start = Now();
                if (!Load(card, path)) {
                    fprintf(stderr, "card_bench: %s does not load\n", path);
                    return 1;
                }
                seconds.push_back(Now() - start);
            }
            row.read = Summarise(seconds);
        }
        {
            Card card;
            if (!Load(card, path)) return 1;
            // The writer's own cost: the stream goes to /dev/null, as the read's comes
            // from the page cache; a save to a new file on disk is timed beside it.
            row.write = Repeat(runs, [&] { return Save(card, "/dev/null"); });
            row.save = Repeat(runs, [&] { return Save(card, scratch); });
            FILE* out = fopen(scratch, "rb");
            if (out != nullptr) {
                fseek(out, 0, SEEK_END);
                row.written = (double)ftell(out);
                fclose(out);
            }
        }
        long peak = ChildPeak(self, "load '" + std::string(path) + "'");
        row.peak = peak >= 0 && baseline >= 0 ? peak - baseline : -1;
        if (withPeer) row.peer = PeerTimes(node, peer, module, path, runs);
        rows.push_back(row);
    }
    remove(scratch);
    printf("Runs per figure: %d; times include reading the file from the page cache.\n\n", runs);
    PrintTable(rows, withPeer);
    PrintTargets(rows);
    return 0;
}


// ---------------------------------------------------------------- an address book

// What the picker needs: the file's cards found and every one named.
bool ListBook(const char* path, size_t* cards)
{
    FILE* file = fopen(path, "rb");
    if (file == nullptr) return false;
    CardFile book;
    HRESULT result = book.Read(file);
    fclose(file);
    if (FAILED(result)) return false;
    char name[256];
    size_t named = 0;
    for (size_t i = 0; i < book.CardCount(); ++i) named += book.CardName(i, name, sizeof name) != 0;
    *cards = book.CardCount();
    return named == book.CardCount();
}

// The same on bytes already in memory, beside a memchr pass over them: the scan itself,
// without reading the file or the fresh pages of a buffer for it.
bool ListBytes(CardFile& book)
{
    if (!book.List()) return false;
    char name[256];
    size_t named = 0;
    for (size_t i = 0; i < book.CardCount(); ++i) named += book.CardName(i, name, sizeof name) != 0;
    return named == book.CardCount();
}

// Where the counts go, so that the compiler keeps the loop that makes them.
volatile long lineSink;

long CountLinesIn(const char* bytes, size_t length)
{
    long lines = 0;
    const char* end = bytes + length;
    for (const char* p = bytes; (p = (const char*)memchr(p, '\n', (size_t)(end - p))) != nullptr; ++p) ++lines;
    lineSink = lines;
    return lines;
}

// A 10 MB export of some 20,000 cards: listing its cards with their names against the
// memchr floor, and opening one card from it (as the editor does once the user chose
// it) against reading that card alone from a file of its own.
int MeasureBook(int argc, char** argv)
{
    int runs = 7;
    const char* path = nullptr;
    const char* title = "An address book";
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = atoi(argv[++i]);
        else if (strcmp(argv[i], "--title") == 0 && i + 1 < argc) title = argv[++i];
        else path = argv[i];
    }
    if (path == nullptr || runs < 1) {
        fprintf(stderr, "card_bench book: no file\n");
        return 2;
    }
    // Names in the editor's code page, UTF-8 (what its manifest asks Windows for): an
    // export's UTF-8 names need no conversion there, as they would natively in 1252.
    MbsSetCodePage(CODE_PAGE_UTF8);
    size_t cards = 0;
    CountLines(path);  // the file in the page cache
    Times floor = Repeat(runs, [&] { return CountLines(path) >= 0; });
    Times list = Repeat(runs, [&] { return ListBook(path, &cards); });

    CardFile bytes;
    FILE* file = fopen(path, "rb");
    if (file == nullptr || FAILED(bytes.Read(file))) return 1;
    fclose(file);
    Times memoryFloor = Repeat(runs, [&] { return CountLinesIn(bytes.Bytes(), bytes.Length()) >= 0; });
    CardFile& listed = bytes;
    Times memoryList = Repeat(runs, [&] { return ListBytes(listed); });

    // The middle card, from the book and alone.
    size_t middle = listed.CardCount() / 2;
    const CardSpan& span = listed.Card(middle);
    const char* scratch = getenv("CARD_BENCH_OUT") != nullptr ? getenv("CARD_BENCH_OUT") : "/tmp/card_bench_out.vcf";
    FILE* alone = fopen(scratch, "wb");
    if (alone == nullptr) return 1;
    fwrite(listed.Bytes() + span.begin, 1, span.end - span.begin, alone);
    fclose(alone);
    std::vector<double> fromBook, byItself;
    for (int i = 0; i < runs; ++i) {
        {
            Card card;
            double start = Now();
            if (FAILED(listed.ReadCard(middle, card.document))) return 1;
            fromBook.push_back(Now() - start);
        }
        {
            Card card;
            double start = Now();
            if (!Load(card, scratch)) return 1;
            byItself.push_back(Now() - start);
        }
    }
    remove(scratch);
    Times open = Summarise(fromBook), single = Summarise(byItself);

    printf("\n%s of %lu cards (%.1f MB), %d runs per figure, best / median:\n\n", title,
           (unsigned long)cards, (double)bytes.Length() / MB, runs);
    printf("| step | ms | against | ms | ratio (medians) |\n|---|---:|---|---:|---:|\n");
    printf("| list the cards with their names, from the file | %.2f / %.2f "
           "| memchr floor, from the file | %.2f / %.2f | %s |\n",
           list.best * 1000, list.median * 1000, floor.best * 1000, floor.median * 1000,
           Ratio(list.median, floor.median).c_str());
    printf("| the same on the bytes in memory | %.2f / %.2f | memchr over them | %.2f / %.2f | %s |\n",
           memoryList.best * 1000, memoryList.median * 1000, memoryFloor.best * 1000, memoryFloor.median * 1000,
           Ratio(memoryList.median, memoryFloor.median).c_str());
    printf("| open card %lu of the listed book | %.3f / %.3f | that card alone, from its file | %.3f / %.3f | %s |\n",
           (unsigned long)middle + 1, open.best * 1000, open.median * 1000, single.best * 1000, single.median * 1000,
           Ratio(open.median, single.median).c_str());
    printf("\nTargets:\n");
    Verdict("listing vs the memchr floor, from the file", RatioValue(list.median, floor.median), 5, false);
    Verdict("listing vs one memchr pass, on the bytes in memory", RatioValue(memoryList.median, memoryFloor.median),
            5, false);
    Verdict("opening one card of the book vs that card alone", RatioValue(open.median, single.median), 1.5, false);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 5 && strcmp(argv[1], "generate") == 0) return Generate(argv[2], argv[3], argv[4]);
    if (argc >= 2 && strcmp(argv[1], "idle") == 0) {
        printf("%ld\n", OwnPeak());
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "load") == 0) {
        int status;
        {
            Card card;
            status = Load(card, argv[2]) && Save(card, "/dev/null") ? 0 : 1;
        }
        printf("%ld\n", OwnPeak());
        return status;
    }
    if (argc >= 2 && strcmp(argv[1], "measure") == 0) return Measure(argc - 2, argv + 2, argv[0]);
    if (argc >= 2 && strcmp(argv[1], "book") == 0) return MeasureBook(argc - 2, argv + 2);
    fprintf(stderr,
            "usage: card_bench generate typical|photo|escapes|book|export21 BYTES FILE\n"
            "       card_bench measure [--runs N] [--node NODE --peer SCRIPT --module DIR] FILE...\n"
            "       card_bench book [--runs N] [--title TEXT] FILE\n");
    return 2;
}
