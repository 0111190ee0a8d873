// The vocabulary's lookups: names without regard to case, components, predefined values
// by property and parameter, and the rule for names the user types.
#include "card/vocabulary.h"

#include <gtest/gtest.h>

namespace {

TEST(Vocabulary, NamesLookUpWithoutRegardToCase)
{
    const struct {
        const char* name;
        int property, parameter;
    } rows[] = {{"tel", 10, 11}, {"Tel", 10, 11}, {"caluri", 34, 11}, {"XML", 35, 11}, {"TELEPHONE", 35, 11},
                {"TE", 35, 11},  {"", 35, 11},    {"type", 35, 5},    {"Sort-As", 35, 8}, {"typ", 35, 11}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.property, FindPropertyKind(row.name)) << row.name;
        EXPECT_EQ(row.parameter, FindParameterKind(row.name)) << row.name;
    }
    for (int kind = 0; kind < STANDARD_PROPERTY_COUNT; ++kind) EXPECT_EQ(kind, FindPropertyKind(GetPropertyName(kind)));
    for (int kind = 0; kind < PARAMETER_NAME_COUNT; ++kind) EXPECT_EQ(kind, FindParameterKind(GetParameterName(kind)));
    EXPECT_STREQ("", GetPropertyName(PROPERTY_NAME_COUNT));
    EXPECT_STREQ("", GetParameterName(-1));
}

TEST(Vocabulary, ComponentsAndPredefinedValues)
{
    EXPECT_STREQ("Honorific Suffixes", GetComponentName(PropertyKindN, GetComponentCount(PropertyKindN) - 1));
    EXPECT_STREQ("Country", GetComponentName(PropertyKindAdr, GetComponentCount(PropertyKindAdr) - 1));
    EXPECT_EQ(nullptr, GetComponentName(PropertyKindAdr, 7));
    EXPECT_EQ(nullptr, GetComponentName(PropertyKindFn, 0));
    const struct {
        const char* property;
        const char* parameter;
        int count;
        const char* first;
    } rows[] = {{"NOTE", "VALUE", 11, "text"}, {"X-ANY", "value", 11, "text"}, {"RELATED", "VALUE", 0, nullptr},
                {"ADR", "TYPE", 2, "WORK"},    {"TEL", "TYPE", 9, "WORK"},     {"RELATED", "TYPE", 20, "contact"},
                {"EMAIL", "TYPE", 0, nullptr}, {"TEL", "PREF", 0, nullptr}};
    for (const auto& row : rows) {
        PropertyKind property = FindPropertyKind(row.property);
        ParameterKind parameter = FindParameterKind(row.parameter);
        EXPECT_EQ(row.count, GetPredefinedParameterValueCount(property, parameter)) << row.property << " " << row.parameter;
        EXPECT_STREQ(row.first, GetPredefinedParameterValue(property, parameter, 0));
        EXPECT_EQ(row.count > 0, GetPredefinedParameterValue(property, parameter, row.count - 1) != nullptr);
        EXPECT_EQ(nullptr, GetPredefinedParameterValue(property, parameter, row.count));
    }
    EXPECT_EQ(4, GetPredefinedPropertyValueCount(PropertyKindKind));
    EXPECT_STREQ("location", GetPredefinedPropertyValue(PropertyKindKind, 3));
    EXPECT_EQ(nullptr, GetPredefinedPropertyValue(PropertyKindKind, 4));
    EXPECT_EQ(nullptr, GetPredefinedPropertyValue(PropertyKindFn, 0));
}

TEST(Vocabulary, ValidNamesAreAsciiLettersDigitsDashAndUnderscore)
{
    EXPECT_TRUE(IsValidName("work-2_B"));
    for (const char* name : {"", "a.b", "a b", "a:b", "a;b", "a=b", "caf\xE9", "\x82\xA0", "x\x7F"}) EXPECT_FALSE(IsValidName(name)) << name;
    EXPECT_EQ(0u, IsValidName(nullptr));
}

}  // namespace
