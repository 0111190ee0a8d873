// Quoted-printable, base64 and character sets of older cards.
#include "card/legacy_text.h"

#include "card/mbstring.h"

#include <string.h>

namespace {

const char WINDOWS_1252[] = "windows-1252";
const char UTF_8[] = "UTF-8";

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool NameIs(const char* name, const char* expected)
{
    return name != nullptr && CompareAsciiNoCase(name, expected) == 0;
}

// The parameter's name as the file gave it, or the name its bare value stands for.
bool ParameterNamed(const ParameterNode* parameter, const char* name)
{
    return parameter->GetKind() == ParameterKindOther && NameIs(parameter->GetCustomName(), name);
}

}  // namespace

bool IsEncodingParameter(const ParameterNode* parameter) { return ParameterNamed(parameter, "ENCODING"); }
bool IsCharsetParameter(const ParameterNode* parameter) { return ParameterNamed(parameter, "CHARSET"); }

ValueEncoding EncodingOf(const PropertyNode* property)
{
    ValueEncoding encoding;
    // A further value of a parameter has no name of its own: it follows its first, whose
    // name is looked at once for all of them (a line may have thousands).
    bool ofEncoding = false;
    bool ofCharset = false;
    for (const ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
        if (p->GetCustomName() != nullptr || p->GetKind() != ParameterKindOther) {
            ofEncoding = IsEncodingParameter(p);
            ofCharset = !ofEncoding && IsCharsetParameter(p);
        }
        if (p->GetValue() == nullptr) continue;
        if (ofEncoding) {
            if (NameIs(p->GetValue(), "QUOTED-PRINTABLE")) encoding.quotedPrintable = true;
            if (NameIs(p->GetValue(), "BASE64") || NameIs(p->GetValue(), "B")) encoding.base64 = true;
        } else if (ofCharset && encoding.charset == nullptr) {
            encoding.charset = p->GetValue();
        }
    }
    return encoding;
}

bool DecodeQuotedPrintable(const char* text, size_t length, TextBuffer& out)
{
    if (!out.Reserve(out.Length() + length)) return false;
    char* put = out.Data() + out.Length();
    for (size_t i = 0; i < length; ++i) {
        int high, low;
        if (text[i] == '=' && i + 2 < length && (high = HexValue(text[i + 1])) >= 0 &&
            (low = HexValue(text[i + 2])) >= 0) {
            *put++ = (char)(high * 16 + low);
            i += 2;
            continue;
        }
        *put++ = text[i];
    }
    out.SetLength((size_t)(put - out.Data()));
    return true;
}

bool EncodeQuotedPrintable(const char* bytes, size_t length, TextBuffer& out)
{
    static const char HEX[] = "0123456789ABCDEF";
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = (unsigned char)bytes[i];
        bool plain = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && i + 1 < length);
        if (plain) {
            if (!out.AppendChar((char)c)) return false;
            continue;
        }
        char escaped[3] = {'=', HEX[c >> 4], HEX[c & 15]};
        if (!out.Append(escaped, 3)) return false;
    }
    return true;
}

// Whether the text converted (out from before) gives back the bytes it came from.
static bool ConvertsBack(const char* charset, PropertyNode::TextBytes bytes, const char* text, size_t length,
                         TextBuffer& out, size_t before)
{
    const char* source = charset != nullptr ? charset : bytes == PropertyNode::TextBytes::Windows1252 ? WINDOWS_1252 : UTF_8;
    if (ProgramTextIsUtf8() && SameCharset(source, UTF_8)) return true;  // nothing was converted
    TextBuffer back;
    return ConvertFromProgramText(source, out.Data() + before, out.Length() - before, back) == ConvertResult::Done &&
           back.Length() == length && memcmp(back.Data(), text, length) == 0;
}

bool DecodeLegacyText(const char* charset, const char* text, size_t length, TextBuffer& out,
                      PropertyNode::TextBytes* bytes, bool* notRepresentable)
{
    *notRepresentable = false;
    *bytes = PropertyNode::TextBytes::Program;
    if (!HasEightBitBytes(text, length)) return out.Append(text, length);
    // UTF-8 into a program that works in UTF-8 (the editor, where Windows grants it, and
    // the export of a phone: every name) is the same text once it is checked.
    if (ProgramTextIsUtf8() && (charset == nullptr || SameCharset(charset, UTF_8)) &&
        IsUtf8((const unsigned char*)text, length)) {
        return out.Append(text, length);
    }
    size_t before = out.Length();
    ConvertResult result;
    if (charset != nullptr) {
        result = ConvertToProgramText(charset, text, length, out);
    } else if (IsUtf8((const unsigned char*)text, length)) {
        result = ConvertToProgramText(UTF_8, text, length, out);
    } else {
        result = ConvertToProgramText(WINDOWS_1252, text, length, out);
        if (result == ConvertResult::Done) *bytes = PropertyNode::TextBytes::Windows1252;
    }
    // A converter may put a look-alike for a character the program's text has no place
    // for (Windows-1252's 'ó' as a full-width sign in code page 932): text that does not
    // convert back to the bytes read is kept as read, and said so.
    if (result == ConvertResult::Done && !ConvertsBack(charset, *bytes, text, length, out, before)) {
        result = ConvertResult::NotRepresentable;
    }
    if (result == ConvertResult::Done) return true;
    out.SetLength(before);
    *bytes = PropertyNode::TextBytes::AsRead;
    *notRepresentable = result == ConvertResult::NotRepresentable;
    return out.Append(text, length);
}

// Whether the bytes written (out from before) read back as the text they came from.
static bool ReadsBack(const char* charset, const char* text, size_t length, const TextBuffer& out, size_t before)
{
    if (ProgramTextIsUtf8() && SameCharset(charset, UTF_8)) return true;  // nothing was converted
    TextBuffer back;
    return ConvertToProgramText(charset, out.Data() + before, out.Length() - before, back) == ConvertResult::Done &&
           back.Length() == length && memcmp(back.Data(), text, length) == 0;
}

bool EncodeLegacyText(const char* charset, PropertyNode::TextBytes bytes, const char* text, size_t length,
                      TextBuffer& out, const char** charsetUsed)
{
    *charsetUsed = nullptr;
    if (bytes == PropertyNode::TextBytes::AsRead || !HasEightBitBytes(text, length)) return out.Append(text, length);
    const char* target = charset != nullptr ? charset : bytes == PropertyNode::TextBytes::Windows1252 ? WINDOWS_1252 : UTF_8;
    size_t before = out.Length();
    ConvertResult result = ConvertFromProgramText(target, text, length, out);
    // A converter may read back another character than it wrote (Shift_JIS's 0x5C is a
    // yen sign to iconv, so an escaping backslash would come back as one): bytes that do
    // not read back as the text are not written.
    if (result == ConvertResult::Done && ReadsBack(target, text, length, out, before)) return true;
    out.SetLength(before);
    // The text no longer fits the character set it was read in: UTF-8 holds every
    // character, and a line that names a CHARSET says so.
    if (charset != nullptr) *charsetUsed = UTF_8;
    result = ConvertFromProgramText(UTF_8, text, length, out);
    if (result == ConvertResult::Done) return true;
    out.SetLength(before);
    return out.Append(text, length);
}

size_t Base64DecodedLength(const char* text)
{
    size_t letters = 0;
    size_t padding = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        char c = *p;
        if (c == '=') ++padding;
        else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/') ++letters;
    }
    size_t whole = (letters + padding) / 4 * 3;
    return whole > padding ? whole - padding : (letters * 3) / 4;
}
