// Linked into every module built with mingw-w64. A module carries its own
// static copy of the GNU C++ runtime and of its POSIX threads library (so
// that it imports only the system's DLLs), and two parts of them keep memory
// that nothing gives back when the module unloads, so that each load and
// unload would leak it:
// - the emergency pool for exceptions (about 72 KiB), set aside as the module
//   loads; it is freed here when the module's static objects are destroyed;
// - the threads library's record of the thread that first initialises a
//   function-local static (about 0.8 KiB), made by the runtime's guard
//   functions; the guards here use the system's slim locks instead, which
//   need no memory.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <cxxabi.h>
#include <windows.h>

namespace __gnu_cxx {
void __freeres() noexcept;  // the runtime's own release, made for leak checkers
}

namespace {

struct RuntimeRelease {
    RuntimeRelease() = default;
    RuntimeRelease(const RuntimeRelease&) = delete;
    RuntimeRelease& operator=(const RuntimeRelease&) = delete;
    ~RuntimeRelease() { __gnu_cxx::__freeres(); }
};

const RuntimeRelease release;

// One lock for every guard of the module, held only while a guard's state
// changes, never while a static is being initialised, so that one static's
// initialiser may initialise another.
SRWLOCK guardLock = SRWLOCK_INIT;
CONDITION_VARIABLE guardSettled = CONDITION_VARIABLE_INIT;

// The guard's first byte says "initialised" (the compiler's own inline check
// reads it); the second says "being initialised by some thread".
unsigned char* DoneByte(__cxxabiv1::__guard* guard) {
    return reinterpret_cast<unsigned char*>(guard);
}
unsigned char* BusyByte(__cxxabiv1::__guard* guard) { return DoneByte(guard) + 1; }

}  // namespace

namespace __cxxabiv1 {

extern "C" int __cxa_guard_acquire(__guard* guard) {
    if (__atomic_load_n(DoneByte(guard), __ATOMIC_ACQUIRE) != 0) return 0;
    AcquireSRWLockExclusive(&guardLock);
    while (*BusyByte(guard) != 0) {
        SleepConditionVariableSRW(&guardSettled, &guardLock, INFINITE, 0);
    }
    const bool mustInitialise = __atomic_load_n(DoneByte(guard), __ATOMIC_RELAXED) == 0;
    if (mustInitialise) *BusyByte(guard) = 1;
    ReleaseSRWLockExclusive(&guardLock);
    return mustInitialise ? 1 : 0;
}

extern "C" void __cxa_guard_release(__guard* guard) noexcept {
    AcquireSRWLockExclusive(&guardLock);
    *BusyByte(guard) = 0;
    __atomic_store_n(DoneByte(guard), 1, __ATOMIC_RELEASE);
    ReleaseSRWLockExclusive(&guardLock);
    WakeAllConditionVariable(&guardSettled);
}

// The initialiser threw: the next caller tries again.
extern "C" void __cxa_guard_abort(__guard* guard) noexcept {
    AcquireSRWLockExclusive(&guardLock);
    *BusyByte(guard) = 0;
    ReleaseSRWLockExclusive(&guardLock);
    WakeAllConditionVariable(&guardSettled);
}

}  // namespace __cxxabiv1
