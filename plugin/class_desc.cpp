#include "plugin/class_desc.h"

#include <new>

#include "plugin/nacrelle.h"
#include "plugin/strings.h"
#include "resources/resource.h"

int NacrelleClassDesc::IsPublic() { return TRUE; }

void* NacrelleClassDesc::Create(BOOL /*loading*/) {
    // Loading or not, a map starts the same; the loader then restores it.
    return new (std::nothrow) Nacrelle();
}

const MCHAR* NacrelleClassDesc::ClassName() { return LoadPluginString(IDS_CLASS_NAME); }

const MCHAR* NacrelleClassDesc::NonLocalizedClassName() { return kNacrelleInternalName; }

const MCHAR* NacrelleClassDesc::InternalName() { return kNacrelleInternalName; }

SClass_ID NacrelleClassDesc::SuperClassID() { return TEXMAP_CLASS_ID; }

Class_ID NacrelleClassDesc::ClassID() { return NACRELLE_CLASS_ID; }

const MCHAR* NacrelleClassDesc::Category() { return LoadPluginString(IDS_CATEGORY); }

HINSTANCE NacrelleClassDesc::HInstance() { return moduleInstance; }

ClassDesc2* GetNacrelleDesc() {
    static NacrelleClassDesc descriptor;
    return &descriptor;
}
