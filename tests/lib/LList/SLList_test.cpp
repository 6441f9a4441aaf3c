#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/LList/SLList.h"

namespace {

std::vector<int> items(const SLList<int>& l)
{
    std::vector<int> v;
    Iterator<int>* it = l.createIterator();
    int x = 0;
    for (it->first(); it->currentItem(&x); it->next()) v.push_back(x);
    delete it;
    return v;
}

TEST(SLList, AppendPrependRemoveKeepOrderAndTail)
{
    SLList<int> l;
    l.append(2);
    l.prepend(1);
    l.append(3);
    l.append(2);
    EXPECT_EQ(items(l), (std::vector<int>{1, 2, 3, 2}));
    EXPECT_TRUE(l.remove(2));  // first occurrence only
    EXPECT_EQ(items(l), (std::vector<int>{1, 3, 2}));
    EXPECT_FALSE(l.remove(7));
    EXPECT_TRUE(l.removeLast());
    l.append(4);  // the tail must have moved back with removeLast
    EXPECT_EQ(items(l), (std::vector<int>{1, 3, 4}));
    int x = 0;
    EXPECT_TRUE(l.popFront(&x));
    EXPECT_EQ(x, 1);
    EXPECT_TRUE(l.remove(4));
    l.append(5);
    EXPECT_EQ(items(l), (std::vector<int>{3, 5}));
    EXPECT_EQ(l.count(), 2u);
    l.cleanup();
    EXPECT_TRUE(l.isEmpty());
    EXPECT_FALSE(l.popFront(&x));
    EXPECT_FALSE(l.removeLast());
}

TEST(SLList, PrependListMovesAllItemsInOrder)
{
    SLList<int> a, b, empty;
    a.append(3);
    b.append(1);
    b.append(2);
    a.prepend(b);
    EXPECT_EQ(items(a), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(b.isEmpty());
    a.prepend(empty);
    empty.prepend(a);
    EXPECT_EQ(items(empty), (std::vector<int>{1, 2, 3}));
    empty.append(4);  // tail taken over from the moved list
    EXPECT_EQ(items(empty), (std::vector<int>{1, 2, 3, 4}));
}

TEST(SLList, IteratorChangesItemInPlaceAndUnimplementedCallsRefuse)
{
    std::string trace;
    BTrace::capture(&trace);
    SLList<int> l;
    l.append(1);
    l.append(2);
    Iterator<int>* it = l.createIterator();
    it->first();
    it->next();
    EXPECT_TRUE(it->changeCurrentItem(9));
    it->next();
    EXPECT_TRUE(it->end());
    EXPECT_FALSE(it->changeCurrentItem(5));
    delete it;
    EXPECT_EQ(items(l), (std::vector<int>{1, 9}));
    int x = 0;
    SLList<int> other;
    EXPECT_FALSE(l.removeFirst());
    EXPECT_FALSE(l.popEnd(&x));
    EXPECT_FALSE(l.append(other));
    EXPECT_NE(trace.find("not implemented yet"), std::string::npos);
    BTrace::capture(nullptr);
}

}  // namespace
