// Writes each property as: group, name, parameter nodes and value slots, every text in
// double quotes with C-style escapes, an absent text as null.
#include "tools/dump.h"


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
        if (p->GetKind() == ParameterKindOther && p->GetCustomName() == nullptr) {
            ok = ok && out.AppendChar('*');
        } else {
            ok = ok && AppendQuoted(out, p->GetDisplayName());
        }
        ok = ok && out.AppendChar('=') && AppendQuoted(out, p->GetValue());
    }
    for (int i = 0; ok && i < property->GetValueCount(); ++i) {
        ok = out.Append(" :") && AppendQuoted(out, property->GetValue(i));
    }
    return ok && out.AppendChar('\n');
}

}  // namespace

bool DumpCard(const CardDocument& document, TextBuffer& out)
{
    return document.ForEachProperty(
        [&](const char* group, const PropertyNode* property) { return DumpProperty(group, property, out); });
}
