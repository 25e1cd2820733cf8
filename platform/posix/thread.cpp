#include "platform/kxr_thread.h"

#include <pthread.h>

#include <climits>
#include <cstring>
#include <new>

namespace kxr::platform {

namespace {

struct StartBlock {
    ThreadRoutine routine;
    void* argument;
    char name[16]; // what the kernel keeps, terminator included
};

void* Trampoline(void* raw) {
    StartBlock block = *static_cast<StartBlock*>(raw);
    delete static_cast<StartBlock*>(raw);
    if (block.name[0] != '\0')
        pthread_setname_np(pthread_self(), block.name);
    block.routine(block.argument);
    return nullptr;
}

// Qualified names ("server::listener") keep their last part, which says most.
void ShortName(const char* name, char* out, size_t size) {
    out[0] = '\0';
    if (name == nullptr)
        return;
    const char* start = name;
    for (const char* p = name; *p != '\0'; ++p) {
        if (p[0] == ':' && p[1] == ':' && p[2] != '\0')
            start = p + 2;
    }
    std::strncpy(out, start, size - 1);
    out[size - 1] = '\0';
}

} // namespace

bool ThreadSpawnDetached(ThreadRoutine routine, void* argument, size_t stackSize,
                         const char* name) {
    if (routine == nullptr)
        return false;
    auto* block = new (std::nothrow) StartBlock{routine, argument, {}};
    if (block == nullptr)
        return false;
    ShortName(name, block->name, sizeof block->name);

    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) {
        delete block;
        return false;
    }
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (stackSize != 0) {
        if (stackSize < static_cast<size_t>(PTHREAD_STACK_MIN))
            stackSize = static_cast<size_t>(PTHREAD_STACK_MIN);
        pthread_attr_setstacksize(&attr, stackSize);
    }
    pthread_t thread;
    const int rc = pthread_create(&thread, &attr, Trampoline, block);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete block;
        return false;
    }
    return true;
}

void ThreadExitCurrent() {
    pthread_exit(nullptr);
}

} // namespace kxr::platform
