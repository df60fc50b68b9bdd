#include "plugin/panel.h"

#include <new>

#include "plugin/class_desc.h"
#include "plugin/nacrelle.h"
#include "plugin/param_block.h"
#include "plugin/strings.h"
#include "resources/resource.h"

#ifndef NACRELLE_HOMEPAGE_URL
#define NACRELLE_HOMEPAGE_URL "https://nacrelle.org/"
#endif

const MCHAR* const kHomepageUrl = _M("" NACRELLE_HOMEPAGE_URL);
const MCHAR* const kArticleUrl = _M("https://en.wikipedia.org/wiki/Thin-film_interference");

ParamDlg* lastOutputDlg = nullptr;

namespace {

void openPage(const MCHAR* address) {
    // A page that cannot be opened opens nothing; there is nothing to report.
    ShellExecuteW(nullptr, nullptr, address, nullptr, nullptr, SW_SHOW);
}

}  // namespace

INT_PTR NacrelleDlgProc::DlgProc(TimeValue /*t*/, IParamMap2* map, HWND /*hWnd*/, UINT msg,
                                 WPARAM wParam, LPARAM /*lParam*/) {
    if (msg != WM_COMMAND) return 0;
    switch (LOWORD(wParam)) {
        case IDC_USE_THICKNESS_MAP:
        case IDC_BASE_METAL: {
            // The host has stored the check box's new state by now.
            IParamBlock2* block = map != nullptr ? map->GetParamBlock() : nullptr;
            ReferenceMaker* owner = block != nullptr ? block->GetOwner() : nullptr;
            if (owner != nullptr) static_cast<Nacrelle*>(owner)->UpdateThicknessMapUI();
            break;
        }
        case IDC_HOMEPAGE: openPage(kHomepageUrl); break;
        case IDC_ARTICLE: openPage(kArticleUrl); break;
        default: break;
    }
    return 0;
}

void NacrelleDlgProc::DeleteThis() { delete this; }

// The host's parameter map calls this whenever it refreshes its controls,
// which the map asks for on every change of its block: an undo, a script, a
// preset or a load then leaves the enabled states as a click would.
void NacrelleDlgProc::Update(TimeValue /*t*/) {
    if (currentMap != nullptr) currentMap->UpdateThicknessMapUI();
}

void NacrelleDlgProc::SetThing(ReferenceTarget* m) {
    currentMap = static_cast<Nacrelle*>(m);
    currentMap->UpdateThicknessMapUI();
}

ParamDlg* Nacrelle::CreateParamDlg(HWND hwMtlEdit, IMtlParams* imp) {
    IAutoMParamDlg* master = GetNacrelleDesc()->CreateParamDlgs(hwMtlEdit, imp, this);
    if (master == nullptr) return nullptr;  // the host builds no panels
    for (const MapID rollout : {map_main, map_optics}) {
        NacrelleDlgProc* procedure = new (std::nothrow) NacrelleDlgProc(this);
        if (procedure != nullptr) nacrelleParamBlockDesc.SetUserDlgProc(rollout, procedure);
    }
    ParamDlg* filterDlg = textureOutput->CreateParamDlg(hwMtlEdit, imp);
    lastOutputDlg = filterDlg;
    master->AddDlg(filterDlg);
    UpdateThicknessMapUI();
    return master;
}

BOOL Nacrelle::SetDlgThing(ParamDlg* dlg) {
    if (lastOutputDlg == nullptr || dlg != lastOutputDlg) return FALSE;
    dlg->SetThing(textureOutput);
    return TRUE;
}

MSTR Nacrelle::GetSubTexmapSlotName(int i, bool /*localized*/) {
    return i == 0 ? PluginString(IDS_THICKNESS_MAP) : MSTR();
}

void Nacrelle::UpdateThicknessMapUI() {
    if (paramBlock == nullptr) return;
    int enabled = 0;
    int baseMetal = 0;
    paramBlock->GetValue(pb_thickness_map_enabled, 0, enabled, validity, 0);
    paramBlock->GetValue(pb_base_metal, 0, baseMetal, validity, 0);
    // A base outside the list is taken as the dielectric one (see Update).
    const BOOL dielectric = nacrelle::isBaseMetal(baseMetal) ? FALSE : TRUE;
    // A metal always takes exact phases: the switch then chooses nothing.
    if (IParamMap2* optics = paramBlock->GetMap(map_optics)) {
        optics->Enable(pb_physical_phase, dielectric, 0);
    }
    IParamMap2* map = paramBlock->GetMap(map_main);
    if (map == nullptr) return;  // no panel open
    const BOOL on = enabled != 0 ? TRUE : FALSE;
    map->Enable(pb_thickness_max, on, 0);
    map->Enable(pb_thickness_map, on, 0);
    map->Enable(pb_n_internal, dielectric, 0);
}
