// Card nodes: reference counts, modified flags, values and parameter chains.
#include "card/nodes.h"

#include "tests/support/node_counter.h"

#include <gtest/gtest.h>

namespace {

// Builds the chain type=HOME, type=CELL, pref=1 on a new TEL property.
PropertyNode* TelephoneWithThreeParameters()
{
    PropertyNode* tel = new PropertyNode(PropertyKindTel);
    const struct {
        ParameterKind kind;
        const char* value;
    } parameters[] = {{ParameterKindType, "HOME"}, {ParameterKindType, "CELL"}, {2, "1"}};
    for (const auto& p : parameters) {
        ParameterNode* node = new ParameterNode(p.kind, p.value);
        tel->AppendParameter(node);
        node->Release();
    }
    tel->ClearModified();
    return tel;
}

TEST(Nodes, LastReleaseDestroysOnceAndNotBefore)
{
    NodeCounter counter;
    GroupNode* group = new GroupNode("home");
    group->AddRef();
    group->Release();
    EXPECT_EQ(1, counter.Alive());
    group->Release();
    EXPECT_EQ(0, counter.Alive());
    EXPECT_EQ(1, counter.Destroyed());
}

TEST(Nodes, PropertyReleasesItsWholeParameterChain)
{
    NodeCounter counter;
    PropertyNode* tel = TelephoneWithThreeParameters();
    EXPECT_EQ(4, counter.Alive());
    ParameterNode* kept = tel->GetParameterAt(1);
    kept->AddRef();
    tel->Release();
    // The second parameter lives on through the extra reference, and keeps the third.
    EXPECT_EQ(2, counter.Alive());
    EXPECT_STREQ("CELL", kept->GetValue());
    kept->Release();
    EXPECT_EQ(0, counter.Alive());
    EXPECT_EQ(4, counter.Destroyed());
}

TEST(Nodes, NewNodesAreNotModified)
{
    NodeCounter counter;
    GroupNode* group = new GroupNode("work");
    EXPECT_EQ(0, group->IsModified());
    EXPECT_STREQ("work", group->GetDisplayName());
    EXPECT_EQ(1, group->IsGroup());
    group->Release();

    const struct {
        PropertyKind kind;
        int values;
    } rows[] = {{PropertyKindN, 5}, {PropertyKindAdr, 7}, {PropertyKindFn, 1}, {PropertyKindVersion, 1}};
    for (const auto& row : rows) {
        PropertyNode* property = new PropertyNode(row.kind);
        EXPECT_EQ(S_OK, property->InitValues());
        EXPECT_EQ(row.values, property->GetValueCount());
        EXPECT_EQ(0, property->IsModified());
        for (int i = 0; i < property->GetValueCount(); ++i) {
            ASSERT_NE(nullptr, property->GetValue(i));
            if (row.kind != PropertyKindVersion) {
                EXPECT_STREQ("", property->GetValue(i));
            }
        }
        property->Release();
    }
    EXPECT_EQ(0, counter.Alive());
}

TEST(Nodes, NewVersionHoldsDefaultVersion)
{
    PropertyNode* version = new PropertyNode(PropertyKindVersion);
    version->InitValues();
    EXPECT_STREQ("4.0", version->GetValue(0));
    EXPECT_EQ(0, version->IsModified());
    version->Release();
}

TEST(Nodes, SetValueBeyondTheEndAddsAbsentEntries)
{
    PropertyNode* note = new PropertyNode(FindPropertyKind("NOTE"));
    note->InitValues();
    EXPECT_EQ(S_OK, note->SetValue("third", 3));
    ASSERT_EQ(4, note->GetValueCount());
    EXPECT_STREQ("", note->GetValue(0));
    EXPECT_EQ(nullptr, note->GetValue(1));
    EXPECT_EQ(nullptr, note->GetValue(2));
    EXPECT_STREQ("third", note->GetValue(3));
    EXPECT_EQ(1, note->IsModified());
    note->Release();
}

TEST(Nodes, SetNullBeyondTheEndGrowsWithoutChange)
{
    PropertyNode* note = new PropertyNode(FindPropertyKind("NOTE"));
    note->InitValues();
    EXPECT_EQ(S_FALSE, note->SetValue(nullptr, 5));
    EXPECT_EQ(6, note->GetValueCount());
    for (int i = 1; i < 6; ++i) EXPECT_EQ(nullptr, note->GetValue(i));
    EXPECT_EQ(0, note->IsModified());
    note->Release();
}

TEST(Nodes, PropertyValuesCompareExactly)
{
    PropertyNode* fn = new PropertyNode(PropertyKindFn);
    fn->InitValues();
    EXPECT_EQ(S_OK, fn->SetValue("Smith", 0));
    fn->ClearModified();
    EXPECT_EQ(S_FALSE, fn->SetValue("Smith", 0));
    EXPECT_EQ(0, fn->IsModified());
    EXPECT_EQ(S_OK, fn->SetValue("SMITH", 0));
    EXPECT_STREQ("SMITH", fn->GetValue(0));
    EXPECT_EQ(1, fn->IsModified());
    fn->ClearModified();
    EXPECT_EQ(S_OK, fn->SetValue(nullptr, 0));
    EXPECT_EQ(nullptr, fn->GetValue(0));
    EXPECT_EQ(1, fn->IsModified());
    fn->Release();
}

TEST(Nodes, ParameterValuesCompareWithoutRegardToCase)
{
    ParameterNode* type = new ParameterNode(ParameterKindType, "HOME");
    EXPECT_EQ(0, type->SetValue("home"));
    EXPECT_STREQ("HOME", type->GetValue());
    EXPECT_EQ(0, type->IsModified());
    EXPECT_EQ(1, type->SetValue("WORK"));
    EXPECT_EQ(1, type->IsModified());
    EXPECT_EQ(1, type->SetValue(nullptr));
    EXPECT_EQ(nullptr, type->GetValue());
    EXPECT_EQ(0, type->SetValue(nullptr));
    type->Release();

    ParameterNode* fresh = new ParameterNode();
    EXPECT_EQ(ParameterKindUnset, fresh->GetKind());
    EXPECT_EQ(nullptr, fresh->GetValue());
    fresh->Release();
}

TEST(Nodes, RemoveFirstParameterDestroysIt)
{
    NodeCounter counter;
    PropertyNode* tel = TelephoneWithThreeParameters();
    ParameterNode* first = tel->RemoveParameterAt(0);
    EXPECT_EQ(first, tel->GetParameters());
    EXPECT_STREQ("CELL", first->GetValue());
    EXPECT_STREQ("1", tel->GetParameterAt(1)->GetValue());
    EXPECT_EQ(nullptr, tel->GetParameterAt(2));
    EXPECT_EQ(1, counter.Destroyed());
    EXPECT_EQ(1, tel->IsModified());
    tel->Release();
    EXPECT_EQ(0, counter.Alive());
}

TEST(Nodes, RemoveMiddleAndLastParameterKeepsTheRest)
{
    NodeCounter counter;
    PropertyNode* tel = TelephoneWithThreeParameters();
    tel->RemoveParameterAt(1);
    EXPECT_STREQ("HOME", tel->GetParameterAt(0)->GetValue());
    EXPECT_STREQ("1", tel->GetParameterAt(1)->GetValue());
    tel->RemoveParameterAt(1);
    EXPECT_STREQ("HOME", tel->GetParameterAt(0)->GetValue());
    EXPECT_EQ(nullptr, tel->GetParameterAt(1));
    EXPECT_EQ(2, counter.Destroyed());
    tel->Release();
    EXPECT_EQ(0, counter.Alive());
}

TEST(Nodes, RemoveBeyondTheChainRemovesNothingButMarksModified)
{
    NodeCounter counter;
    PropertyNode* tel = TelephoneWithThreeParameters();
    tel->RemoveParameterAt(5);
    EXPECT_EQ(0, counter.Destroyed());
    EXPECT_NE(nullptr, tel->GetParameterAt(2));
    EXPECT_EQ(1, tel->IsModified());
    tel->Release();

    PropertyNode* bare = new PropertyNode(PropertyKindFn);
    EXPECT_EQ(nullptr, bare->RemoveParameterAt(0));
    EXPECT_EQ(nullptr, bare->GetParameterAt(0));
    bare->Release();
    EXPECT_EQ(0, counter.Alive());
}

TEST(Nodes, AppendingAChainAppendsAllOfIt)
{
    NodeCounter counter;
    PropertyNode* tel = TelephoneWithThreeParameters();
    ParameterNode* head = new ParameterNode("X-A");
    head->SetValue("1");
    ParameterNode* second = new ParameterNode(ParameterKindOther, "2");
    head->Append(second);
    second->Release();
    tel->AppendParameter(head);
    head->Release();
    EXPECT_STREQ("X-A", tel->GetParameterAt(3)->GetDisplayName());
    EXPECT_STREQ("2", tel->GetParameterAt(4)->GetValue());
    EXPECT_EQ(nullptr, tel->GetParameterAt(5));
    EXPECT_EQ(1, tel->IsModified());
    tel->Release();
    EXPECT_EQ(0, counter.Alive());
}

TEST(Nodes, ChangedParameterMakesItsPropertyModified)
{
    PropertyNode* tel = TelephoneWithThreeParameters();
    EXPECT_EQ(0, tel->IsModified());
    tel->GetParameterAt(2)->SetValue("2");
    EXPECT_EQ(1, tel->IsModified());
    tel->GetParameterAt(2)->ClearModified();
    EXPECT_EQ(0, tel->IsModified());
    tel->Release();
}

TEST(Nodes, DisplayNamesAndImages)
{
    ParameterNode* other = new ParameterNode("X-FOO");
    EXPECT_STREQ("X-FOO", other->GetDisplayName());
    EXPECT_EQ(ParameterKindOther, other->GetKind());
    ParameterNode* type = new ParameterNode(ParameterKindType, "HOME");
    EXPECT_STREQ("type", type->GetDisplayName());
    // A further value of an other parameter has no name of its own.
    ParameterNode* unnamed = new ParameterNode(ParameterKindOther, "b");
    EXPECT_STREQ("", unnamed->GetDisplayName());
    other->Release();
    type->Release();
    unnamed->Release();

    PropertyNode* custom = new PropertyNode(PropertyKindOther, "X-Custom");
    EXPECT_STREQ("X-Custom", custom->GetDisplayName());
    EXPECT_EQ(0, custom->GetValueCount());
    PropertyNode* tel = new PropertyNode(PropertyKindTel, "ignored");
    EXPECT_STREQ("TEL", tel->GetDisplayName());
    EXPECT_EQ(nullptr, tel->GetCustomName());
    EXPECT_EQ(IMAGE_PROPERTY, tel->GetImageIndex(0));
    EXPECT_EQ(IMAGE_PROPERTY, tel->GetImageIndex(TVIS_EXPANDED));
    custom->Release();
    tel->Release();

    GroupNode* group = new GroupNode("home");
    EXPECT_EQ(IMAGE_GROUP_EXPANDED, group->GetImageIndex(TVIS_EXPANDED));
    EXPECT_EQ(IMAGE_GROUP_COLLAPSED, group->GetImageIndex(0));
    group->Release();
}

}  // namespace
