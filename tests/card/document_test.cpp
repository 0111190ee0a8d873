// The card document over a tree: natively the in-memory tree, under Wine a real tree
// view control. The same cases run against both.
#include "card/document.h"

#include "card/io.h"
#include "card/tree.h"
#include "tests/support/node_counter.h"
#include "tests/support/round_trip.h"
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
        EXPECT_EQ(nullptr, Next(TVI_ROOT, TVGN_CHILD));
        EXPECT_EQ(0, counter.Alive()) << "nodes left alive after deleting every item";
    }

    // The display names below an item, as "a,b,c", as the tree shows them; the order the
    // document keeps in its nodes must be the same.
    std::string Names(HTREEITEM parent)
    {
        EXPECT_EQ("", OrderDifference(document));
        std::string names;
        for (HTREEITEM item = Next(parent, TVGN_CHILD); item != nullptr; item = Next(item, TVGN_NEXT)) {
            names += (names.empty() ? "" : ",") + std::string(document.GetNode(item)->GetDisplayName());
        }
        return names;
    }
    HTREEITEM Next(HTREEITEM item, UINT relation) { return TreeGetNextItem(tree.Window(), item, relation); }
    HTREEITEM Add(HTREEITEM target, const char* name) { return document.AddOtherProperty(target, name); }
    bool IsExpanded(HTREEITEM item) { return (TreeGetItemState(tree.Window(), item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0; }
    PropertyNode* Property(HTREEITEM item) { return (PropertyNode*)document.GetNode(item); }

    NodeCounter counter;
    TestTree tree;
    int escapeColon = 0;
    CardDocument document;
};

TEST_F(Document, ItemsArePlacedWhereTheyBelongAndShown)
{
    HTREEITEM work = document.AddGroup("work");
    HTREEITEM a = Add(work, "A");  // at a group: last in the group
    Add(work, "C");
    Add(a, "B");  // at a property in a group: right after it
    HTREEITEM x = document.AddProperty(TVI_ROOT, PropertyKindAdr);  // at the root: last
    Add(TVI_ROOT, "TEL");  // an other property named like a standard one is not looked up
    Add(x, "Y");  // at a property at the root: right after it
    document.AddGroup("home");
    EXPECT_EQ("work,ADR,Y,TEL,home", Names(TVI_ROOT));
    EXPECT_EQ("A,B,C", Names(work));
    EXPECT_EQ(7, Property(x)->GetValueCount());
    // A group goes to the root whatever the target.
    HTREEITEM other = document.InsertNode(a, new GroupNode("other"));
    ASSERT_NE(nullptr, other);
    EXPECT_EQ(nullptr, Next(other, TVGN_PARENT));
    EXPECT_EQ("A,B,C", Names(work));
    // An insertion into a collapsed group opens it.
    tree.Collapse(work);
    ASSERT_FALSE(IsExpanded(work));
    Add(work, "D");
    EXPECT_TRUE(IsExpanded(work));
}

// Read line by line, or the groups first and the other properties at the end of the read
// (the editor's order): either way the card stands in the file's order, and a read that
// fails keeps what came before the failing line.
TEST_F(Document, ReadCardsStandInTheFilesOrderWhateverOrderTheyArePlacedIn)
{
    const std::string card = "BEGIN:VCARD\r\nFN:x\r\nNOTE:n\r\na.TEL:1\r\nVERSION:4.0\r\nEMAIL:e\r\nb.URL:u\r\n"
                             "A.X-ABLABEL:l\r\nORG:o\r\nTITLE:t\r\nb.NOTE:m\r\n";
    for (bool groupsFirst : {false, true}) {
        SCOPED_TRACE(groupsFirst);
        document.SetReadGroupsFirst(groupsFirst);
        const std::string wholeText = card + "END:VCARD\r\n", cutText = card + "NO COLON\r\nEND:VCARD\r\n";
        MemoryInput whole(wholeText);
        ASSERT_EQ(S_OK, document.ReadCard(whole));
        EXPECT_EQ("VERSION,FN,NOTE,a,EMAIL,b,ORG,TITLE", Names(TVI_ROOT));
        EXPECT_EQ("TEL,X-ABLABEL", Names(document.FindGroup("a")));
        EXPECT_EQ("URL,NOTE", Names(document.FindGroup("b")));
        document.DeleteAll();

        MemoryInput cut(cutText);
        EXPECT_EQ(E_FAIL, document.ReadCard(cut));
        EXPECT_EQ("VERSION,FN,NOTE,a,EMAIL,b,ORG,TITLE", Names(TVI_ROOT));
        document.DeleteAll();
        EXPECT_EQ(0, counter.Alive());
    }
}

TEST_F(Document, GroupsAndTheSelectionAreFound)
{
    EXPECT_EQ(nullptr, document.FindGroup("home"));
    EXPECT_EQ(nullptr, document.GetSelectedItem(TVI_ROOT));
    HTREEITEM home = document.AddGroup("home");
    HTREEITEM a = Add(home, "A");
    HTREEITEM office = Add(TVI_ROOT, "office");
    EXPECT_EQ(home, document.FindGroup("HOME"));
    for (const char* name : {"office", "A", "hom", ""}) EXPECT_EQ(nullptr, document.FindGroup(name)) << name;
    EXPECT_EQ(nullptr, document.GetSelectedItem(TVI_ROOT));
    for (HTREEITEM item : {a, office, home}) {
        ASSERT_TRUE(TreeSelectItem(tree.Window(), item));
        EXPECT_EQ(item, document.GetSelectedItem(TVI_ROOT));
        EXPECT_EQ(item == a ? a : nullptr, document.GetSelectedItem(home));
    }
    ASSERT_TRUE(TreeSelectItem(tree.Window(), nullptr));
    EXPECT_EQ(nullptr, document.GetSelectedItem(TVI_ROOT));
    ASSERT_TRUE(TreeSelectItem(tree.Window(), office));  // a selected item is deleted at the end
}

TEST_F(Document, ModifiedStateFollowsStructureAndNodes)
{
    EXPECT_FALSE(document.IsModified());
    HTREEITEM group = document.AddGroup("g");
    EXPECT_TRUE(document.IsModified());
    HTREEITEM tel = document.AddProperty(group, PropertyKindTel);
    Property(tel)->AppendParameter(new ParameterNode(ParameterKindType, "HOME"))->Release();
    Property(tel)->ClearModified();
    document.ClearStructureChanged();
    EXPECT_FALSE(document.IsModified());
    // A node of no card of this document changes: the answer stays (asked again).
    PropertyNode elsewhere(PropertyKindN);
    EXPECT_EQ(S_OK, elsewhere.SetValue("x", 0));
    EXPECT_FALSE(document.IsModified());
    // A changed parameter deep in a group is found.
    Property(tel)->GetParameterAt(0)->SetValue("CELL");
    EXPECT_TRUE(document.IsModified());
    Property(tel)->GetParameterAt(0)->ClearModified();
    EXPECT_FALSE(document.IsModified());
    EXPECT_EQ(S_OK, document.DeleteItem(tel));
    EXPECT_TRUE(document.IsModified());
    document.ClearStructureChanged();
    document.DeleteAll();
    EXPECT_FALSE(document.IsModified()) << "DeleteAll leaves the flag alone";
}

TEST_F(Document, DeletedItemsReleaseTheirNodes)
{
    HTREEITEM group = document.AddGroup("g");
    HTREEITEM tel = document.AddProperty(group, PropertyKindTel);
    Property(tel)->AppendParameter(new ParameterNode(ParameterKindType, "HOME"))->Release();
    document.AddProperty(group, PropertyKindFn);
    HTREEITEM last = Add(group, "X");
    HTREEITEM fn = document.AddProperty(TVI_ROOT, PropertyKindFn);
    HTREEITEM note = Add(TVI_ROOT, "NOTE");
    EXPECT_EQ(7, counter.Alive());
    // The last item of a group and of the root go, and what is added next comes after
    // the item now last.
    EXPECT_EQ(S_OK, document.DeleteItem(last));
    Add(group, "Y");
    EXPECT_EQ("TEL,FN,Y", Names(group));
    EXPECT_EQ(S_OK, document.DeleteItem(note));
    note = Add(TVI_ROOT, "NOTE");
    EXPECT_EQ("g,FN,NOTE", Names(TVI_ROOT));
    EXPECT_EQ(S_OK, document.DeleteItem(group));
    EXPECT_EQ(2, counter.Alive()) << "group, its properties and the parameter are destroyed";
    EXPECT_EQ("FN,NOTE", Names(TVI_ROOT));
    // A node held elsewhere outlives its item.
    CardNode* node = document.GetNode(fn);
    node->AddRef();
    document.DeleteItem(fn);
    EXPECT_EQ(2, counter.Alive());
    EXPECT_STREQ("FN", node->GetDisplayName());
    node->Release();
    EXPECT_EQ("NOTE", Names(TVI_ROOT));
    EXPECT_EQ(nullptr, document.GetNode(nullptr));
}

#ifndef _WIN32
// Only the in-memory tree can be made to refuse an insertion on purpose.
TEST_F(Document, RefusedInsertionDestroysTheNodeOnce)
{
    tree.Window()->RefuseNextInsertion();
    EXPECT_EQ(nullptr, document.AddProperty(TVI_ROOT, PropertyKindN));
    EXPECT_EQ(1, counter.Destroyed());
    EXPECT_EQ(0, counter.Alive());
    EXPECT_FALSE(document.IsModified());
    EXPECT_NE(0u, GetLastError());
}

// A refusal among the properties that wait for the end of the read fails the read and
// releases each node once, placed or not.
TEST_F(Document, RefusedPlacementAtTheEndOfAReadReleasesEveryNode)
{
    document.SetReadGroupsFirst(true);
    // The first two insertions are the group and the line before it; the refusal comes
    // with the first grouped property.
    tree.Window()->RefuseNextInsertion(2);
    const std::string text = "BEGIN:VCARD\r\nFN:x\r\nwork.TEL:1\r\nNOTE:a\r\nwork.URL:u\r\nEND:VCARD\r\n";
    MemoryInput input(text);
    EXPECT_EQ(E_OUTOFMEMORY, document.ReadCard(input));
    EXPECT_EQ("FN,work", Names(TVI_ROOT));
    document.DeleteAll();
    EXPECT_EQ(0, counter.Alive());
}
#endif

}  // namespace
