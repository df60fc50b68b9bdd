// The module's entry points: the platform's attach call and the six functions
// the host looks up by name.
#include "plugin/class_desc.h"
#include "plugin/strings.h"
#include "resources/resource.h"

NACRELLE_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, ULONG reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

NACRELLE_EXPORT const MCHAR* LibDescription() { return LoadPluginString(IDS_LIB_DESCRIPTION); }

NACRELLE_EXPORT int LibNumberClasses() { return 1; }

NACRELLE_EXPORT ClassDesc* LibClassDesc(int i) { return i == 0 ? GetNacrelleDesc() : nullptr; }

NACRELLE_EXPORT ULONG LibVersion() { return VERSION_3DSMAX; }

NACRELLE_EXPORT int LibInitialize() { return TRUE; }

NACRELLE_EXPORT int LibShutdown() { return TRUE; }
