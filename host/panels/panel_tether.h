// A panel's hold on an object it shows: one reference, so that the object
// lives while the panel shows it, and word when it is deleted from outside.
#pragma once

#include <functional>
#include <utility>

#include "ref.h"

namespace standin {

class PanelTether final : public ReferenceMaker {
public:
    explicit PanelTether(std::function<void()> onTargetDeleted)
        : onTargetDeleted_(std::move(onTargetDeleted)) {}
    ~PanelTether() override { DeleteAllRefsFromMe(); }

    ReferenceTarget* Target() const { return target_; }
    /// Holds `target` instead (null: nothing), releasing the one held before.
    bool Hold(ReferenceTarget* target) { return ReplaceReference(0, target) == REF_SUCCEED; }

    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override { return i == 0 ? target_ : nullptr; }

protected:
    void SetReference(int i, RefTargetHandle target) override {
        if (i == 0) target_ = target;
    }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle hTarget, PartID&,
                               RefMessage message, BOOL) override {
        if (message == REFMSG_TARGET_DELETED && hTarget == target_ && onTargetDeleted_) {
            onTargetDeleted_();
        }
        return REF_DONTCARE;
    }

private:
    ReferenceTarget* target_ = nullptr;
    std::function<void()> onTargetDeleted_;
};

}  // namespace standin
