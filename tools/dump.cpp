// Writes each property as: group, name, parameter nodes and value slots, every text in
// double quotes with C-style escapes, an absent text as null; an older card's version
// first, and whatever else its file distinguishes (bare parameters, text bytes that are
// not the program's), so that two cards that differ never dump alike.
#include "tools/dump.h"

#include "card/syntax.h"

#include <stdio.h>

namespace {

bool AppendQuoted(TextBuffer& out, const char* text)
{
    if (text == nullptr) return out.Append("null");
    bool ok = out.AppendChar('"');
    for (const unsigned char* p = (const unsigned char*)text; ok && *p != '\0'; ++p) {
        switch (*p) {
        case '"': ok = out.Append("\\\""); break;
        case '\\': ok = out.Append("\\\\"); break;
        case '\n': ok = out.Append("\\n"); break;
        case '\r': ok = out.Append("\\r"); break;
        case '\t': ok = out.Append("\\t"); break;
        default:
            if (*p < 0x20 || *p == 0x7F) {
                char escaped[5];
                snprintf(escaped, sizeof escaped, "\\x%02X", *p);
                ok = out.Append(escaped);
            } else {
                ok = out.AppendChar((char)*p);
            }
        }
    }
    return ok && out.AppendChar('"');
}

bool DumpProperty(const char* group, const PropertyNode* property, TextBuffer& out)
{
    bool ok = group != nullptr ? AppendQuoted(out, group) : out.AppendChar('-');
    ok = ok && out.AppendChar(' ') && AppendQuoted(out, property->GetDisplayName());
    for (ParameterNode* p = property->GetParameters(); ok && p != nullptr; p = p->GetNext()) {
        ok = out.Append(" ;");
        // A further value of an other parameter has no name: it continues the run before.
        // A bare parameter's name is implied by its value, not written: in parentheses.
        if (p->GetKind() == ParameterKindOther && p->GetCustomName() == nullptr) {
            ok = ok && out.AppendChar('*');
        } else if (p->IsBare()) {
            ok = ok && out.AppendChar('(') && AppendQuoted(out, p->GetDisplayName()) && out.AppendChar(')');
        } else {
            ok = ok && AppendQuoted(out, p->GetDisplayName());
        }
        ok = ok && out.AppendChar('=') && AppendQuoted(out, p->GetValue());
    }
    for (int i = 0; ok && i < property->GetValueCount(); ++i) {
        ok = out.Append(" :") && AppendQuoted(out, property->GetValue(i));
    }
    switch (property->GetTextBytes()) {
    case PropertyNode::TextBytes::Program: break;
    case PropertyNode::TextBytes::Windows1252: ok = ok && out.Append(" <windows-1252>"); break;
    case PropertyNode::TextBytes::AsRead: ok = ok && out.Append(" <as read>"); break;
    }
    return ok && out.AppendChar('\n');
}

}  // namespace

bool DumpCard(const CardDocument& document, TextBuffer& out)
{
    // A 4.0 card, or one without VERSION, has no such line: its dump is as it always was.
    if (document.GetVersion() != CardVersion::V40 &&
        !(out.Append("vCard ") && out.Append(VersionText(document.GetVersion())) && out.AppendChar('\n'))) {
        return false;
    }
    return document.ForEachProperty(
        [&](const char* group, const PropertyNode* property) { return DumpProperty(group, property, out); });
}
