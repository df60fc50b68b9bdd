// Parameter maps and parameter dialogs: the interfaces through which panels
// bind controls to a parameter block. The headless panel machinery of the
// stand-in implements them.
#pragma once

#include "iparamb2.h"
#include "maxheap.h"
#include "maxtypes.h"
#include "win_shim.h"

class IMtlParams;
class IParamMap2;

/// A plug-in's hook into a parameter map's dialog messages.
class ParamMap2UserDlgProc : public MaxHeapOperators {
public:
    virtual ~ParamMap2UserDlgProc() {}
    virtual INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                            LPARAM lParam) = 0;
    /// Releases the procedure; the host calls it when it is done with it.
    virtual void DeleteThis() = 0;
    virtual void SetThing(ReferenceTarget*) {}
    virtual void Update(TimeValue) {}
    virtual void SetParamBlock(IParamBlock2*) {}
};

/// The live binding of a rollout's controls to a parameter block.
class IParamMap2 : public MaxHeapOperators {
public:
    virtual ~IParamMap2() {}
    virtual IParamBlock2* GetParamBlock() = 0;
    virtual HWND GetHWnd() = 0;
    virtual MapID GetMapID() = 0;
    /// Refreshes every control from the block.
    virtual void Invalidate() = 0;
    /// Refreshes the controls of one parameter.
    virtual void Invalidate(ParamID id, int tabIndex = 0) = 0;
    /// Makes the controls of a parameter available (on) or unavailable.
    virtual void Enable(ParamID id, BOOL onOff, int tabIndex = 0) = 0;
    virtual void Show(ParamID id, BOOL showHide, int tabIndex = 0) = 0;
    virtual void SetUserDlgProc(ParamMap2UserDlgProc* proc = nullptr) = 0;
    virtual ParamMap2UserDlgProc* GetUserDlgProc() = 0;
};

/// A panel that edits one object (a material-editor parameter dialog).
class ParamDlg : public MaxHeapOperators {
public:
    virtual ~ParamDlg() {}
    virtual Class_ID ClassID() = 0;
    /// Moves the panel to another object of its class.
    virtual void SetThing(ReferenceTarget* m) = 0;
    virtual ReferenceTarget* GetThing() = 0;
    virtual void SetTime(TimeValue t) = 0;
    virtual void ReloadDialog() = 0;
    virtual void DeleteThis() = 0;
    virtual void ActivateDlg(BOOL onOff) = 0;
};

/// The master dialog of an object's automatic panels; it can carry further
/// dialogs that it shows, moves and releases along with itself.
class IAutoMParamDlg : public ParamDlg {
public:
    virtual void InvalidateUI() = 0;
    virtual void MtlChanged() = 0;
    virtual int NumDlgs() = 0;
    virtual void AddDlg(ParamDlg* dlg) = 0;
    virtual ParamDlg* GetDlg(int i) = 0;
    virtual void SetDlg(int i, ParamDlg* dlg) = 0;
    virtual void DeleteDlg(ParamDlg* dlg) = 0;
    virtual IParamMap2* GetMap() = 0;
};
