#pragma once
// The reference count of each COM object the result view hands out: it starts with the
// reference its maker holds, and the object deletes itself with its last.
#include <windows.h>

namespace tarnwick::win32 {

class ComReferences {
  public:
    ULONG Add() { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
    template <class Object>
    ULONG Release(Object* object) {
        const auto left = static_cast<ULONG>(InterlockedDecrement(&count_));
        if (left == 0) delete object;
        return left;
    }

  private:
    LONG count_ = 1;
};

}  // namespace tarnwick::win32
