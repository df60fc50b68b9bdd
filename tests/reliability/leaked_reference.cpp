// A maker that ends with `delete this` instead of through the host keeps the
// target it references allocated: the host frees referenced objects only when
// it releases references (DeleteAllRefs, DeleteMe), never from a destructor.
// Run with "leaked", a leak sanitizer must report the target; run with
// "released", the same objects end through the host and nothing leaks.
#include <cstring>

#include "ref.h"

namespace {

class Leaf final : public ReferenceTarget {
protected:
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_DONTCARE;
    }
};

class Holder final : public ReferenceMaker {
public:
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override { return i == 0 ? leaf_ : nullptr; }
    /// The fault under test: the host is never asked to release the leaf.
    void DeleteWithoutRelease() { delete this; }

protected:
    void SetReference(int i, RefTargetHandle target) override {
        if (i == 0) leaf_ = target;
    }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_DONTCARE;
    }

private:
    RefTargetHandle leaf_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    auto* holder = new Holder;
    if (holder->ReplaceReference(0, new Leaf) != REF_SUCCEED) return 3;
    if (std::strcmp(mode, "leaked") == 0) {
        holder->DeleteWithoutRelease();
        return 0;
    }
    holder->DeleteMe();
    return std::strcmp(mode, "released") == 0 ? 0 : 2;
}
