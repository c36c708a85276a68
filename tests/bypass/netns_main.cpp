// The main of the kernel-bypass test programs: the namespace pair is made and
// entered before GoogleTest or any test starts a thread.
#include <gtest/gtest.h>

#include "tests/support/netns_pair.h"

int main(int argc, char** argv) {
    hux_test::netns_setup();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
