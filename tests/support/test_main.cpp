// The main of every test executable: the socket layer is started first, as the
// listener does for the server, because Windows refuses any socket call before.
#include <gtest/gtest.h>

#include "platform/kxr_socket.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    kxr::platform::SocketStartup();
    const int result = RUN_ALL_TESTS();
    kxr::platform::SocketCleanup();
    return result;
}
