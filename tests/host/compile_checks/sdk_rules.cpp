// A small map and its descriptor as a plug-in writes them. Compiled as it is,
// it must build; with FAULT set, it commits one fault that the host's headers
// refuse at compile time, and must not build.
#include <imtl.h>
#include <iparamb2.h>
#include <max.h>

#define FAULT_DELETE_TARGET 1
#define FAULT_DESC_WITHOUT_NON_LOCALIZED_NAME 2
#define FAULT_SLOT_NAME_SIGNATURE 3
#define FAULT_CLASS_NAME_WITHOUT_LOCALIZED 4
#define FAULT_SUB_ANIM_NAME_WITHOUT_LOCALIZED 5

// The host's old spelling is an enumerator: no macro stands in the way of
// the plug-in's own names.
#ifdef TYPE_SINGLECHEKBOX
#error TYPE_SINGLECHEKBOX is a macro
#endif
static_assert(TYPE_SINGLECHEKBOX == TYPE_SINGLECHECKBOX);

namespace {

class CheckMap : public Texmap {
public:
    AColor EvalColor(ShadeContext&) override { return AColor(); }
    Point3 EvalNormalPerturb(ShadeContext&) override { return Point3(); }
    void Update(TimeValue, Interval& valid) override { valid &= FOREVER; }
    void Reset() override {}
    Interval Validity(TimeValue) override { return FOREVER; }
    ParamDlg* CreateParamDlg(HWND, IMtlParams*) override { return nullptr; }
    int NumSubTexmaps() override { return 1; }
#if FAULT == FAULT_SLOT_NAME_SIGNATURE
    MSTR GetSubTexmapSlotName(int) override { return MSTR(L"Slot"); }
#else
    MSTR GetSubTexmapSlotName(int, bool) override { return MSTR(L"Slot"); }
#endif

protected:
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_SUCCEED;
    }
};

class CheckMapDesc : public ClassDesc2 {
public:
    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override { return new CheckMap; }
    const MCHAR* ClassName() override { return L"Check Map"; }
#if FAULT != FAULT_DESC_WITHOUT_NON_LOCALIZED_NAME
    const MCHAR* NonLocalizedClassName() override { return L"Check Map"; }
#endif
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x0C4EC4, 0x0C4EC4); }
    const MCHAR* Category() override { return L"Checks"; }
};

}  // namespace

ClassDesc2* GetCheckMapDesc() {
    static CheckMapDesc desc;
    return &desc;
}

MSTR NameOf(ReferenceTarget* map) {
    MSTR name;
#if FAULT == FAULT_CLASS_NAME_WITHOUT_LOCALIZED
    map->GetClassName(name);
#elif FAULT == FAULT_SUB_ANIM_NAME_WITHOUT_LOCALIZED
    name = map->SubAnimName(0);
#else
    map->GetClassName(name, false);
    name += map->SubAnimName(0, false);
#endif
    return name;
}

void DiscardCheckMap(ReferenceTarget* map) {
#if FAULT == FAULT_DELETE_TARGET
    delete map;
#else
    map->DeleteMe();
#endif
}
