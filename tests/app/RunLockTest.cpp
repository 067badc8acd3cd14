#include <gtest/gtest.h>

#include "TestHome.h"
#include "app/CRunLock.h"

namespace {

TEST(RunLock, ASecondHolderIsRefusedUntilTheFirstIsGone) {
    TestHome home;
    const std::string path = home / "Gleanwick.lock";
    {
        const CRunLock first(path);
        EXPECT_FALSE(first.IsBusy());
        const CRunLock second(path);
        EXPECT_TRUE(second.IsBusy());
    }
    const CRunLock again(path);
    EXPECT_FALSE(again.IsBusy());
}

TEST(RunLock, AnUnusableLockFileDoesNotBlockTheProgram) {
    const CRunLock lock("/nonexistent-folder/Gleanwick.lock");
    EXPECT_FALSE(lock.IsBusy());
}

} // namespace
