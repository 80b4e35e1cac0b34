#pragma once
// The lock and condition variable that threads of the program hand work over with.
// MinGW's std::mutex and std::condition_variable are built on kernel events and
// semaphores, so that on Windows every contended lock, wait and wake enters the kernel,
// and under Wine is a round trip to its server. Windows' slim locks and condition
// variables wait in user space where they can (a futex under Wine).
#ifdef _WIN32
#include "platform/win32/SlimLock.h"
#else
#include <condition_variable>
#include <mutex>
#endif

namespace tarnwick {
#ifdef _WIN32
using Mutex = win32::SlimMutex;
using Condition = win32::SlimCondition;
#else
using Mutex = std::mutex;
using Condition = std::condition_variable;
#endif
}  // namespace tarnwick
