#pragma once
// A COM pointer released at the end of the scope.
namespace tarnwick::testing {

template <class T>
struct Ref {
    T* p = nullptr;
    ~Ref() {
        if (p) p->Release();
    }
    T* operator->() const { return p; }
    T** operator&() { return &p; }
};

}  // namespace tarnwick::testing
