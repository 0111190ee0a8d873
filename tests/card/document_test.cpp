// The card document over a tree: natively the in-memory tree, under Wine a real tree
// view control. The same cases run against both.
#include "card/document.h"

#include "card/tree.h"
#include "tests/support/node_counter.h"
#include "tests/support/test_tree.h"

#include <gtest/gtest.h>
#include <string>

namespace {

class Document : public ::testing::Test {
protected:
    Document() : document(tree.Window(), &escapeColon) {}

    void TearDown() override
    {
        document.DeleteAll();
        EXPECT_EQ(0, counter.Alive()) << "nodes left alive after deleting every item";
    }

    // The display names below an item, as "a,b,c".
    std::string Names(HTREEITEM parent)
    {
        std::string names;
        for (HTREEITEM item = TreeGetNextItem(tree.Window(), parent, TVGN_CHILD); item != nullptr;
             item = TreeGetNextItem(tree.Window(), item, TVGN_NEXT)) {
            if (!names.empty()) names += ",";
            names += document.GetNode(item)->GetDisplayName();
        }
        return names;
    }

    HTREEITEM AddNamed(HTREEITEM target, const char* name)
    {
        return document.AddOtherProperty(target, name);
    }

    bool IsExpanded(HTREEITEM item)
    {
        return (TreeGetItemState(tree.Window(), item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    }

    NodeCounter counter;
    TestTree tree;
    int escapeColon = 0;
    CardDocument document;
};

TEST_F(Document, GroupsAreAppendedAtRoot)
{
    HTREEITEM first = document.AddGroup("home");
    ASSERT_NE(nullptr, first);
    AddNamed(TVI_ROOT, "X-A");
    HTREEITEM second = document.AddGroup("work");
    ASSERT_NE(nullptr, second);
    EXPECT_EQ("home,X-A,work", Names(TVI_ROOT));
    EXPECT_EQ(nullptr, TreeGetNextItem(tree.Window(), second, TVGN_PARENT));
}

TEST_F(Document, PropertyAtAGroupGoesLastInTheGroup)
{
    HTREEITEM group = document.AddGroup("work");
    AddNamed(group, "A");
    AddNamed(group, "B");
    AddNamed(group, "C");
    EXPECT_EQ("A,B,C", Names(group));
    EXPECT_EQ("work", Names(TVI_ROOT));
}

TEST_F(Document, PropertyAtAPropertyInAGroupGoesRightAfterIt)
{
    HTREEITEM group = document.AddGroup("work");
    HTREEITEM a = AddNamed(group, "A");
    AddNamed(group, "B");
    HTREEITEM inserted = AddNamed(a, "A2");
    EXPECT_EQ("A,A2,B", Names(group));
    EXPECT_EQ(group, TreeGetNextItem(tree.Window(), inserted, TVGN_PARENT));
}

TEST_F(Document, PropertyAtARootPropertyGoesRightAfterItAtRoot)
{
    HTREEITEM a = AddNamed(TVI_ROOT, "A");
    AddNamed(TVI_ROOT, "B");
    AddNamed(a, "A2");
    document.AddGroup("g");
    AddNamed(TVI_ROOT, "END");
    EXPECT_EQ("A,A2,B,g,END", Names(TVI_ROOT));
}

TEST_F(Document, GroupIsAlwaysPlacedAtRootWhateverTheTarget)
{
    HTREEITEM group = document.AddGroup("g");
    HTREEITEM a = AddNamed(group, "A");
    GroupNode* node = new GroupNode("h");
    HTREEITEM inserted = document.InsertNode(a, node);
    ASSERT_NE(nullptr, inserted);
    EXPECT_EQ(nullptr, TreeGetNextItem(tree.Window(), inserted, TVGN_PARENT));
    EXPECT_EQ("A", Names(group));
}

TEST_F(Document, AddPropertyInitialisesValues)
{
    HTREEITEM version = document.AddProperty(TVI_ROOT, PropertyKindVersion);
    HTREEITEM address = document.AddProperty(TVI_ROOT, PropertyKindAdr);
    HTREEITEM tel = document.AddOtherProperty(TVI_ROOT, "TEL");
    PropertyNode* versionNode = (PropertyNode*)document.GetNode(version);
    ASSERT_EQ(1, versionNode->GetValueCount());
    EXPECT_STREQ("4.0", versionNode->GetValue(0));
    EXPECT_EQ(7, ((PropertyNode*)document.GetNode(address))->GetValueCount());
    // An other property named like a standard one is not looked up and has no values.
    PropertyNode* telNode = (PropertyNode*)document.GetNode(tel);
    EXPECT_EQ(PropertyKindOther, telNode->GetKind());
    EXPECT_STREQ("TEL", telNode->GetDisplayName());
    EXPECT_EQ(0, telNode->GetValueCount());
    EXPECT_EQ("VERSION,ADR,TEL", Names(TVI_ROOT));
}

TEST_F(Document, FindGroupAtRootOnlyWithoutRegardToCase)
{
    HTREEITEM home = document.AddGroup("home");
    HTREEITEM work = document.AddGroup("work");
    AddNamed(TVI_ROOT, "office");
    AddNamed(work, "inner");
    EXPECT_EQ(home, document.FindGroup("HOME"));
    EXPECT_EQ(work, document.FindGroup("Work"));
    EXPECT_EQ(nullptr, document.FindGroup("office"));
    EXPECT_EQ(nullptr, document.FindGroup("inner"));
    EXPECT_EQ(nullptr, document.FindGroup("hom"));
    EXPECT_EQ(nullptr, document.FindGroup(""));
}

TEST_F(Document, FindGroupOnEmptyCard)
{
    EXPECT_EQ(nullptr, document.FindGroup("home"));
    EXPECT_EQ(nullptr, document.GetSelectedItem(TVI_ROOT));
}

TEST_F(Document, GetSelectedItemSearchesCollapsedGroups)
{
    HTREEITEM group = document.AddGroup("g");
    AddNamed(group, "A");
    HTREEITEM b = AddNamed(group, "B");
    AddNamed(TVI_ROOT, "C");
    EXPECT_EQ(nullptr, document.GetSelectedItem(TVI_ROOT));
    tree.Collapse(group);
    tree.MarkSelected(b);
    ASSERT_FALSE(IsExpanded(group));
    EXPECT_EQ(b, document.GetSelectedItem(TVI_ROOT));
    EXPECT_EQ(b, document.GetSelectedItem(group));
}

TEST_F(Document, GetSelectedItemFollowsTheSelection)
{
    HTREEITEM group = document.AddGroup("g");
    HTREEITEM a = AddNamed(group, "A");
    HTREEITEM c = AddNamed(TVI_ROOT, "C");
    ASSERT_TRUE(TreeSelectItem(tree.Window(), a));
    EXPECT_EQ(a, document.GetSelectedItem(TVI_ROOT));
    ASSERT_TRUE(TreeSelectItem(tree.Window(), c));
    EXPECT_EQ(c, document.GetSelectedItem(TVI_ROOT));
    EXPECT_EQ(nullptr, document.GetSelectedItem(group));
    ASSERT_TRUE(TreeSelectItem(tree.Window(), group));
    EXPECT_EQ(group, document.GetSelectedItem(TVI_ROOT));
}

TEST_F(Document, InsertionMakesTheNewItemVisible)
{
    HTREEITEM group = document.AddGroup("g");
    AddNamed(group, "A");
    EXPECT_TRUE(IsExpanded(group));
    tree.Collapse(group);
    ASSERT_FALSE(IsExpanded(group));
    AddNamed(group, "B");
    EXPECT_TRUE(IsExpanded(group));
}

TEST_F(Document, ModifiedStateFollowsStructureAndNodes)
{
    EXPECT_EQ(0, document.IsModified());
    HTREEITEM group = document.AddGroup("g");
    EXPECT_EQ(0, document.GetNode(group)->IsModified());
    EXPECT_EQ(1, document.IsModified());

    HTREEITEM tel = document.AddProperty(group, PropertyKindTel);
    PropertyNode* telNode = (PropertyNode*)document.GetNode(tel);
    for (const char* value : {"HOME", "CELL", "1"}) {
        ParameterNode* parameter = new ParameterNode(ParameterKindType, value);
        telNode->AppendParameter(parameter);
        parameter->Release();
    }
    telNode->ClearModified();
    document.ClearStructureChanged();
    EXPECT_EQ(0, document.IsModified());

    // A changed parameter deep in a group is found.
    telNode->GetParameterAt(2)->SetValue("2");
    EXPECT_EQ(1, document.IsAnyNodeModified(TVI_ROOT));
    EXPECT_EQ(1, document.IsModified());
    telNode->GetParameterAt(2)->ClearModified();
    EXPECT_EQ(0, document.IsModified());

    EXPECT_EQ(S_OK, document.DeleteItem(tel));
    EXPECT_EQ(1, document.IsModified());
    document.ClearStructureChanged();
    document.DeleteAll();
    EXPECT_EQ(0, document.IsModified()) << "DeleteAll leaves the flag alone";
}

TEST_F(Document, DeletingAGroupReleasesItAndEachProperty)
{
    HTREEITEM group = document.AddGroup("g");
    HTREEITEM tel = document.AddProperty(group, PropertyKindTel);
    ParameterNode* parameter = new ParameterNode(ParameterKindType, "HOME");
    ((PropertyNode*)document.GetNode(tel))->AppendParameter(parameter);
    parameter->Release();
    document.AddProperty(group, PropertyKindFn);
    HTREEITEM kept = document.AddProperty(TVI_ROOT, PropertyKindFn);
    EXPECT_EQ(5, counter.Alive());

    EXPECT_EQ(S_OK, document.DeleteItem(group));
    EXPECT_EQ(1, counter.Alive()) << "group, both properties and the parameter are destroyed";
    EXPECT_EQ("FN", Names(TVI_ROOT));
    EXPECT_EQ(kept, TreeGetNextItem(tree.Window(), TVI_ROOT, TVGN_CHILD));
}

TEST_F(Document, NodeHeldElsewhereOutlivesItsItem)
{
    HTREEITEM fn = document.AddProperty(TVI_ROOT, PropertyKindFn);
    CardNode* node = document.GetNode(fn);
    node->AddRef();
    document.DeleteItem(fn);
    EXPECT_EQ(1, counter.Alive());
    EXPECT_STREQ("FN", node->GetDisplayName());
    node->Release();
    EXPECT_EQ(0, counter.Alive());
}

TEST_F(Document, DeleteAllEmptiesTheCard)
{
    HTREEITEM group = document.AddGroup("g");
    document.AddProperty(group, PropertyKindN);
    document.AddProperty(TVI_ROOT, PropertyKindFn);
    document.DeleteAll();
    EXPECT_EQ(0, counter.Alive());
    EXPECT_EQ(nullptr, TreeGetNextItem(tree.Window(), TVI_ROOT, TVGN_CHILD));
}

TEST_F(Document, GetNodeOfNullItemIsNull)
{
    EXPECT_EQ(nullptr, document.GetNode(nullptr));
    EXPECT_EQ(nullptr, CardDocument::GetItemNode(tree.Window(), nullptr));
}

#ifndef _WIN32
// Only the in-memory tree can be made to refuse an insertion on purpose.
TEST_F(Document, RefusedInsertionDestroysTheNodeOnce)
{
    ASSERT_TRUE(tree.RefuseNextInsertion());
    EXPECT_EQ(nullptr, document.AddProperty(TVI_ROOT, PropertyKindN));
    EXPECT_EQ(1, counter.Destroyed());
    EXPECT_EQ(0, counter.Alive());
    EXPECT_EQ(0, document.IsModified());
    EXPECT_NE(0u, GetLastError());
}
#endif

}  // namespace
