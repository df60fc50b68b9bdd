// The panel hook of the class descriptors: builds headless panels, refreshes
// them on request and hands them new user procedures.
#include <algorithm>
#include <cmath>

#include "panel_registry.h"
#include "panel_tether.h"
#include "standin/instance.h"
#include "standin/panel_host.h"
#include "standin/param_access.h"

namespace standin {

namespace detail {
namespace {

std::vector<HeadlessPanel*>& registry() {
    // Never destroyed: panels may be closed by static destructors of modules.
    static auto* panels = new std::vector<HeadlessPanel*>();
    return *panels;
}

}  // namespace

void RegisterPanel(HeadlessPanel* panel) { registry().push_back(panel); }

void UnregisterPanel(HeadlessPanel* panel) { std::erase(registry(), panel); }

const std::vector<HeadlessPanel*>& RegisteredPanels() { return registry(); }

PanelRollout* OtherRolloutOn(IParamBlock2* block, MapID map, const PanelRollout* except) {
    for (HeadlessPanel* panel : registry()) {
        for (int i = 0; i < panel->NumRollouts(); ++i) {
            PanelRollout& rollout = panel->Rollout(i);
            if (&rollout != except && rollout.GetMapID() == map &&
                rollout.GetParamBlock() == block) {
                return &rollout;
            }
        }
    }
    return nullptr;
}

bool DefinitionMapStillShown(ParamBlockDesc2* desc, MapID map, const HeadlessPanel* except) {
    for (HeadlessPanel* panel : registry()) {
        if (panel == except) continue;
        for (int i = 0; i < panel->NumRollouts(); ++i) {
            PanelRollout& rollout = panel->Rollout(i);
            if (rollout.Desc() == desc && rollout.GetMapID() == map) return true;
        }
    }
    return false;
}

IParamBlock2* FindBlockOf(ReferenceTarget* object, ParamBlockDesc2* desc) {
    if (!object || !desc) return nullptr;
    if (IParamBlock2* block = object->GetParamBlockByID(desc->ID);
        block && block->GetDesc() == desc) {
        return block;
    }
    const int count = object->NumRefs();
    for (int i = 0; i < count; ++i) {
        ReferenceTarget* target = object->GetReference(i);
        if (target && target->SuperClassID() == PARAMETER_BLOCK2_CLASS_ID &&
            static_cast<IParamBlock2*>(target)->GetDesc() == desc) {
            return static_cast<IParamBlock2*>(target);
        }
    }
    return nullptr;
}

std::string DisplayNameOf(ReferenceTarget* object) {
    if (!object) return "None";
    if (auto* base = dynamic_cast<MtlBase*>(object); base && !base->GetName().isNull()) {
        return base->GetName().ToUTF8();
    }
    MSTR name;
    object->GetClassName(name, true);
    return name.isNull() ? std::string("(unnamed)") : name.ToUTF8();
}

std::string NumberText(double value) {
    if (std::nearbyint(value) == value && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<long long>(value));
    }
    return FormatFloat(static_cast<float>(value));
}

}  // namespace detail

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
    // Never destroyed: modules may call the hook from their static destructors.
    static auto* host = new HeadlessPanelHost();
    SetPanelHost(host);
}

namespace {

// Installed when the host library loads, so that every class descriptor's
// CreateParamDlgs builds headless panels.
[[maybe_unused]] const bool panelHostInstalled = [] {
    InstallHeadlessPanelHost();
    return true;
}();

}  // namespace

ParamDlg* CreateBlockParamDlg(IParamBlock2* block, HWND hwMtlEdit, IMtlParams* imp) {
    if (!block || !block->GetDesc()) return nullptr;
    ParamBlockDesc2* desc = block->GetDesc();
    ReferenceMaker* owner = block->GetOwner();
    ReferenceTarget* thing =
        owner && owner->IsRefTarget() ? static_cast<ReferenceTarget*>(owner) : block;
    auto* panel = new HeadlessPanel(desc->cd, thing, hwMtlEdit, imp);
    auto* rollout = new PanelRollout(*panel, desc, 0);
    panel->rollouts_.push_back(rollout);
    rollout->BuildGenerated(*block);
    const MCHAR* title =
        desc->cd && desc->local_name != 0 ? desc->cd->GetRsrcString(desc->local_name) : nullptr;
    rollout->title_ = title ? WStr(title).ToUTF8() : desc->int_name.ToUTF8();
    rollout->Bind(block);
    detail::RegisterPanel(panel);
    return panel;
}

std::vector<HeadlessPanel*> OpenPanels() { return detail::RegisteredPanels(); }

}  // namespace standin
