// Panels of a block without a dialog template: one generated row per parameter.
#include "panel_registry.h"
#include "panel_tether.h"

namespace standin {

ParamDlg* CreateBlockParamDlg(IParamBlock2* block, HWND hwMtlEdit, IMtlParams* imp) {
    if (!block || !block->GetDesc()) return nullptr;
    ParamBlockDesc2* desc = block->GetDesc();
    ReferenceMaker* owner = block->GetOwner();
    ReferenceTarget* thing =
        owner && owner->IsRefTarget() ? static_cast<ReferenceTarget*>(owner) : block;
    auto* panel = new HeadlessPanel(desc->cd, thing, hwMtlEdit, imp);
    auto* rollout = new PanelRollout(*panel, desc, 0);
    panel->rollouts_.push_back(rollout);
    rollout->BuildGenerated(*block, panel->problems_);
    const MCHAR* title =
        desc->cd && desc->local_name != 0 ? desc->cd->GetRsrcString(desc->local_name) : nullptr;
    rollout->title_ = title ? WStr(title).ToUTF8() : desc->int_name.ToUTF8();
    rollout->Bind(block);
    detail::RegisterPanel(panel);
    return panel;
}

}  // namespace standin
