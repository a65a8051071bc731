// The core's tests run under one application made before any test: a GUI
// one, never widgets, since the pictures the tests draw need fonts.
#include <gtest/gtest.h>

#include "core/SessionFixture.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    test::coreApp();
    return RUN_ALL_TESTS();
}
