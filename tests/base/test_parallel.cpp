// Work shared between threads: every part runs, and what a part throws is
// thrown on the thread that waits for it, never ending the program.
#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <stdexcept>

#include "base/Parallel.h"

TEST(Parallel, WhatAPartOrAPieceOfWorkAsideThrowsReachesTheThreadThatWaitsForIt)
{
    std::atomic<int> ran = 0;
    EXPECT_THROW(RunParts(4,
                          [&](int k) {
                              ++ran;
                              if (k == 2) throw std::bad_alloc();
                          }),
                 std::bad_alloc);
    EXPECT_EQ(ran, 4);
    ran = 0;
    EXPECT_THROW(RunParts(3,
                          [&](int k) {
                              ++ran;
                              if (k == 0) throw std::runtime_error("first");
                          }),
                 std::runtime_error);  // the helpers are waited for, not left running
    EXPECT_EQ(ran, 3);

    int done = 0;
    TWorkAside failing([&] {
        ++done;
        throw std::bad_alloc();
    });
    EXPECT_THROW(failing.Finish(), std::bad_alloc);
    EXPECT_NO_THROW(failing.Finish());
    TWorkAside here([&] { ++done; }, false);
    EXPECT_EQ(done, 1);  // not started until it is asked for
    here.Finish();
    here.Finish();
    EXPECT_EQ(done, 2);  // and done once
}
