// Card nodes: reference counts, modified flags, value slots and parameter chains.
#include "card/nodes.h"

#include "tests/support/node_counter.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// A new, unmodified TEL property with the chain type=HOME, type=CELL, pref=1.
PropertyNode* TelephoneWithThreeParameters()
{
    PropertyNode* tel = new PropertyNode(PropertyKindTel);
    const std::pair<ParameterKind, const char*> parameters[] = {{ParameterKindType, "HOME"}, {ParameterKindType, "CELL"}, {2, "1"}};
    for (const auto& parameter : parameters) tel->AppendParameter(new ParameterNode(parameter.first, parameter.second))->Release();
    tel->ClearModified();
    return tel;
}

// The parameter values as "a,b", or the value slots as "a|null|b".
std::string Values(const PropertyNode* property)
{
    std::string values;
    for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) values += (values.empty() ? "" : ",") + std::string(p->GetValue());
    return values;
}
std::string Slots(const PropertyNode* property)
{
    std::string slots;
    for (int i = 0; i < property->GetValueCount(); ++i) slots += (i == 0 ? "" : "|") + std::string(property->GetValue(i) != nullptr ? property->GetValue(i) : "null");
    return slots;
}

TEST(Nodes, LastReleaseDestroysOnceAndNotBefore)
{
    NodeCounter counter;
    GroupNode* group = new GroupNode("home");
    group->AddRef();
    group->Release();
    EXPECT_EQ(1, counter.Alive());
    EXPECT_EQ(IMAGE_GROUP_EXPANDED, group->GetImageIndex(TVIS_EXPANDED));
    EXPECT_EQ(IMAGE_GROUP_COLLAPSED, group->GetImageIndex(0));
    group->Release();
    EXPECT_EQ(0, counter.Alive());
    // A property releases its chain; a parameter held elsewhere lives on with the rest.
    PropertyNode* tel = TelephoneWithThreeParameters();
    ParameterNode* kept = tel->GetParameterAt(1);
    kept->AddRef();
    tel->Release();
    EXPECT_EQ(2, counter.Alive());
    EXPECT_STREQ("CELL", kept->GetValue());
    kept->Release();
    EXPECT_EQ(0, counter.Alive());
    EXPECT_EQ(5, counter.Destroyed());
}

TEST(Nodes, SlotsStartEmptyAndValuesCompareExactly)
{
    const PropertyKind NOTE = FindPropertyKind("NOTE");
    const struct {
        PropertyKind kind;
        const char* before;  // set and made unmodified first, unless null
        int index;           // where the value is set, unless -1
        const char* value;
        HRESULT result;
        const char* slots;
    } rows[] = {
        {PropertyKindN, nullptr, -1, nullptr, S_OK, "||||"},
        {PropertyKindAdr, nullptr, -1, nullptr, S_OK, "||||||"},
        {PropertyKindVersion, nullptr, -1, nullptr, S_OK, "4.0"},
        {NOTE, "Smith", 0, "Smith", S_FALSE, "Smith"},
        {NOTE, "Smith", 0, "SMITH", S_OK, "SMITH"},
        {NOTE, "Smith", 0, nullptr, S_OK, "null"},
        {NOTE, nullptr, 3, "third", S_OK, "|null|null|third"},
        {NOTE, nullptr, 5, nullptr, S_FALSE, "|null|null|null|null|null"},
    };
    for (const auto& row : rows) {
        PropertyNode* property = new PropertyNode(row.kind);
        EXPECT_EQ(S_OK, property->InitValues());
        if (row.before != nullptr) property->SetValue(row.before, 0);
        property->ClearModified();
        HRESULT result = row.index >= 0 ? property->SetValue(row.value, row.index) : S_OK;
        EXPECT_EQ(row.result, result) << row.slots;
        EXPECT_EQ(row.slots, Slots(property));
        EXPECT_EQ(row.index >= 0 && row.result == S_OK, property->IsModified()) << row.slots;
        property->Release();
    }
}

TEST(Nodes, ParameterValuesCompareWithoutRegardToCase)
{
    ParameterNode* type = new ParameterNode(ParameterKindType, "HOME");
    EXPECT_EQ(S_FALSE, type->SetValue("home"));
    EXPECT_STREQ("HOME", type->GetValue());
    EXPECT_FALSE(type->IsModified());
    EXPECT_EQ(S_OK, type->SetValue("WORK"));
    EXPECT_TRUE(type->IsModified());
    EXPECT_EQ(S_OK, type->SetValue(nullptr));
    EXPECT_EQ(S_FALSE, type->SetValue(nullptr));
    type->Release();
}

TEST(Nodes, ChangedChainMarksItsProperty)
{
    const struct {
        std::initializer_list<int> removed;
        const char* left;
        long destroyed;
    } rows[] = {{{0}, "CELL,1", 1}, {{1, 1}, "HOME", 2}, {{2, 0, 0}, "", 3}, {{3}, "HOME,CELL,1", 0}};
    for (const auto& row : rows) {
        NodeCounter counter;
        PropertyNode* tel = TelephoneWithThreeParameters();
        for (int index : row.removed) tel->RemoveParameterAt(index);
        EXPECT_EQ(row.left, Values(tel));
        EXPECT_EQ(row.destroyed, counter.Destroyed());
        EXPECT_TRUE(tel->IsModified()) << "even a removal past the end marks the property";
        tel->Release();
        EXPECT_EQ(0, counter.Alive());
    }
    PropertyNode* tel = TelephoneWithThreeParameters();
    EXPECT_EQ(IMAGE_PROPERTY, tel->GetImageIndex(TVIS_EXPANDED));
    tel->GetParameterAt(2)->SetValue("2");
    EXPECT_TRUE(tel->IsModified());
    tel->GetParameterAt(2)->ClearModified();
    EXPECT_FALSE(tel->IsModified());
    // A chain appended is appended whole.
    ParameterNode* head = new ParameterNode("X-A");
    head->SetValue("1");
    head->Append(new ParameterNode(ParameterKindOther, "2"))->Release();
    tel->AppendParameter(head)->Release();
    EXPECT_EQ("HOME,CELL,2,1,2", Values(tel));
    EXPECT_STREQ("X-A", tel->GetParameterAt(3)->GetDisplayName());
    EXPECT_STREQ("", tel->GetParameterAt(4)->GetDisplayName()) << "a further value has no name of its own";
    EXPECT_TRUE(tel->IsModified());
    tel->Release();
    PropertyNode* bare = new PropertyNode(PropertyKindFn);
    EXPECT_EQ(nullptr, bare->RemoveParameterAt(0));
    EXPECT_EQ(nullptr, bare->GetParameterAt(0));
    bare->Release();
}

}  // namespace
