// A path the system writes into a buffer comes whole at any length, whichever way the call
// tells that the buffer was too small.
#include "platform/win32/GrowingPath.h"

#include <gtest/gtest.h>

namespace tarnwick::win32 {
namespace {

// The two ways Windows answers a buffer too small for a path of `length` characters.
enum class Convention { TellsTheNeed, CutsShort };

size_t Answer(Convention convention, const std::wstring& path, wchar_t* buffer, DWORD size) {
    if (path.size() < size) {
        path.copy(buffer, path.size());
        buffer[path.size()] = L'\0';
        return path.size();
    }
    if (convention == Convention::TellsTheNeed) return path.size() + 1;
    path.copy(buffer, size - 1);  // GetModuleFileNameW: cut, terminated, and `size`
    buffer[size - 1] = L'\0';
    return size;
}

TEST(GrowingPath, APathComesWholeAtAnyLengthAndAFailureIsNone) {
    for (const Convention convention : {Convention::TellsTheNeed, Convention::CutsShort}) {
        for (const size_t length : {size_t{1}, size_t{259}, size_t{260}, size_t{261}, size_t{300},
                                    size_t{5000}, kLongestPath - 1}) {
            const std::wstring path(length, L'p');
            int calls = 0;
            const auto got = GrowingPath([&](wchar_t* b, DWORD size) {
                ++calls;
                return Answer(convention, path, b, size);
            });
            ASSERT_TRUE(got) << length;
            EXPECT_EQ(*got, path);
            EXPECT_LE(calls, 9);  // the buffer at least doubles each time
        }
    }
    EXPECT_FALSE(GrowingPath([](wchar_t*, DWORD) { return size_t{0}; }));
    // Never more than the longest path there is, however often the call asks for more.
    EXPECT_FALSE(GrowingPath([](wchar_t*, DWORD size) { return size_t{size}; }));
}

}  // namespace
}  // namespace tarnwick::win32
