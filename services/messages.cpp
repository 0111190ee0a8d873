// Message composition: body, code line and a refusal's detail within fixed-size texts.
#include "services/messages.h"

#include "card/convert.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const int FORMAT_SIZE = 512;         // a body's format text
const int DETAIL_FORMAT_SIZE = 256;  // a detail's format text

// vsnprintf that reports "did not fit" the same way with every run-time: the text
// written and -1 when it was cut. The buffer always ends terminated.
int FormatInto(char* buffer, size_t room, const char* format, va_list arguments)
{
    if (room == 0) return -1;
    int length = vsnprintf(buffer, room, format, arguments);
    buffer[room - 1] = '\0';
    return (length < 0 || (size_t)length >= room) ? -1 : length;
}

int FormatIntoF(char* buffer, size_t room, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    int length = FormatInto(buffer, room, format, arguments);
    va_end(arguments);
    return length;
}

#ifdef _WIN32
HWND (*ownerSource)() = nullptr;
#else
struct TableEntry {
    int id;
    const char* text;
};

const TableEntry stringTable[] = {
#define STRING_ENTRY(id, name, text) {id, text},
#include "res/string_table.h"
#undef STRING_ENTRY
};

struct SystemTextEntry {
    uint32_t code;
    const char* text;
};

// The system's texts for the codes this program reports.
const SystemTextEntry systemTexts[] = {
    {0x80004005u, "Unspecified error\r\n"},
    {0x8007000Eu, "Not enough memory resources are available to complete this operation.\r\n"},
    {0x80070057u, "The parameter is incorrect.\r\n"},
    {0x80070002u, "The system cannot find the file specified.\r\n"},
    {0x80070003u, "The system cannot find the path specified.\r\n"},
    {0x80070004u, "The system cannot open the file.\r\n"},
    {0x80070005u, "Access is denied.\r\n"},
    {0x80070008u, "Not enough memory resources are available to process this command.\r\n"},
    {0x8007001Fu, "A device attached to the system is not functioning.\r\n"},
    {0x80070020u, "The process cannot access the file because it is being used by another process.\r\n"},
    {0x80070050u, "The file exists.\r\n"},
    {0x80070070u, "There is not enough space on the disk.\r\n"},
    {0x8007007Bu, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {0x800700B7u, "Cannot create a file when that file already exists.\r\n"},
    {0x800700CEu, "The filename or extension is too long.\r\n"},
};

#endif

}  // namespace

int LoadTextString(int id, char* buffer, int size)
{
    if (size <= 0) return 0;
    buffer[0] = '\0';
#ifdef _WIN32
    return LoadStringA(GetModuleHandleA(nullptr), (UINT)id, buffer, size);
#else
    for (const TableEntry& entry : stringTable) {
        if (entry.id == id) {
            snprintf(buffer, (size_t)size, "%s", entry.text);
            return (int)strlen(buffer);
        }
    }
    return 0;
#endif
}

char* GetSystemText(HRESULT code)
{
#ifdef _WIN32
    char* text = nullptr;
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       nullptr, (DWORD)code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0, nullptr);
    return length != 0 ? text : nullptr;
#else
    for (const SystemTextEntry& entry : systemTexts) {
        if (entry.code == (uint32_t)code) return strdup(entry.text);
    }
    return nullptr;
#endif
}

void FreeSystemText(char* text)
{
#ifdef _WIN32
    if (text != nullptr) LocalFree(text);
#else
    free(text);
#endif
}

namespace {

// Formats string id with the arguments that follow into buffer.
void FormatDetail(char* buffer, size_t room, int id, ...)
{
    char format[DETAIL_FORMAT_SIZE];
    LoadTextString(id, format, (int)sizeof format);
    va_list arguments;
    va_start(arguments, id);
    FormatInto(buffer, room, format, arguments);
    va_end(arguments);
}

// The detail of a refusal into buffer, cut when it does not fit: the string of its kind
// with its arguments in the order that string takes them.
void FormatRefusal(const Refusal& refusal, char* buffer, size_t room)
{
    const char* first = refusal.texts[0];
    const char* second = refusal.texts[1];
    switch (refusal.kind) {
    case RefusalKind::None: break;
    case RefusalKind::FirstLine: FormatDetail(buffer, room, IDS_DETAIL_FIRST_LINE, first); break;
    case RefusalKind::FirstLineFolded: FormatDetail(buffer, room, IDS_DETAIL_FIRST_LINE_FOLDED); break;
    case RefusalKind::Utf16: FormatDetail(buffer, room, IDS_DETAIL_UTF16); break;
    case RefusalKind::MissingColon: FormatDetail(buffer, room, IDS_DETAIL_MISSING_COLON, refusal.line, first); break;
    case RefusalKind::InvalidParameter: FormatDetail(buffer, room, IDS_DETAIL_INVALID_PARAMETER, first, second); break;
    case RefusalKind::VersionAndFnMissing: FormatDetail(buffer, room, IDS_DETAIL_VERSION_AND_FN); break;
    case RefusalKind::VersionNotFirst: FormatDetail(buffer, room, IDS_DETAIL_VERSION_FIRST); break;
    case RefusalKind::FnMissing: FormatDetail(buffer, room, IDS_DETAIL_FN_MISSING); break;
    case RefusalKind::LineBreakInUri: FormatDetail(buffer, room, IDS_DETAIL_LINE_BREAK_IN_URI, first); break;
    case RefusalKind::TextNotInCodePage:
        FormatDetail(buffer, room, IDS_DETAIL_TEXT_NOT_IN_CODE_PAGE, refusal.line);
        break;
    }
}

}  // namespace

char* ComposeMessage(HRESULT code, const Refusal* refusal, int id, va_list arguments)
{
    char format[FORMAT_SIZE];
    if (id != 0) LoadTextString(id, format, (int)sizeof format);

    char* text = (char*)malloc(MESSAGE_TEXT_SIZE);
    if (text == nullptr) return nullptr;
    text[0] = '\0';
    size_t used = 0;

    if (id != 0) {
        int length = FormatInto(text, MESSAGE_TEXT_SIZE, format, arguments);
        if (length < 0) {
            free(text);
            return nullptr;
        }
        used = (size_t)length;
    }

    if (code != 0) {
        char* systemText = GetSystemText(code);
        int length = FormatIntoF(text + used, MESSAGE_TEXT_SIZE - used, "\n[%#x] %s", (unsigned)code,
                                 systemText != nullptr ? systemText : "");
        FreeSystemText(systemText);
        // The line counts only when it fits whole: a detail is then written where it
        // began, and without a detail the cut line stays.
        if (length >= 0) used += (size_t)length;
    }

    // The detail goes on its own line, as much of it as fits.
    if (refusal != nullptr && refusal->kind != RefusalKind::None && MESSAGE_TEXT_SIZE - used >= 2) {
        text[used] = '\n';
        FormatRefusal(*refusal, text + used + 1, MESSAGE_TEXT_SIZE - used - 1);
    }
    return text;
}

int SaveFailureMessage(SaveStage stage)
{
    switch (stage) {
    case SaveStage::CreateTemporary: return IDS_CANNOT_CREATE;
    case SaveStage::Write: return IDS_CANNOT_SAVE;
    default: return IDS_CANNOT_DELETE;
    }
}

char* ComposeMessageF(HRESULT code, const Refusal* refusal, int id, ...)
{
    va_list arguments;
    va_start(arguments, id);
    char* text = ComposeMessage(code, refusal, id, arguments);
    va_end(arguments);
    return text;
}

#ifdef _WIN32
void SetMessageOwnerSource(HWND (*owner)())
{
    ownerSource = owner;
}

int ReportMessage(HRESULT code, const Refusal* refusal, UINT type, int id, ...)
{
    char caption[128];
    LoadTextString(IDS_CAPTION, caption, (int)sizeof caption);
    va_list arguments;
    va_start(arguments, id);
    char* text = ComposeMessage(code, refusal, id, arguments);
    va_end(arguments);
    if (text == nullptr) return 0;
    HWND owner = ownerSource != nullptr ? ownerSource() : nullptr;
    // While a modal dialog runs over the main window, the box belongs to that dialog. Owned
    // by the disabled main window, its closing would enable and activate the main window
    // under the dialog, and Escape would then reach the main window's Exit.
    if (owner != nullptr && !IsWindowEnabled(owner)) {
        HWND popup = GetLastActivePopup(owner);
        if (popup != nullptr && popup != owner && IsWindowEnabled(popup)) owner = popup;
    }
    int button = MessageBoxA(owner, text, caption, type);
    free(text);
    return button;
}
#endif

namespace {

// The text of each change and the order in which it names the change's property (P),
// parameter (A) and detail (D).
struct ChangeWords {
    ConversionChange change;
    int id;
    const char* order;
};

const ChangeWords CHANGE_WORDS[] = {
    {ConversionChange::Version, IDS_CHANGE_VERSION, "D"},
    {ConversionChange::EncodingRemoved, IDS_CHANGE_ENCODING_REMOVED, "PAD"},
    {ConversionChange::TextBytesToUtf8, IDS_CHANGE_TEXT_BYTES_TO_UTF8, "PD"},
    {ConversionChange::TextKeptAsRead, IDS_CHANGE_TEXT_KEPT_AS_READ, "P"},
    {ConversionChange::EncodingAdded, IDS_CHANGE_ENCODING_ADDED, "PAD"},
    {ConversionChange::EncodingRenamed, IDS_CHANGE_ENCODING_RENAMED, "PD"},
    {ConversionChange::BinaryToDataUri, IDS_CHANGE_BINARY_TO_DATA_URI, "PD"},
    {ConversionChange::DataUriToBinary, IDS_CHANGE_DATA_URI_TO_BINARY, "PD"},
    {ConversionChange::TypeListSplit, IDS_CHANGE_TYPE_LIST_SPLIT, "PD"},
    {ConversionChange::TypePrefToPref, IDS_CHANGE_TYPE_PREF_TO_PREF, "P"},
    {ConversionChange::PrefToTypePref, IDS_CHANGE_PREF_TO_TYPE_PREF, "P"},
    {ConversionChange::PrefRankLost, IDS_CHANGE_PREF_RANK_LOST, "PD"},
    {ConversionChange::ParameterNamed, IDS_CHANGE_PARAMETER_NAMED, "PD"},
    {ConversionChange::ParameterMadeBare, IDS_CHANGE_PARAMETER_MADE_BARE, "PD"},
    {ConversionChange::LabelToAddress, IDS_CHANGE_LABEL_TO_ADDRESS, ""},
    {ConversionChange::LabelKept, IDS_CHANGE_LABEL_KEPT, ""},
    {ConversionChange::LabelParameterLost, IDS_CHANGE_LABEL_PARAMETER_LOST, "AD"},
    {ConversionChange::AddressLabelToLabel, IDS_CHANGE_ADDRESS_LABEL_TO_LABEL, ""},
    {ConversionChange::SortStringToSortAs, IDS_CHANGE_SORT_STRING_TO_SORT_AS, ""},
    {ConversionChange::SortAsToSortString, IDS_CHANGE_SORT_AS_TO_SORT_STRING, ""},
    {ConversionChange::SortStringKept, IDS_CHANGE_SORT_STRING_KEPT, ""},
    {ConversionChange::AgentToRelated, IDS_CHANGE_AGENT_TO_RELATED, "PD"},
    {ConversionChange::RelatedToAgent, IDS_CHANGE_RELATED_TO_AGENT, "PD"},
    {ConversionChange::NestedCardToText, IDS_CHANGE_NESTED_CARD_TO_TEXT, "P"},
    {ConversionChange::FnMade, IDS_CHANGE_FN_MADE, "D"},
    {ConversionChange::PropertyRenamed, IDS_CHANGE_PROPERTY_RENAMED, "PD"},
    {ConversionChange::ParameterRenamed, IDS_CHANGE_PARAMETER_RENAMED, "PAD"},
    {ConversionChange::ValueTypeRenamed, IDS_CHANGE_VALUE_TYPE_RENAMED, "PD"},
    {ConversionChange::UriValueNamed, IDS_CHANGE_URI_VALUE_NAMED, "P"},
    {ConversionChange::ListCommaMerged, IDS_CHANGE_LIST_COMMA_MERGED, "P"},
    {ConversionChange::ValueRespelled, IDS_CHANGE_VALUE_RESPELLED, "PD"},
    {ConversionChange::LineBreaks, IDS_CHANGE_LINE_BREAKS, "PD"},
    {ConversionChange::ParameterValueRespelled, IDS_CHANGE_PARAMETER_VALUE_RESPELLED, "PAD"},
    {ConversionChange::TelUriToText, IDS_CHANGE_TEL_URI_TO_TEXT, "PD"},
};

}  // namespace

void DescribeConversionChange(const ConversionEntry& entry, char* buffer, size_t size)
{
    if (size == 0) return;
    buffer[0] = '\0';
    for (const ChangeWords& words : CHANGE_WORDS) {
        if (words.change != entry.change) continue;
        const char* arguments[3] = {"", "", ""};
        for (int i = 0; words.order[i] != '\0' && i < 3; ++i) {
            char which = words.order[i];
            arguments[i] = which == 'P'   ? entry.property.c_str()
                           : which == 'A' ? entry.parameter.c_str()
                                          : entry.detail.c_str();
        }
        char format[256];
        if (LoadTextString(words.id, format, (int)sizeof format) == 0) return;
        snprintf(buffer, size, format, arguments[0], arguments[1], arguments[2]);
        return;
    }
    snprintf(buffer, size, "%s", entry.property.c_str());
}
