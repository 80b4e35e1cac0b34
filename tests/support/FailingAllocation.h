#pragma once
// Allocations that fail on purpose: the program's operator new, replaced in the test
// program that links this, throws std::bad_alloc at the chosen allocation of the thread
// that asked for it. Other threads allocate as usual.
namespace tarnwick::testing {

// The `n`th allocation from now on, on this thread, fails (1: the next); 0: none fails.
void FailAllocation(long n);
// Allocations made on this thread since the last FailAllocation.
long AllocationsMade();

}  // namespace tarnwick::testing
