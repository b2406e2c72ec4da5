#include "ZU2/rkNode.h"

#include <gtest/gtest.h>

#include <numbers>
#include <string>
#include <vector>

#include "base/DebugOutput.h"

namespace {

// Frees a hand-built tree at the end of a test.
struct Tree {
    rkNode* root;
    explicit Tree(const char* name) : root(rkCreateNode(name)) {}
    ~Tree() { rkFreeTree(root); }
    rkNode* Add(rkNode* parent, const char* name) {
        rkNode* n = rkCreateNode(name);
        rkLinkNode(parent, n);
        return n;
    }
};

void CollectName(int, rkNode* node, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(node->name);
}

TEST(rkNode, NamesAreCutTo31Characters) {
    Tree t(std::string(40, 'a').c_str());
    EXPECT_EQ(std::string(t.root->name), std::string(31, 'a'));
}

TEST(rkNode, LinkingTwiceIsRejectedAndReported) {
    Tree t("root");
    rkNode* a = t.Add(t.root, "a");
    rkNode* b = t.Add(t.root, "b");
    tavrel::DebugCapture capture;
    rkLinkNode(t.root, b);
    rkLinkNode(t.root, a);
    EXPECT_EQ(capture.Text(),
              "RK:Node duplicated! Reject linking (b)\nRK:Node duplicated! Reject linking (a)\n");
    EXPECT_EQ(t.root->child, a);
    EXPECT_EQ(a->next, b);
    EXPECT_EQ(b->next, nullptr);
}

TEST(rkNode, UnlinkRemovesFromAnyPlaceOfTheSiblingList) {
    Tree t("root");
    rkNode* a = t.Add(t.root, "a");
    rkNode* b = t.Add(t.root, "b");
    rkNode* c = t.Add(t.root, "c");
    rkUnlinkNode(t.root, b);
    EXPECT_EQ(a->next, c);
    EXPECT_EQ(b->parent, nullptr);
    rkUnlinkNode(t.root, a);
    EXPECT_EQ(t.root->child, c);
    rkLinkNode(t.root, a);
    rkLinkNode(t.root, b);
    EXPECT_EQ(c->next, a);
    EXPECT_EQ(a->next, b);
}

TEST(rkNode, FindReturnsTheFirstMatchInPreOrder) {
    Tree t("root");
    rkNode* neck = t.Add(t.root, "Neck");
    rkNode* deepHead = t.Add(neck, "Head");
    t.Add(t.root, "Head");
    EXPECT_EQ(rkFindNode(t.root, "Head"), deepHead);
    EXPECT_EQ(rkFindNode(t.root, "head"), nullptr);
    EXPECT_EQ(rkFindNode(t.root, "root"), t.root);
}

TEST(rkNode, TraverseVisitsPreAndPostOrder) {
    Tree t("r");
    rkNode* a = t.Add(t.root, "a");
    t.Add(a, "a1");
    t.Add(t.root, "b");
    std::vector<std::string> names;
    EXPECT_EQ(rkTraverse(t.root, RK_PRE_ORDER, CollectName, &names), 1);
    EXPECT_EQ(names, (std::vector<std::string>{"r", "a", "a1", "b"}));
    names.clear();
    rkTraverse(t.root, RK_POST_ORDER, CollectName, &names);
    EXPECT_EQ(names, (std::vector<std::string>{"a1", "a", "b", "r"}));
    names.clear();
    rkTraverse(t.root, RK_PRE_ORDER | RK_POST_ORDER, CollectName, &names);
    EXPECT_EQ(names.size(), 8u);
    tavrel::DebugCapture capture;
    EXPECT_EQ(rkTraverse(t.root, RK_BREADTH_FIRST, CollectName, &names), 0);
    EXPECT_EQ(capture.Text(), "RK:Sorry! Bread First traversal not implmented\n");
}

TEST(rkNode, RotateAboutZTurnsXIntoY) {
    Tree t("parent");
    rkNode* child = t.Add(t.root, "child");
    rkRotateNode(child, 2, std::numbers::pi_v<float> / 2);
    EXPECT_TRUE(child->flags & RK_NODE_CHANGED);
    rkUpdateNode(t.root);
    rkVector p = rkTransformPoint({1, 0, 0}, child->world);
    EXPECT_NEAR(p.x, 0.0f, 1e-6f);
    EXPECT_NEAR(p.y, 1.0f, 1e-6f);
    EXPECT_FALSE(child->flags & RK_NODE_CHANGED);
}

TEST(rkNode, UpdateComposesLocalWithParentWorld) {
    Tree t("root");
    rkNode* a = t.Add(t.root, "a");
    rkNode* b = t.Add(a, "b");
    rkTranslateNode(t.root, 1, 0, 0);
    rkTranslateNode(a, 0, 2, 0);
    rkRotateNode(a, 2, std::numbers::pi_v<float> / 2);
    rkTranslateNode(b, 3, 0, 0);
    rkUpdateNode(t.root);
    // Turning a after its shift turns the shift too: a sits at (-2, 0, 0) in root's space.
    // b's origin is 3 along a's x axis, which now points along y.
    EXPECT_NEAR(b->world.m[12], -1.0f, 1e-5f);
    EXPECT_NEAR(b->world.m[13], 3.0f, 1e-5f);
}

TEST(rkNode, FrozenNodeKeepsItsWorldWithItsSubtree) {
    Tree t("root");
    rkNode* frozen = t.Add(t.root, "frozen");
    rkNode* below = t.Add(frozen, "below");
    rkUpdateNode(t.root);
    frozen->flags |= RK_NODE_FROZEN;
    rkTranslateNode(t.root, 5, 0, 0);
    rkUpdateNode(t.root);
    EXPECT_FLOAT_EQ(t.root->world.m[12], 5.0f);
    EXPECT_FLOAT_EQ(frozen->world.m[12], 0.0f);
    EXPECT_FLOAT_EQ(below->world.m[12], 0.0f);
}

struct Event {
    uint32_t event;
    std::string node;
    float worldX;
};

void RecordEvent(uint32_t event, rkNode* node, void* user) {
    static_cast<std::vector<Event>*>(user)->push_back({event, node->name, node->world.m[12]});
}

TEST(rkNode, CallbacksRunAroundTheUpdateInOrder) {
    Tree t("root");
    rkNode* child = t.Add(t.root, "child");
    std::vector<Event> events;
    rkCallback* cb = rkCreateCallback(RK_EVENT_PRE_UPDATE | RK_EVENT_POST_UPDATE |
                                          RK_EVENT_CHILDREN_UPDATED,
                                      RecordEvent, &events);
    rkCallback* childCb = rkCreateCallback(RK_EVENT_POST_UPDATE, RecordEvent, &events);
    rkCallback* disabled = rkCreateCallback(~0u, RecordEvent, &events);
    disabled->head.flags |= 1;
    rkAttachObject(t.root, &cb->head);
    rkAttachObject(t.root, &disabled->head);
    rkAttachObject(child, &childCb->head);
    rkTranslateNode(t.root, 4, 0, 0);
    rkUpdateNode(t.root);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].event, RK_EVENT_PRE_UPDATE);
    EXPECT_FLOAT_EQ(events[0].worldX, 0.0f);  // before the world matrix is recomputed
    EXPECT_EQ(events[1].event, RK_EVENT_POST_UPDATE);
    EXPECT_FLOAT_EQ(events[1].worldX, 4.0f);
    EXPECT_EQ(events[2].node, "child");
    EXPECT_EQ(events[3].event, RK_EVENT_CHILDREN_UPDATED);
    EXPECT_TRUE(cb->head.flags & RK_OBJECT_CHANGED);
}

TEST(rkNode, UpdateStopsAtASelfLinkedChild) {
    Tree t("loop");
    rkNode* child = t.Add(t.root, "child");
    child->next = child;
    rkTranslateNode(t.root, 1, 0, 0);
    tavrel::DebugCapture capture;
    rkUpdateNode(t.root);  // must return rather than loop forever
    EXPECT_EQ(capture.Text(), "RK:Recycle link : loop\n");
    EXPECT_TRUE(t.root->flags & RK_NODE_CHANGED);
    EXPECT_EQ(rkFindNode(t.root, "missing"), nullptr);
    child->next = nullptr;
}

TEST(rkNode, DetachedSlotIsReusedAndArrayGrowsBySixteen) {
    Tree t("n");
    rkCallback* objects[17];
    for (int i = 0; i < 17; ++i) {
        objects[i] = rkCreateCallback(0, nullptr, nullptr);
        EXPECT_EQ(rkAttachObject(t.root, &objects[i]->head), i);
    }
    EXPECT_EQ(t.root->capacity, 32);
    EXPECT_EQ(t.root->objectCount, 17);
    rkDetachObject(t.root, &objects[5]->head);
    EXPECT_EQ(rkGetObject(t.root, 5), nullptr);
    EXPECT_EQ(objects[5]->head.refCount, 0);
    EXPECT_EQ(rkAttachObject(t.root, &objects[5]->head), 5);
    EXPECT_EQ(rkGetObject(t.root, 99), nullptr);
    EXPECT_EQ(rkAttachObject(nullptr, &objects[0]->head), -1);
}

TEST(rkNode, FreeRefusesAttachedOrForeignObjects) {
    rkNode* node = rkCreateNode("n");
    rkVisual* visual = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_LIT);
    rkAttachObject(node, &visual->head);
    EXPECT_FALSE(rkFreeVisual(visual));
    rkDetachSlot(node, 0);
    visual->head.flags |= RK_OBJECT_NOT_OWNED;
    EXPECT_FALSE(rkFreeObject(&visual->head));
    visual->head.flags &= ~RK_OBJECT_NOT_OWNED;
    EXPECT_TRUE(rkFreeObject(&visual->head));
    rkFreeNode(node);
}

TEST(rkNode, CloneCopiesTreeAndSharesObjects) {
    Tree t("root");
    rkNode* a = t.Add(t.root, "a");
    t.Add(t.root, "b");
    rkTranslateNode(a, 1, 2, 3);
    rkVisual* visual = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_LIT);
    rkAttachObject(a, &visual->head);
    rkNode* copy = rkCloneNode(t.root);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(visual->head.refCount, 2);
    rkNode* copyA = rkFindNode(copy, "a");
    ASSERT_NE(copyA, nullptr);
    EXPECT_NE(copyA, a);
    EXPECT_FLOAT_EQ(copyA->local.m[13], 2.0f);
    EXPECT_EQ(rkGetObject(copyA, 0), &visual->head);
    EXPECT_STREQ(copyA->next->name, "b");
    rkFreeTree(copy);  // detaches its share; the visual stays with the original
    EXPECT_EQ(visual->head.refCount, 1);
}

TEST(rkNode, CompileMarksTheWholeSubtree) {
    Tree t("root");
    rkNode* leaf = t.Add(t.Add(t.root, "a"), "leaf");
    EXPECT_EQ(rkCompileNode(t.root), 1);
    EXPECT_TRUE(leaf->flags & RK_NODE_COMPILED);
}

}  // namespace
