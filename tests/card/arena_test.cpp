// Nodes the reader placed in the card's arena: edited, deleted and held past their
// document, against both trees. Under the sanitizers a text freed that the arena owns,
// or an arena freed under a node still held, fails here.
#include "card/document.h"

#include "card/tree.h"
#include "tests/support/card_text.h"
#include "tests/support/node_counter.h"

#include <gtest/gtest.h>
#include <string>

namespace {

const std::string CARD = Lines({"BEGIN:VCARD", "VERSION:4.0", "FN:Ann", "a.ADR;TYPE=HOME:;;1 Main St;Town;IL;62701;USA",
                                "b.ADR;TYPE=WORK:;;2 Side St;Town;IL;62702;USA", "X-P;X-Q=v,w:IL", "END:VCARD"});

TEST(Arena, EditedTextsReplaceReadOnesAndSharedTextsStayApart)
{
    NodeCounter counter;
    {
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(CARD)) << card.Why();
        PropertyNode* home = card.Property(2);
        PropertyNode* work = card.Property(3);
        PropertyNode* other = card.Property(4);
        EXPECT_EQ(S_FALSE, home->SetValue("Town", 3)) << "an unchanged value changes nothing";
        EXPECT_FALSE(card.document.IsModified());
        // "Town", "IL" and "USA" are read once and shared: a change of one stays in its node.
        EXPECT_EQ(S_OK, home->SetValue("City", 3));
        EXPECT_EQ(S_OK, home->SetValue("Country", 8)) << "a slot past the read ones";
        EXPECT_EQ(S_OK, other->SetValue(nullptr, 0));
        ParameterNode* q = other->GetParameterAt(0);
        EXPECT_EQ(S_OK, q->SetValue("x"));
        EXPECT_EQ(S_OK, q->SetCustomName("X-R"));
        EXPECT_EQ(S_OK, other->GetParameters()->GetNext()->SetValue("y"));

        EXPECT_EQ(S_OK, card.Property(1)->SetValue("Bo", 0));
        const char* expected = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Bo\r\n"
                               "a.ADR;type=HOME:;;1 Main St;City;IL;62701;USA;;Country\r\n"
                               "b.ADR;type=WORK:;;2 Side St;Town;IL;62702;USA\r\nX-P;X-R=x,y:\r\nEND:VCARD\r\n";
        EXPECT_EQ(expected, card.Save());
        EXPECT_STREQ("IL", work->GetValue(4));
    }
    EXPECT_EQ(0, counter.Alive());
}

TEST(Arena, ARemovedFirstValuePassesItsReadNameOn)
{
    // To a value read with it, and as a copy of its own to a value added later, which
    // may outlive the arena.
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(Lines({"BEGIN:VCARD", "VERSION:4.0", "FN:a", "X-A;X-Q=v,w:1", "X-B;X-R=v:2", "END:VCARD"})));
    PropertyNode* a = card.Property(2);
    PropertyNode* b = card.Property(3);
    a->RemoveParameterAt(0);
    b->AppendParameter(new ParameterNode(ParameterKindOther, "h"))->Release();
    ParameterNode* added = b->GetParameterAt(1);
    added->AddRef();
    b->RemoveParameterAt(0);
    EXPECT_EQ("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:a\r\nX-A;X-Q=w:1\r\nX-B;X-R=h:2\r\nEND:VCARD\r\n", card.Save());
    card.document.DeleteAll();
    EXPECT_STREQ("X-R", added->GetCustomName());
    added->Release();
}

TEST(Arena, NodesHeldOutliveTheirDocumentAndDeletedOnesGo)
{
    NodeCounter counter;
    PropertyNode* held;
    ParameterNode* parameter;
    {
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(CARD));
        HTREEITEM group = card.document.FindGroup("b");
        ASSERT_NE(nullptr, group);
        EXPECT_EQ(S_OK, card.document.DeleteItem(group));
        EXPECT_EQ(4, card.PropertyCount());
        held = card.Property(3);
        held->AddRef();
        parameter = held->GetParameterAt(1);
        parameter->AddRef();
        // A second read into the same document starts a new arena; the first one stays
        // with the nodes that were read into it.
        card.document.DeleteAll();
        ASSERT_EQ(S_OK, card.Load(CARD));
        EXPECT_EQ(5, card.PropertyCount());
    }
    EXPECT_EQ(3, counter.Alive()) << "the property with its chain";
    EXPECT_STREQ("X-P", held->GetDisplayName());
    EXPECT_STREQ("IL", held->GetValue(0));
    EXPECT_STREQ("w", parameter->GetValue());
    EXPECT_EQ(S_OK, held->SetValue("edited after its card went", 0));
    held->Release();
    EXPECT_EQ(1, counter.Alive());
    EXPECT_STREQ("w", parameter->GetValue());
    parameter->Release();
    EXPECT_EQ(0, counter.Alive());
}

TEST(Arena, ManyLinesAndLongValuesFillBlocksAndComeBackWhole)
{
    // Texts enough for several of the arena's blocks, values longer than a block's share
    // of one text, and items enough for several of the tree's blocks; then every second
    // group deleted and as many added, which take the deleted groups' items.
    const int GROUPS = 3000;
    std::string text = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:x\r\n";
    for (int i = 0; i < GROUPS; ++i) {
        text += "g" + std::to_string(i) + ".NOTE;LANGUAGE=en:" + std::string((size_t)(i % 900), 'n') + "\r\n";
        if (i % 1000 == 0) text += "PHOTO:data:" + std::string(300000, 'A') + "\r\n";
    }
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(text + "END:VCARD\r\n"));
    ASSERT_EQ(2 + GROUPS + 3, card.PropertyCount());
    EXPECT_TRUE(std::string(899, 'n') == card.Property(2 + 899 + 1)->GetValue(0));
    EXPECT_TRUE("data:" + std::string(300000, 'A') == card.Property(2 + 2001 + 2)->GetValue(0));
    TestCard again;
    ASSERT_EQ(S_OK, again.Load(card.Save()));
    EXPECT_TRUE(card.Dump() == again.Dump());

    TreeWindow tree = card.tree.Window();
    int index = 0;
    for (HTREEITEM item = TreeGetNextItem(tree, TVI_ROOT, TVGN_CHILD); item != nullptr;) {
        HTREEITEM next = TreeGetNextItem(tree, item, TVGN_NEXT);
        if (card.document.GetNode(item)->IsGroup() && index++ % 2 == 0) {
            EXPECT_EQ(S_OK, card.document.DeleteItem(item));
        }
        item = next;
    }
    for (int i = 0; i < GROUPS / 2; ++i) card.document.AddGroup(("h" + std::to_string(i)).c_str());
    int groups = 0;
    for (HTREEITEM item = TreeGetNextItem(tree, TVI_ROOT, TVGN_CHILD); item != nullptr;
         item = TreeGetNextItem(tree, item, TVGN_NEXT)) {
        CardNode* node = card.document.GetNode(item);
        if (!node->IsGroup()) continue;
        int half = GROUPS / 2;
        std::string expected = groups < half ? "g" + std::to_string(groups * 2 + 1) : "h" + std::to_string(groups - half);
        ASSERT_EQ(expected, node->GetDisplayName());
        HTREEITEM child = TreeGetNextItem(tree, item, TVGN_CHILD);
        EXPECT_EQ(groups < half, child != nullptr);
        if (child != nullptr) {
            EXPECT_EQ(item, TreeGetNextItem(tree, child, TVGN_PARENT));
        }
        ++groups;
    }
    EXPECT_EQ(GROUPS, groups);
}

}  // namespace
