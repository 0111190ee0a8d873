// Save As: the card to a file the user names, in the version the user chooses (2.1, 3.0
// or 4.0), converted when that is not the card's own, with a report of what the
// conversion changed; the editor then works on the new file.
#include "ui/file_commands.h"

#include "card/convert.h"
#include "card/io.h"
#include "res/resource.h"
#include "services/messages.h"
#include "services/safe_save.h"
#include "ui/main_dialog.h"
#include "ui/shell_calls.h"

#include <commdlg.h>
#include <new>
#include <stdio.h>
#include <string.h>
#include <string>

namespace {

// The versions a save may write, in the order of the dialog's file types.
const CardVersion SAVE_AS_VERSIONS[] = {CardVersion::V40, CardVersion::V30, CardVersion::V21};
const DWORD SAVE_AS_VERSION_COUNT = sizeof SAVE_AS_VERSIONS / sizeof SAVE_AS_VERSIONS[0];
// Pairs of display text and pattern, the list ended by an extra NUL.
const char VERSION_FILTER[] = "vCard 4.0 (*.vcf)\0*.vcf\0vCard 3.0 (*.vcf)\0*.vcf\0vCard 2.1 (*.vcf)\0*.vcf\0";
const char DEFAULT_EXTENSION[] = "vcf";
const size_t SAVE_AS_TITLE_SIZE = 128;
// What a message box shows of a conversion's report, at most.
// (The whole message must fit MESSAGE_TEXT_SIZE.)
const size_t REPORT_SIZE = 1536;
const size_t REPORT_LINES = 20;

DWORD FilterIndexOf(CardVersion version)
{
    for (DWORD i = 0; i < SAVE_AS_VERSION_COUNT; ++i) {
        if (SAVE_AS_VERSIONS[i] == version) return i + 1;
    }
    return 1;
}

}  // namespace

LRESULT FileCommands::OnFileSaveAs(WORD, WORD, HWND, bool&)
{
    dialog.CommitOpenEditor();
    if (document == nullptr) return 0;
    // Room for any path, so that one too long for the editor is refused in words.
    std::string chosenPath(CHOSEN_PATH_ROOM, '\0');
    memcpy(&chosenPath[0], filePath, sizeof filePath);
    char title[SAVE_AS_TITLE_SIZE];
    LoadTextString(IDS_SAVE_AS_TITLE, title, (int)sizeof title);
    OPENFILENAMEA record =
        FileDialogRecord(dialog.Window(), &chosenPath[0], chosenPath.size(), VERSION_FILTER, DEFAULT_EXTENSION);
    record.nFilterIndex = FilterIndexOf(document->GetVersion());
    record.lpstrTitle = title;
    record.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!ChooseFileToSave(&record) || RefusedAsTooLong(chosenPath.c_str(), IDS_SAVE_PATH_TOO_LONG)) return 0;
    const char* path = chosenPath.c_str();
    DWORD chosen = record.nFilterIndex >= 1 && record.nFilterIndex <= SAVE_AS_VERSION_COUNT ? record.nFilterIndex : 1;
    if (SaveConvertedCopy(path, SAVE_AS_VERSIONS[chosen - 1])) {
        // The editor works on the new file, as if it had been opened.
        memcpy(loadPath, path, strlen(path) + 1);
        LoadFile();
    }
    return 0;
}

// Writes the card, converted to version, to path; the open card stays as it is. A card
// of a file of several is written alone. False when the user was told why not.
bool FileCommands::SaveConvertedCopy(const char* path, CardVersion version)
{
    // Writing the card clears the marks of what was changed, which the open card keeps
    // for a save prompt as long as it is not saved.
    bool wasModified = document->IsModified();
    // In its own version the card is written as it stands: a copy read from its text
    // would write the same bytes.
    if (version == document->GetVersion()) {
        bool saved = SaveCopyOf(document, path);
        if (!saved && wasModified) document->MarkStructureChanged();
        return saved;
    }
    // Else the card goes through its text into a document of its own, behind the tree on
    // screen, and is converted there.
    MemoryOutput text;
    HRESULT result = document->WriteCard(text);
    if (wasModified) document->MarkStructureChanged();
    if (FAILED(result)) {
        ReportMessage(result, &document->LastRefusal(), MB_ICONERROR, IDS_CANNOT_SAVE, path);
        return false;
    }
    HWND tree = CreateLoadingTree();
    if (tree == nullptr) {
        ReportMessage(FailureFromLastError(), nullptr, MB_ICONERROR, IDS_CANNOT_SAVE, path);
        return false;
    }
    int copyEscapeColon = 0;
    CardDocument* copy = NewLoadingDocument(tree, &copyEscapeColon);
    if (copy == nullptr) {
        ReportMessage(E_OUTOFMEMORY, nullptr, MB_ICONERROR, IDS_CANNOT_SAVE, path);
        DestroyWindow(tree);
        return false;
    }
    MemoryInput input(text.text);
    result = copy->ReadCard(input);
    int* escapeColon = dialog.EscapeColonCell();
    copyEscapeColon = escapeColon != nullptr ? *escapeColon : 0;
    ConversionReport report;
    if (SUCCEEDED(result)) result = ConvertCard(*copy, version, report);
    bool saved = false;
    if (FAILED(result)) {
        ReportMessage(result, nullptr, MB_ICONERROR, IDS_CANNOT_SAVE, path);
    } else {
        saved = SaveCopyOf(copy, path);
    }
    // A large copy is emptied later, as a large card that leaves the screen is.
    if (!closing && RetiredCards::IsWorthRetiring(*copy)) {
        SetWindowLongPtrA(tree, GWLP_ID, IDC_RETIRED_TREE);
        retired.Retire(copy, dialog.Window());
    } else {
        copy->DeleteAll();
        delete copy;
        DestroyWindow(tree);
    }
    if (saved && !report.entries.empty()) ShowConversionReport(path, report);
    return saved;
}

// Checks the card and writes it to path through a temporary file; false when the user
// was told why not.
bool FileCommands::SaveCopyOf(CardDocument* card, const char* path)
{
    if (!card->ValidateCard()) {
        ReportMessage(0, &card->LastRefusal(), MB_ICONERROR, IDS_CARD_NOT_VALID);
        return false;
    }
    SaveFailure failure;
    HRESULT result = SaveThroughTemporary(path, WriteWholeCard, card, &failure);
    if (FAILED(result)) {
        ReportMessage(result, &card->LastRefusal(), MB_ICONERROR, SaveFailureMessage(failure.stage), failure.path);
    }
    return SUCCEEDED(result);
}

// What the conversion changed, a line each, as many as a message box shows well.
void FileCommands::ShowConversionReport(const char* path, const ConversionReport& report)
{
    char* lines = (char*)malloc(REPORT_SIZE);
    if (lines == nullptr) return;
    size_t used = 0;
    lines[0] = '\0';
    size_t shown = 0;
    for (const ConversionEntry& entry : report.entries) {
        if (shown == REPORT_LINES) break;
        char line[512];
        DescribeConversionChange(entry, line, sizeof line);
        int written = _snprintf(lines + used, REPORT_SIZE - used, "%s\n", line);
        if (written < 0 || (size_t)written >= REPORT_SIZE - used) break;
        used += (size_t)written;
        ++shown;
    }
    if (shown < report.entries.size()) {
        char more[64];
        char format[64];
        LoadTextString(IDS_MORE_CHANGES, format, (int)sizeof format);
        _snprintf(more, sizeof more, format, (int)(report.entries.size() - shown));
        more[sizeof more - 1] = '\0';
        _snprintf(lines + used, REPORT_SIZE - used, "%s", more);
        lines[REPORT_SIZE - 1] = '\0';
    }
    ReportMessage(0, nullptr, MB_ICONINFORMATION, IDS_CONVERTED, path, VersionText(report.to), VersionText(report.from),
                  lines);
    free(lines);
}
