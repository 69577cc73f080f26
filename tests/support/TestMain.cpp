#include <gtest/gtest.h>

#include <cstdlib>

// Every test runs headless, whether started by ctest or by hand: OpenGL on Mesa through EGL with no
// display, and sound on OpenAL's null device. A value already set by the caller wins.
int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
