// Doubly linked lists of opaque items. Nodes come from malloc so that an
// exhausted heap shows up as a 0 result rather than an exception.
#include "kxr/rvutil.h"

#include <cstdlib>

namespace {

RVListNode* NewNode(void* item) {
    auto* node = static_cast<RVListNode*>(std::malloc(sizeof(RVListNode)));
    if (node != nullptr) {
        node->next = nullptr;
        node->prev = nullptr;
        node->item = item;
    }
    return node;
}

} // namespace

extern "C" {

void rv_ListInit(RVList* list) {
    if (list == nullptr)
        return;
    list->head = nullptr;
    list->tail = nullptr;
    list->count = 0;
}

void rv_ListClose(RVList* list) {
    if (list == nullptr)
        return;
    RVListNode* node = list->head;
    while (node != nullptr) {
        RVListNode* next = node->next;
        std::free(node);
        node = next;
    }
    rv_ListInit(list);
}

int32_t rv_ListAddHead(RVList* list, void* item) {
    if (list == nullptr)
        return 0;
    return rv_ListInsertAt(list, list->head, item);
}

int32_t rv_ListAddTail(RVList* list, void* item) {
    return rv_ListInsertAt(list, nullptr, item);
}

int32_t rv_ListInsertAt(RVList* list, RVListNode* position, void* item) {
    if (list == nullptr)
        return 0;
    RVListNode* node = NewNode(item);
    if (node == nullptr)
        return 0;
    if (position == nullptr) {
        node->prev = list->tail;
        if (list->tail != nullptr)
            list->tail->next = node;
        else
            list->head = node;
        list->tail = node;
    } else {
        node->next = position;
        node->prev = position->prev;
        if (position->prev != nullptr)
            position->prev->next = node;
        else
            list->head = node;
        position->prev = node;
    }
    ++list->count;
    return 1;
}

void* rv_ListRemoveTail(RVList* list) {
    if (list == nullptr || list->tail == nullptr)
        return nullptr;
    RVListNode* node = list->tail;
    void* item = node->item;
    list->tail = node->prev;
    if (list->tail != nullptr)
        list->tail->next = nullptr;
    else
        list->head = nullptr;
    --list->count;
    std::free(node);
    return item;
}

RVListNode* rv_ListHead(RVList* list) {
    return list != nullptr ? list->head : nullptr;
}

RVListNode* rv_ListNext(RVListNode* node) {
    return node != nullptr ? node->next : nullptr;
}

uint32_t rv_ListCount(RVList* list) {
    return list != nullptr ? list->count : 0;
}

} // extern "C"
