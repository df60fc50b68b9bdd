// The panel host: the interface through which the panel machinery serves
// the class descriptors' panel requests. Without an installed panel host no
// panel is built and UI refreshes do nothing.
#pragma once

#include "iparamb2.h"
#include "iparamm2.h"

namespace standin {

class PanelHost {
public:
    virtual ~PanelHost() = default;
    /// Builds the panels of `obj`, an object of class `cd`; returns the master
    /// dialog or null.
    virtual IAutoMParamDlg* CreateParamDlgs(ClassDesc2* cd, HWND hwMtlEdit, IMtlParams* imp,
                                            ReferenceTarget* obj) = 0;
    /// Refreshes open panels of class `cd`: all of them when `pbd` is null, the
    /// panels of block `pbd` when `id` is -1, else the controls of parameter
    /// `id` (entry `tabIndex`, -1 for all entries).
    virtual void InvalidateUI(ClassDesc2* cd, ParamBlockDesc2* pbd, ParamID id, int tabIndex) = 0;
    /// Map `map` of `pbd` has a new user dialog procedure (possibly null).
    /// Open panels of that map must use it from now on: the procedure they
    /// used before is released right after this call.
    virtual void SetUserDlgProc(ParamBlockDesc2* pbd, MapID map, ParamMap2UserDlgProc* proc) = 0;
};

/// Installs the panel host (not owned; null removes it).
void SetPanelHost(PanelHost* host);
/// The installed panel host, or null.
PanelHost* GetPanelHost();

}  // namespace standin
