// The class descriptor through which the host learns the map class.
#pragma once

#include "plugin/host.h"

/// Identity of the map class. Stored in scenes: never change it.
inline const Class_ID NACRELLE_CLASS_ID(0x53E2B189, 0x7502736B);

/// The internal, never localised, name of the class.
inline constexpr const MCHAR* kNacrelleInternalName = _M("Nacrelle");

class NacrelleClassDesc : public ClassDesc2 {
public:
    int IsPublic() override;
    void* Create(BOOL loading) override;
    const MCHAR* ClassName() override;
    const MCHAR* NonLocalizedClassName() override;
    const MCHAR* InternalName() override;
    SClass_ID SuperClassID() override;
    Class_ID ClassID() override;
    const MCHAR* Category() override;
    HINSTANCE HInstance() override;
};

/// The module's one descriptor, created on first use (during static
/// initialisation, by the parameter-block definition).
ClassDesc2* GetNacrelleDesc();
