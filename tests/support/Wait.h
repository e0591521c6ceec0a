#pragma once
// Waiting for a condition inside a gtest test while Qt events keep being delivered. Qt's own
// ZOR_TRY_* macros report to QTestLib, which gtest never hears of, so a condition that never came
// true would end the test early and still pass; these fail the test instead.
#include <gtest/gtest.h>

#include <QTest>

#include "support/Slowdown.h"

#define ZOR_TRY_VERIFY_WITH_TIMEOUT(expr, timeoutMs) \
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(expr); }, timeoutMs)) << "never true: " #expr

#define ZOR_TRY_VERIFY(expr) ZOR_TRY_VERIFY_WITH_TIMEOUT(expr, 5000 * zor::test::kSlowdown)

#define ZOR_TRY_COMPARE_WITH_TIMEOUT(actual, expected, timeoutMs)                 \
    do {                                                                          \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); }, timeoutMs); \
        ASSERT_EQ(actual, expected);                                              \
    } while (false)

#define ZOR_TRY_COMPARE(actual, expected) \
    ZOR_TRY_COMPARE_WITH_TIMEOUT(actual, expected, 5000 * zor::test::kSlowdown)
