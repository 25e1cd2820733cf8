#include "kxr/rvutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<int> Items(RVList* list) {
    std::vector<int> items;
    for (RVListNode* node = rv_ListHead(list); node != nullptr; node = rv_ListNext(node))
        items.push_back(*static_cast<int*>(node->item));
    return items;
}

// The list read backwards must mirror the forward walk.
std::vector<int> ItemsBackwards(RVList* list) {
    std::vector<int> items;
    for (RVListNode* node = list->tail; node != nullptr; node = node->prev)
        items.insert(items.begin(), *static_cast<int*>(node->item));
    return items;
}

std::vector<std::pair<uint32_t, std::string>> logged;

void Collect(uint32_t level, const char* line) {
    logged.emplace_back(level, line);
}

} // namespace

TEST(RvList, AddInsertAndRemoveKeepBothDirections) {
    int v[6] = {0, 1, 2, 3, 4, 5};
    RVList list;
    rv_ListInit(&list);
    EXPECT_EQ(rv_ListHead(&list), nullptr);
    EXPECT_EQ(rv_ListRemoveTail(&list), nullptr);

    EXPECT_EQ(rv_ListAddTail(&list, &v[2]), 1);
    EXPECT_EQ(rv_ListAddHead(&list, &v[0]), 1);
    EXPECT_EQ(rv_ListAddTail(&list, &v[4]), 1);
    // Before the head, in the middle, and with no position (at the end).
    EXPECT_EQ(rv_ListInsertAt(&list, rv_ListHead(&list), &v[5]), 1);
    EXPECT_EQ(rv_ListInsertAt(&list, list.tail, &v[3]), 1);
    EXPECT_EQ(rv_ListInsertAt(&list, nullptr, &v[1]), 1);
    const std::vector<int> expected{5, 0, 2, 3, 4, 1};
    EXPECT_EQ(Items(&list), expected);
    EXPECT_EQ(ItemsBackwards(&list), expected);
    EXPECT_EQ(rv_ListCount(&list), 6u);

    EXPECT_EQ(rv_ListRemoveTail(&list), &v[1]);
    EXPECT_EQ(rv_ListRemoveTail(&list), &v[4]);
    EXPECT_EQ(Items(&list), (std::vector<int>{5, 0, 2, 3}));
    EXPECT_EQ(ItemsBackwards(&list), (std::vector<int>{5, 0, 2, 3}));
    EXPECT_EQ(rv_ListCount(&list), 4u);

    rv_ListClose(&list);
    EXPECT_EQ(rv_ListCount(&list), 0u);
    EXPECT_EQ(rv_ListHead(&list), nullptr);
    EXPECT_EQ(rv_ListAddTail(&list, &v[0]), 1);
    EXPECT_EQ(rv_ListRemoveTail(&list), &v[0]);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
    rv_ListClose(&list);
}

TEST(RvMemory, BlocksAndCopies) {
    void* empty = RVAlloc(0);
    EXPECT_NE(empty, nullptr); // 0 would read as a failure
    RVFree(empty);
    RVFree(nullptr);

    char* block = static_cast<char*>(RVAlloc(16));
    ASSERT_NE(block, nullptr);
    std::memset(block, 'x', 16);
    rvOSZeroMemory(block + 4, 8);
    EXPECT_EQ(std::string(block, 16), std::string("xxxx") + std::string(8, '\0') + "xxxx");
    ZeroMemoryFast(block, 16);
    EXPECT_EQ(std::string(block, 16), std::string(16, '\0'));

    std::strcpy(block, "abcdef");
    rvOSCopyMemory(block + 2, block, 5); // overlapping, as text shifts do
    EXPECT_STREQ(block, "ababcde");
    CopyMemoryFast(block, "XY", 2);
    EXPECT_STREQ(block, "XYabcde");
    RVFree(block);
}

TEST(RvErrLog, LinesReachTheSinkWithTheirLevel) {
    logged.clear();
    rvSetErrSink(Collect);
    ErrOut("HTTPD: socket() failed with error %d", 10013);
    ErrFmtOut(RV_ERR_WARNING, 0, 0, "WARNING(kHTTPD2): %s\n", "HTTP server is already running");
    const std::string longText(5000, 'z');
    ErrOut("%s", longText.c_str());
    rvSetErrSink(nullptr);
    ErrOut("to standard error, not the sink");

    ASSERT_EQ(logged.size(), 3u);
    EXPECT_EQ(logged[0].first, 0u);
    EXPECT_EQ(logged[0].second, "HTTPD: socket() failed with error 10013\n");
    EXPECT_EQ(logged[1].first, RV_ERR_WARNING);
    EXPECT_EQ(logged[1].second, "WARNING(kHTTPD2): HTTP server is already running\n");
    EXPECT_EQ(logged[2].second, longText + "\n");
}
