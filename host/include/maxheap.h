// Heap operators of host-visible classes. Objects that cross between a
// plug-in module and the host are allocated and freed through these, so that
// whichever side frees an object uses the allocator that made it.
#pragma once

#include <cstddef>
#include <new>

class MaxHeapOperators {
public:
    static void* operator new(std::size_t size) { return ::operator new(size); }
    static void* operator new[](std::size_t size) { return ::operator new[](size); }
    static void* operator new(std::size_t size, const std::nothrow_t& tag) noexcept {
        return ::operator new(size, tag);
    }
    static void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
        return ::operator new[](size, tag);
    }
    static void* operator new(std::size_t, void* where) noexcept { return where; }

    static void operator delete(void* p) noexcept { ::operator delete(p); }
    static void operator delete[](void* p) noexcept { ::operator delete[](p); }
    static void operator delete(void* p, const std::nothrow_t&) noexcept { ::operator delete(p); }
    static void operator delete[](void* p, const std::nothrow_t&) noexcept {
        ::operator delete[](p);
    }
    static void operator delete(void*, void*) noexcept {}
};
