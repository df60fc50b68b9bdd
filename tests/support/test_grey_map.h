// The tests' one stand-in for a sub-map: a grey texture map of a mono value
// the test sets, which counts its updates, evaluations and live objects
// (atomically: render threads may evaluate it at once) and has no references.
#pragma once

#include <atomic>

#include <imtl.h>

namespace nacrelle::testing {

class TestGreyMap final : public Texmap {
public:
    static constexpr Class_ID kClassID{0x7E57AB01, 0x00000001};
    /// Maps alive now, over every test of the process.
    static inline std::atomic<int> live{0};

    explicit TestGreyMap(float mono = 0.5f) : mono(mono) { ++live; }
    ~TestGreyMap() override { --live; }

    float mono;
    Interval validity = FOREVER;  ///< what Update intersects into the caller's interval
    ULONG requirements = 0;       ///< what LocalRequirements answers
    int updates = 0;
    mutable std::atomic<int> evaluations{0};

    Class_ID ClassID() override { return kClassID; }
    void GetClassName(MSTR& s, bool) const override { s = L"TestGreyMap"; }
    void DeleteThis() override { delete this; }
    void Update(TimeValue, Interval& valid) override {
        ++updates;
        valid &= validity;
    }
    void Reset() override {}
    Interval Validity(TimeValue) override { return validity; }
    ParamDlg* CreateParamDlg(HWND, IMtlParams*) override { return nullptr; }
    AColor EvalColor(ShadeContext&) override {
        ++evaluations;
        return AColor(mono, mono, mono, 1.0f);
    }
    float EvalMono(ShadeContext&) override {
        ++evaluations;
        return mono;
    }
    Point3 EvalNormalPerturb(ShadeContext&) override { return Point3(); }
    ULONG LocalRequirements(int) override { return requirements; }
    RefTargetHandle Clone(RemapDir& remap) override {
        auto* copy = new TestGreyMap(mono);
        copy->validity = validity;
        BaseClone(this, copy, remap);
        return copy;
    }

protected:
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_SUCCEED;
    }
};

}  // namespace nacrelle::testing
