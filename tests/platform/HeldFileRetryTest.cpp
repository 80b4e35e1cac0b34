// The rule for a file that another program holds: the first wait short, each one twice the
// last up to a quarter of a second, and tries until two seconds have passed on the clock,
// however long each wait really took.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/HeldFile.h"

namespace tarnwick::testing {
namespace {

TEST(HeldFileRetry, WaitsLongerEachTimeUntilTwoSecondsHavePassedOnTheClock) {
    // How long a wait of `ms` takes: as asked; Windows' timer tick; a first one that a
    // modal box, shown by the window meanwhile, kept for 1.9 s.
    const std::function<int64_t(int64_t, size_t)> took[] = {
        [](int64_t ms, size_t) { return ms; },
        [](int64_t ms, size_t) { return (ms + 15) / 16 * 16; },
        [](int64_t ms, size_t i) { return i == 0 ? 1900 : ms; },
    };
    for (const auto& lasted : took) {
        int64_t now = 0, last = 0;
        std::vector<std::pair<int64_t, int64_t>> asked;  // when, for how long
        HeldFileWaits waits{[&] { return now; },
                            [&](int64_t ms) {
                                asked.emplace_back(now, ms);
                                now += last = lasted(ms, asked.size() - 1);
                            }};
        HeldFileRetry retry(waits);
        while (retry.WaitForAnotherTry()) {
        }
        int64_t next = 10;
        for (const auto& [when, ms] : asked) {
            EXPECT_EQ(ms, std::min(next, 2000 - when));
            next = std::min<int64_t>(next * 2, 250);
        }
        EXPECT_GE(now, 2000);         // tried once more at the end
        EXPECT_LT(now - last, 2000);  // and no wait began after it
    }
}

}  // namespace
}  // namespace tarnwick::testing
