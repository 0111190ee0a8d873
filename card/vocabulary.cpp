// Constant tables of RFC 6350 names and the lookups over them.
#include "card/vocabulary.h"

#include "card/mbstring.h"

#include <string.h>

const char DEFAULT_VERSION[] = "4.0";

namespace {

const char* const propertyNames[PROPERTY_NAME_COUNT] = {
    "SOURCE", "KIND", "FN", "N", "NICKNAME", "PHOTO", "BDAY", "ANNIVERSARY", "GENDER",
    "ADR", "TEL", "EMAIL", "IMPP", "LANG", "TZ", "GEO", "TITLE", "ROLE", "LOGO", "ORG",
    "MEMBER", "RELATED", "CATEGORIES", "NOTE", "PRODID", "REV", "SOUND", "UID",
    "CLIENTPIDMAP", "URL", "VERSION", "KEY", "FBURL", "CALADRURI", "CALURI",
    // Kind 35 is every other name; "XML" is here only so that it maps to 35 like the rest.
    "XML",
};

const char* const parameterNames[PARAMETER_NAME_COUNT] = {
    "language", "value", "pref", "altid", "pid", "type",
    "mediatype", "calscale", "sort-as", "geo", "tz",
};

const char* const nameComponents[] = {
    "Family Name", "Given Name", "Additional Names", "Honorific Prefixes", "Honorific Suffixes",
};

const char* const addressComponents[] = {
    "POBox", "Extended", "Street", "Locality", "Region", "PostalCode", "Country",
};

const char* const valueTypes[] = {
    "text", "date", "time", "date-time", "date-and-or-time", "timestamp",
    "boolean", "integer", "float", "URI", "utc-offset",
};

const char* const addressTypes[] = {"WORK", "HOME"};

const char* const telephoneTypes[] = {
    "WORK", "HOME", "TEXT", "VOICE", "FAX", "CELL", "VIDEO", "PAGER", "TEXTPHONE",
};

const char* const relationTypes[] = {
    "contact", "acquaintance", "friend", "met", "co-worker", "colleague", "co-resident",
    "neighbor", "child", "parent", "sibling", "spouse", "kin", "muse", "crush", "date",
    "sweetheart", "me", "agent", "emergency",
};

const char* const kindValues[] = {"individual", "group", "org", "location"};

struct ValueList {
    const char* const* values;
    int count;
};

template <size_t N>
ValueList ListOf(const char* const (&values)[N])
{
    return ValueList{values, (int)N};
}

const ValueList noValues = {nullptr, 0};

// Property kind is examined first: ADR, TEL and RELATED have rules of their own.
ValueList PredefinedParameterValues(PropertyKind property, ParameterKind parameter)
{
    if (property == PropertyKindRelated) {
        return parameter == ParameterKindType ? ListOf(relationTypes) : noValues;
    }
    if (parameter == ParameterKindValue) return ListOf(valueTypes);
    if (parameter != ParameterKindType) return noValues;
    if (property == PropertyKindAdr) return ListOf(addressTypes);
    if (property == PropertyKindTel) return ListOf(telephoneTypes);
    return noValues;
}

int FindInTable(const char* const* table, int count, const char* name)
{
    if (name == nullptr || *name == '\0') return -1;
    // Every table text is ASCII, and no multibyte character equals an ASCII one without
    // regard to case: only an entry of the same length and the same first letter can
    // match, so the full comparison runs for those alone.
    size_t length = strlen(name);
    unsigned int first = AsciiLower((unsigned char)name[0]);
    for (int kind = 0; kind < count; ++kind) {
        const char* entry = table[kind];
        if (AsciiLower((unsigned char)entry[0]) != first || strlen(entry) != length) continue;
        if (MbsCompareNoCase(name, entry) == 0) return kind;
    }
    return -1;
}

bool IsNameByte(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '_';
}

}  // namespace

const char* GetPropertyName(PropertyKind kind)
{
    return (kind >= 0 && kind < PROPERTY_NAME_COUNT) ? propertyNames[kind] : "";
}

PropertyKind FindPropertyKind(const char* name)
{
    int kind = FindInTable(propertyNames, PROPERTY_NAME_COUNT, name);
    return kind < 0 ? PropertyKindOther : kind;
}

int GetComponentCount(PropertyKind kind)
{
    if (kind == PropertyKindN) return 5;
    if (kind == PropertyKindAdr) return 7;
    return 1;
}

const char* GetComponentName(PropertyKind kind, int index)
{
    if (index < 0 || index >= GetComponentCount(kind)) return nullptr;
    if (kind == PropertyKindN) return nameComponents[index];
    if (kind == PropertyKindAdr) return addressComponents[index];
    return nullptr;
}

const char* GetParameterName(ParameterKind kind)
{
    return (kind >= 0 && kind < PARAMETER_NAME_COUNT) ? parameterNames[kind] : "";
}

ParameterKind FindParameterKind(const char* name)
{
    int kind = FindInTable(parameterNames, PARAMETER_NAME_COUNT, name);
    return kind < 0 ? ParameterKindOther : kind;
}

int GetPredefinedParameterValueCount(PropertyKind property, ParameterKind parameter)
{
    return PredefinedParameterValues(property, parameter).count;
}

const char* GetPredefinedParameterValue(PropertyKind property, ParameterKind parameter, int index)
{
    ValueList list = PredefinedParameterValues(property, parameter);
    return (index >= 0 && index < list.count) ? list.values[index] : nullptr;
}

int GetPredefinedPropertyValueCount(PropertyKind kind)
{
    return kind == PropertyKindKind ? (int)(sizeof kindValues / sizeof kindValues[0]) : 0;
}

const char* GetPredefinedPropertyValue(PropertyKind kind, int index)
{
    if (index < 0 || index >= GetPredefinedPropertyValueCount(kind)) return nullptr;
    return kindValues[index];
}

bool IsValidName(const char* name)
{
    if (name == nullptr || name[0] == '\0') return false;
    for (const char* p = name; *p != '\0'; ++p) {
        if (!IsNameByte((unsigned char)*p)) return false;
    }
    return true;
}
