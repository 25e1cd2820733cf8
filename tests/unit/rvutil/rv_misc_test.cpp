#include "kxr/rvutil.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

// The list walked forwards; the backward walk and the count must agree.
static std::vector<int> Items(RVList* list) {
    std::vector<int> items, backwards;
    for (RVListNode* node = rv_ListHead(list); node != nullptr; node = rv_ListNext(node))
        items.push_back(*static_cast<int*>(node->item));
    for (RVListNode* node = list->tail; node != nullptr; node = node->prev)
        backwards.insert(backwards.begin(), *static_cast<int*>(node->item));
    EXPECT_EQ(items, backwards);
    EXPECT_EQ(rv_ListCount(list), items.size());
    return items;
}

TEST(RvList, AddAndInsertKeepBothDirections) {
    int v[6] = {0, 1, 2, 3, 4, 5};
    RVList list;
    rv_ListInit(&list);
    rv_ListAddTail(&list, &v[2]);
    rv_ListAddHead(&list, &v[0]);
    rv_ListAddTail(&list, &v[4]);
    // Before the head, in the middle, and with no position (at the end).
    EXPECT_EQ(rv_ListInsertAt(&list, rv_ListHead(&list), &v[5]), 1);
    EXPECT_EQ(rv_ListInsertAt(&list, list.tail, &v[3]), 1);
    EXPECT_EQ(rv_ListInsertAt(&list, nullptr, &v[1]), 1);
    EXPECT_EQ(Items(&list), (std::vector<int>{5, 0, 2, 3, 4, 1}));
    rv_ListClose(&list);
    EXPECT_TRUE(Items(&list).empty());
}

TEST(RvErrLog, LinesReachTheSinkWithTheirLevel) {
    static std::vector<std::pair<uint32_t, std::string>> logged;
    rvSetErrSink([](uint32_t level, const char* line) { logged.emplace_back(level, line); });
    ErrOut("HTTPD: socket() failed with error %d", 10013);
    ErrFmtOut(RV_ERR_WARNING, 0, 0, "WARNING(kHTTPD2): %s\n", "already running");
    const std::string longText(5000, 'z'); // not cut at a buffer
    ErrOut("%s", longText.c_str());
    rvSetErrSink(nullptr);
    const std::vector<std::pair<uint32_t, std::string>> expected = {
        {0, "HTTPD: socket() failed with error 10013\n"},
        {RV_ERR_WARNING, "WARNING(kHTTPD2): already running\n"}, // one newline, not two
        {0, longText + "\n"}};
    EXPECT_EQ(logged, expected);
}
