// The suite's main: the Xvfb that the window tests start on first use goes
// with the process.
#include <gtest/gtest.h>

#include "tests/desktop/x11_client.h"
#include "tests/support/xvfb_display.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    CloseX11Client();
    StopXvfb();
    return result;
}
