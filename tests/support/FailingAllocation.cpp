#include "tests/support/FailingAllocation.h"

#include <cstdlib>
#include <new>

namespace tarnwick::testing {
namespace {

thread_local long failAt = 0;
thread_local long made = 0;

}  // namespace

void FailAllocation(long n) {
    failAt = n;
    made = 0;
}

long AllocationsMade() {
    return made;
}

}  // namespace tarnwick::testing

// Every form of new and delete without an alignment, so that each pair matches.
void* operator new(std::size_t size) {
    using namespace tarnwick::testing;
    if (++made == failAt) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void operator delete[](void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
