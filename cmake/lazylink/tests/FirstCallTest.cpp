// Calls through first-call stubs: the library is not there before the first
// call, threads racing to make it all get their own answers, and every
// argument of every calling shape arrives as passed.
#include <dlfcn.h>

#include <barrier>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Caller.h"

namespace {

// Only the first call of a process goes through the loader: ctest runs each
// test in a process of its own, a run of the whole binary skips the later ones.
bool g_called = false;

#define SKIP_UNLESS_FIRST_IN_PROCESS()                                                        \
    if (g_called) GTEST_SKIP() << "the library is loaded already: run this test on its own"; \
    g_called = true

bool CalleeLoaded() {
    void* handle = dlopen("liblazylink_callee.so", RTLD_LAZY | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

long IntsExpected(long base) {
    long sum = 0;
    for (long k = 0; k < 8; ++k) sum += (k + 1) * (base + k);
    return sum;
}

double DoublesExpected(double base) {
    double sum = 70;  // 10 * n
    for (int k = 0; k < 9; ++k) sum += (k + 1) * (base + 0.5 * k);
    return sum;
}

// One call of each shape with arguments derived from seed; false on any wrong answer.
bool CallEveryShape(int seed, int first) {
    bool ok = true;
    for (int k = 0; k < 4; ++k) {
        switch ((first + k) % 4) {
        case 0: ok &= LLC_Ints(seed * 100) == IntsExpected(seed * 100); break;
        case 1: ok &= LLC_Doubles(seed * 1.25) == DoublesExpected(seed * 1.25); break;
        case 2: {
            char text[64];
            const int n = LLC_Format(text, sizeof text, seed + 0.25, -seed);
            const std::string expected = std::to_string(seed) + ".25 " + std::to_string(-seed) + " end";
            ok &= n == static_cast<int>(expected.size()) && expected == text;
            break;
        }
        case 3: ok &= LLC_Struct(seed) == 80L * seed + 28; break;
        }
    }
    return ok;
}

// Each shape makes the very first call in a process of its own (the library's
// loading trashes the argument registers on the way).
class FirstCallOfShapeTest : public testing::TestWithParam<int> {};

TEST_P(FirstCallOfShapeTest, LoadsAndPassesEveryArgument) {
    SKIP_UNLESS_FIRST_IN_PROCESS();
    ASSERT_FALSE(CalleeLoaded()) << "the library was loaded before its first call";
    EXPECT_TRUE(CallEveryShape(3, GetParam()));
    EXPECT_TRUE(CalleeLoaded());
}

// 0 integers with two on the stack, 1 doubles with one on the stack, 2 a
// variadic call with a double, 3 a structure returned through memory.
INSTANTIATE_TEST_SUITE_P(Shapes, FirstCallOfShapeTest, testing::Values(0, 1, 2, 3));

TEST(FirstCallTest, ThreadsRacingToTheFirstCallsAllGetTheirAnswers) {
    SKIP_UNLESS_FIRST_IN_PROCESS();
    ASSERT_FALSE(CalleeLoaded()) << "the library was loaded before its first call";
    constexpr int kThreads = 8;
    std::barrier start(kThreads);
    std::vector<int> ok(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            // Each thread's first call is of another shape, so first calls of
            // different stubs meet in the loader.
            bool good = true;
            for (int round = 0; round < 50; ++round) good &= CallEveryShape(t + 1 + round, t);
            ok[t] = good;
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_TRUE(ok[t]) << "thread " << t;
    EXPECT_TRUE(CalleeLoaded());
}

}  // namespace
