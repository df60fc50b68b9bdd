// Commits one fault of the kind named on the command line, so that the
// sanitizer presets can prove their settings take effect under CTest: the
// fault must be reported and must end the process, which never reaches the
// line after the fault.
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

volatile int sink;
int* volatile pointer;  // volatile: the compiler may not drop the allocations

int Leak() {
    pointer = new int[16];
    pointer = nullptr;  // nothing points at the block any more
    return 0;
}

int SignedOverflow() {
    volatile int big = 0x7FFFFFFF;
    sink = big + 1;
    return 0;
}

int HeapOverflow() {
    pointer = new int[4];
    volatile int past = 4;
    sink = pointer[past];
    delete[] pointer;
    return 0;
}

int DataRace() {
    static int counter = 0;
    std::thread other([] { ++counter; });
    ++counter;
    other.join();
    sink = counter;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* fault = argc > 1 ? argv[1] : "";
    int result = 2;
    if (std::strcmp(fault, "leak") == 0) result = Leak();
    if (std::strcmp(fault, "signed-overflow") == 0) result = SignedOverflow();
    if (std::strcmp(fault, "heap-overflow") == 0) result = HeapOverflow();
    if (std::strcmp(fault, "data-race") == 0) result = DataRace();
    std::printf("continued after the fault\n");
    return result;
}
