// The vocabulary tables and their lookups.
#include "card/vocabulary.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct KindRow {
    const char* name;
    int kind;
};

TEST(Vocabulary, PropertyNamesLookUpWithoutRegardToCase)
{
    const KindRow rows[] = {
        {"tel", 10}, {"Tel", 10}, {"TEL", 10}, {"SOURCE", 0}, {"caluri", 34}, {"version", 30},
        {"X-CUSTOM", 35}, {"TELEPHONE", 35}, {"TE", 35}, {"", 35}, {"xml", 35}, {"XML", 35},
    };
    for (const KindRow& row : rows) {
        EXPECT_EQ(row.kind, FindPropertyKind(row.name)) << row.name;
    }
}

TEST(Vocabulary, EveryPropertyNameFindsItsOwnKind)
{
    for (int kind = 0; kind < STANDARD_PROPERTY_COUNT; ++kind) {
        EXPECT_EQ(kind, FindPropertyKind(GetPropertyName(kind))) << GetPropertyName(kind);
    }
    EXPECT_STREQ("SOURCE", GetPropertyName(0));
    EXPECT_STREQ("CLIENTPIDMAP", GetPropertyName(28));
    EXPECT_STREQ("CALURI", GetPropertyName(34));
}

TEST(Vocabulary, ParameterNamesLookUpWithoutRegardToCase)
{
    const KindRow rows[] = {
        {"TYPE", 5}, {"type", 5}, {"Sort-As", 8}, {"language", 0}, {"TZ", 10},
        {"charset", 11}, {"x-service-type", 11}, {"", 11}, {"typ", 11},
    };
    for (const KindRow& row : rows) {
        EXPECT_EQ(row.kind, FindParameterKind(row.name)) << row.name;
    }
    for (int kind = 0; kind < PARAMETER_NAME_COUNT; ++kind) {
        EXPECT_EQ(kind, FindParameterKind(GetParameterName(kind)));
    }
}

TEST(Vocabulary, ComponentsOfNameAndAddress)
{
    EXPECT_EQ(5, GetComponentCount(PropertyKindN));
    EXPECT_EQ(7, GetComponentCount(PropertyKindAdr));
    EXPECT_EQ(1, GetComponentCount(PropertyKindFn));
    EXPECT_EQ(1, GetComponentCount(FindPropertyKind("NOTE")));
    EXPECT_EQ(1, GetComponentCount(PropertyKindOther));
    EXPECT_EQ(nullptr, GetComponentName(PropertyKindFn, 0));
    EXPECT_STREQ("PostalCode", GetComponentName(PropertyKindAdr, 5));
    EXPECT_STREQ("POBox", GetComponentName(PropertyKindAdr, 0));
    EXPECT_STREQ("Country", GetComponentName(PropertyKindAdr, 6));
    EXPECT_STREQ("Family Name", GetComponentName(PropertyKindN, 0));
    EXPECT_STREQ("Honorific Suffixes", GetComponentName(PropertyKindN, 4));
}

struct CountRow {
    const char* property;
    const char* parameter;
    int count;
};

TEST(Vocabulary, PredefinedParameterValueCounts)
{
    const CountRow rows[] = {
        {"NOTE", "VALUE", 11}, {"X-ANY", "VALUE", 11}, {"RELATED", "VALUE", 0},
        {"ADR", "TYPE", 2},    {"TEL", "TYPE", 9},     {"RELATED", "TYPE", 20},
        {"EMAIL", "TYPE", 0},  {"TEL", "PREF", 0},     {"IMPP", "TYPE", 0},
        {"TEL", "VALUE", 11},  {"ADR", "VALUE", 11},   {"KIND", "X-P", 0},
    };
    for (const CountRow& row : rows) {
        PropertyKind property = FindPropertyKind(row.property);
        ParameterKind parameter = FindParameterKind(row.parameter);
        int count = GetPredefinedParameterValueCount(property, parameter);
        EXPECT_EQ(row.count, count) << row.property << " " << row.parameter;
        // Every index below the count yields a text, and a pair without a list yields null.
        for (int i = 0; i < count; ++i) {
            EXPECT_NE(nullptr, GetPredefinedParameterValue(property, parameter, i));
        }
        if (count == 0) {
            EXPECT_EQ(nullptr, GetPredefinedParameterValue(property, parameter, 0));
        }
    }
}

TEST(Vocabulary, PredefinedParameterValuesInOfferedOrder)
{
    EXPECT_STREQ("TEXT", GetPredefinedParameterValue(PropertyKindTel, ParameterKindType, 2));
    EXPECT_STREQ("TEXTPHONE", GetPredefinedParameterValue(PropertyKindTel, ParameterKindType, 8));
    EXPECT_STREQ("HOME", GetPredefinedParameterValue(PropertyKindAdr, ParameterKindType, 1));
    EXPECT_STREQ("date", GetPredefinedParameterValue(PropertyKindRelated, ParameterKindType, 15));
    EXPECT_STREQ("emergency", GetPredefinedParameterValue(PropertyKindRelated, ParameterKindType, 19));
    EXPECT_STREQ("URI", GetPredefinedParameterValue(PropertyKindTel, ParameterKindValue, 9));
    EXPECT_STREQ("text", GetPredefinedParameterValue(PropertyKindOther, ParameterKindValue, 0));
}

TEST(Vocabulary, PredefinedPropertyValuesOnlyForKind)
{
    EXPECT_EQ(4, GetPredefinedPropertyValueCount(PropertyKindKind));
    EXPECT_EQ(0, GetPredefinedPropertyValueCount(FindPropertyKind("GENDER")));
    EXPECT_STREQ("individual", GetPredefinedPropertyValue(PropertyKindKind, 0));
    EXPECT_STREQ("location", GetPredefinedPropertyValue(PropertyKindKind, 3));
    EXPECT_EQ(nullptr, GetPredefinedPropertyValue(PropertyKindFn, 0));
    EXPECT_STREQ("4.0", DEFAULT_VERSION);
}

TEST(Vocabulary, ValidNamesAreAsciiLettersDigitsDashAndUnderscore)
{
    EXPECT_EQ(4u, IsValidName("home"));
    EXPECT_EQ(8u, IsValidName("work-2_b"));
    EXPECT_EQ(1u, IsValidName("_"));
    const char* invalid[] = {"", "a.b", "a b", "a:b", "a;b", "a=b", "a,b", "caf\xE9", "\x82\xA0", "x\x80"};
    for (const char* name : invalid) {
        EXPECT_EQ(0u, IsValidName(name)) << name;
    }
    EXPECT_EQ(0u, IsValidName(nullptr));
}

}  // namespace
