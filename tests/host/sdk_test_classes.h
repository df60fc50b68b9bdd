// Small host-side classes for the object-model tests: a class descriptor, an
// owner object laid out like a texture map (block, sub-map and output object
// in references 0, 1 and 2), a map and a plain target, and the block
// definition they share.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "max.h"

namespace sdktest {

// Releases through DeleteThis, per kind of object.
inline int ownersReleased = 0;
inline int mapsReleased = 0;
inline int thingsReleased = 0;

inline void ResetCounters() { ownersReleased = mapsReleased = thingsReleased = 0; }

class TestClassDesc : public ClassDesc2 {
public:
    explicit TestClassDesc(std::wstring name = L"TestMap", Class_ID id = Class_ID(0x1234, 0x5678),
                           SClass_ID sclass = TEXMAP_CLASS_ID)
        : name_(std::move(name)), id_(id), sclass_(sclass) {}

    int IsPublic() override { return TRUE; }
    void* Create(BOOL loading) override;
    const MCHAR* ClassName() override { return name_.c_str(); }
    const MCHAR* NonLocalizedClassName() override { return name_.c_str(); }
    SClass_ID SuperClassID() override { return sclass_; }
    Class_ID ClassID() override { return id_; }
    const MCHAR* Category() override { return L"Test"; }
    const MCHAR* InternalName() override { return name_.c_str(); }
    HINSTANCE HInstance() override { return instance; }

    HINSTANCE instance = nullptr;
    int creates = 0;

private:
    std::wstring name_;
    Class_ID id_;
    SClass_ID sclass_;
};

struct Heard {
    RefTargetHandle target;
    RefMessage message;
    ParamID lastParam;  // the block's LastNotifyParamID when the block sent it, else -2
};

class Owner : public ReferenceTarget {
public:
    explicit Owner(TestClassDesc* cd) : cd_(cd) { cd_->MakeAutoParamBlocks(this); }

    SClass_ID SuperClassID() override { return cd_->SuperClassID(); }
    Class_ID ClassID() override { return cd_->ClassID(); }
    void GetClassName(MSTR& s, bool) const override { s = L"Owner"; }
    void DeleteThis() override {
        ++ownersReleased;
        delete this;
    }
    int NumRefs() override { return 3; }
    RefTargetHandle GetReference(int i) override { return refs_[i]; }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int) override { return Block(); }
    IParamBlock2* GetParamBlockByID(short id) override {
        return Block() && Block()->ID() == id ? Block() : nullptr;
    }

    IParamBlock2* Block() { return static_cast<IParamBlock2*>(refs_[0]); }
    std::vector<Heard> heard;

protected:
    void SetReference(int i, RefTargetHandle target) override { refs_[i] = target; }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle hTarget, PartID&,
                               RefMessage message, BOOL) override {
        const ParamID last = hTarget && hTarget == refs_[0] ? Block()->LastNotifyParamID() : -2;
        heard.push_back({hTarget, message, last});
        return REF_SUCCEED;
    }

private:
    TestClassDesc* cd_;
    RefTargetHandle refs_[3] = {nullptr, nullptr, nullptr};
};

inline void* TestClassDesc::Create(BOOL) {
    ++creates;
    return new Owner(this);
}

// A texture map stand-in: only its super class matters to a block.
class Map : public ReferenceTarget {
public:
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    void GetClassName(MSTR& s, bool) const override { s = L"Map"; }
    void DeleteThis() override {
        ++mapsReleased;
        delete this;
    }
    void Change() { NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE); }

protected:
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_SUCCEED;
    }
};

// Any other reference target.
class Thing : public ReferenceTarget {
public:
    SClass_ID SuperClassID() override { return 0x7E57; }
    void DeleteThis() override {
        ++thingsReleased;
        delete this;
    }

protected:
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_SUCCEED;
    }
};

enum TestParam : ParamID {
    kThickness = 0,
    kIndex = 1,
    kCount = 2,
    kEnabled = 3,
    kMap = 4,
    kOutput = 5,
    kLocalMap = 6,
};

/// The test block: floats, an int, a switch, two owner references (map in
/// reference 1, object in reference 2) and a map the block holds itself.
inline std::unique_ptr<ParamBlockDesc2> MakeTestBlockDesc(ClassDesc2* cd,
                                                          ParamMap2UserDlgProc* proc = nullptr) {
    // clang-format off
    return std::make_unique<ParamBlockDesc2>(
        0, L"params", 0, cd, P_AUTO_CONSTRUCT + P_AUTO_UI,
        0,                      // the block is the owner's reference 0
        101, 4, 0, 0, proc,     // template, title, flag mask, rollup flags, procedure
        kThickness, L"thickness", TYPE_FLOAT, P_ANIMATABLE, 5,
            p_default, 250.0, p_range, 0.0, 3000.0,
            p_ui, TYPE_SPINNER, EDITTYPE_FLOAT, 1490, 1496, 1.0,
            p_end,
        kIndex, L"index", TYPE_FLOAT, P_ANIMATABLE, 6,
            p_default, 1.5, p_range, 0.2, 100.0,
            p_ui, TYPE_SPINNER, EDITTYPE_FLOAT, 1494, 1500, 0.01,
            p_end,
        kCount, L"count", TYPE_INT, 0, 7,
            p_default, 3, p_range, 1, 10,
            p_ui, TYPE_SPINNER, EDITTYPE_INT, 1495, 1501, 1.0,
            p_end,
        kEnabled, L"enabled", TYPE_BOOL, 0, 8,
            p_default, FALSE,
            p_ui, TYPE_SINGLECHEKBOX, 1003,
            p_end,
        kMap, L"map", TYPE_TEXMAP, P_OWNERS_REF, 9,
            p_refno, 1, p_subtexno, 0,
            p_ui, TYPE_TEXMAPBUTTON, 1002,
            p_end,
        kOutput, L"output", TYPE_REFTARG, P_OWNERS_REF, 10,
            p_refno, 2,
            p_end,
        kLocalMap, L"localmap", TYPE_TEXMAP, 0, 11,
            p_end,
        p_end);
    // clang-format on
}

}  // namespace sdktest
