// The headless panel host: builds panels from the modules' dialog templates
// when a class descriptor asks, refreshes them and greets new user procedures.
#include "panel_registry.h"
#include "panel_tether.h"
#include "modules/instance.h"
#include "params/panel_host.h"

namespace standin {

class HeadlessPanelHost final : public PanelHost {
public:
    IAutoMParamDlg* CreateParamDlgs(ClassDesc2* cd, HWND hwMtlEdit, IMtlParams* imp,
                                    ReferenceTarget* obj) override {
        if (!cd || !obj) return nullptr;
        auto* panel = new HeadlessPanel(cd, obj, hwMtlEdit, imp);
        const HINSTANCE module = cd->HInstance();
        const std::shared_ptr<const ModuleResources> resources = InstanceResources(module);
        const std::string moduleName = module ? InstanceModuleName(module) : std::string();
        for (int d = 0; d < cd->NumParamBlockDescs(); ++d) {
            ParamBlockDesc2* desc = cd->GetParamBlockDesc(d);
            if (!desc || (desc->flags & P_AUTO_UI) == 0) continue;
            IParamBlock2* block = detail::FindBlockOf(obj, desc);
            if (!block) {
                panel->problems_.push_back("the object has no block " + std::to_string(desc->ID));
                continue;
            }
            for (const ParamMapInfo& info : desc->MapInfos()) {
                const std::string dialog = "dialog " + std::to_string(info.dlg_template);
                const DialogTemplate* dialogTemplate =
                    resources && info.dlg_template > 0 && info.dlg_template <= 0xFFFF
                        ? resources->FindDialog(static_cast<std::uint16_t>(info.dlg_template))
                        : nullptr;
                if (!dialogTemplate) {
                    panel->problems_.push_back(
                        dialog + " is not in the resources of " +
                        (moduleName.empty() ? std::string("the class's module") : moduleName));
                    continue;
                }
                auto* rollout = new PanelRollout(*panel, desc, info.map_id);
                panel->rollouts_.push_back(rollout);
                rollout->BuildFromTemplate(*dialogTemplate, info.dlg_template, panel->problems_);
                const MCHAR* title = info.title != 0 ? cd->GetRsrcString(info.title) : nullptr;
                rollout->title_ = title ? WStr(title).ToUTF8() : desc->int_name.ToUTF8();
                rollout->Bind(block);
            }
        }
        detail::RegisterPanel(panel);
        // A procedure already set greets the new panel as a dialog would.
        for (PanelRollout* rollout : panel->rollouts_) {
            if (rollout->GetUserDlgProc()) rollout->Dispatch(WM_INITDIALOG, 0, 0);
        }
        return panel;
    }

    void InvalidateUI(ClassDesc2* cd, ParamBlockDesc2* pbd, ParamID id, int tabIndex) override {
        const std::vector<HeadlessPanel*> panels = detail::RegisteredPanels();
        for (HeadlessPanel* panel : panels) {
            for (PanelRollout* rollout : panel->rollouts_) {
                const bool concerned = pbd ? rollout->Desc() == pbd : rollout->Desc()->cd == cd;
                if (!concerned) continue;
                if (id < 0) {
                    rollout->Invalidate();
                } else {
                    rollout->Invalidate(id, tabIndex);
                }
            }
        }
    }

    void SetUserDlgProc(ParamBlockDesc2* pbd, MapID map, ParamMap2UserDlgProc* proc) override {
        if (!proc) return;
        const std::vector<HeadlessPanel*> panels = detail::RegisteredPanels();
        for (HeadlessPanel* panel : panels) {
            for (PanelRollout* rollout : panel->rollouts_) {
                if (rollout->Desc() == pbd && rollout->GetMapID() == map) {
                    rollout->Dispatch(WM_INITDIALOG, 0, 0);
                }
            }
        }
    }
};

void InstallHeadlessPanelHost() {
    // Never destroyed: modules may call the panel host from their static destructors.
    static auto* host = new HeadlessPanelHost();
    SetPanelHost(host);
}

}  // namespace standin
