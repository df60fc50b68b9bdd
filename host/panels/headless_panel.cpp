// The master panel: its rollouts, the dialogs added to it, and moving it to
// another object.
#include <algorithm>

#include "panel_registry.h"
#include "panel_tether.h"

namespace standin {
namespace {

InputResult noControl(int id) {
    InputResult result;
    result.error = "no control " + std::to_string(id) + " in the panel";
    return result;
}

// True when `inside` lies among the dialogs added to `panel`, at any depth.
bool holds(HeadlessPanel& panel, const ParamDlg* inside) {
    for (int i = 0; i < panel.NumDlgs(); ++i) {
        ParamDlg* dlg = panel.GetDlg(i);
        if (dlg == inside) return true;
        if (HeadlessPanel* nested = AsHeadlessPanel(dlg); nested && holds(*nested, inside)) {
            return true;
        }
    }
    return false;
}

}  // namespace

HeadlessPanel::HeadlessPanel(ClassDesc2* cd, ReferenceTarget* thing, HWND hwMtlEdit,
                             IMtlParams* imp)
    : cd_(cd), hwMtlEdit_(hwMtlEdit), imp_(imp), handle_(reinterpret_cast<HWND>(this)) {
    thing_ = new PanelTether(nullptr);
    thing_->Hold(thing);
}

HeadlessPanel::~HeadlessPanel() {
    for (PanelRollout* rollout : rollouts_) delete rollout;
    thing_->DeleteMe();
}

Class_ID HeadlessPanel::ClassID() { return cd_ ? cd_->ClassID() : Class_ID(); }

ReferenceTarget* HeadlessPanel::GetThing() { return thing_->Target(); }

void HeadlessPanel::SetThing(ReferenceTarget* m) {
    if (!m || m == GetThing() || !cd_) return;
    if (m->ClassID() != cd_->ClassID() || m->SuperClassID() != cd_->SuperClassID()) return;

    for (PanelRollout* rollout : rollouts_) {
        IParamBlock2* block = detail::FindBlockOf(m, rollout->desc_);
        if (!block) {
            problems_.push_back("the object the panel moved to has no block " +
                                std::to_string(rollout->desc_->ID));
        }
        rollout->Bind(block);
    }
    thing_->Hold(m);

    std::vector<ParamMap2UserDlgProc*> procs;
    for (PanelRollout* rollout : rollouts_) {
        ParamMap2UserDlgProc* proc = rollout->GetUserDlgProc();
        if (proc && std::find(procs.begin(), procs.end(), proc) == procs.end()) {
            procs.push_back(proc);
        }
    }
    for (ParamMap2UserDlgProc* proc : procs) proc->SetThing(m);

    if (auto* subMaps = dynamic_cast<ISubMap*>(m)) {
        const std::vector<ParamDlg*> added = added_;
        for (ParamDlg* dlg : added) subMaps->SetDlgThing(dlg);
    }
}

void HeadlessPanel::SetTime(TimeValue t) {
    time_ = t;
    for (ParamDlg* dlg : added_) dlg->SetTime(t);
    InvalidateUI();
}

void HeadlessPanel::ReloadDialog() {
    InvalidateUI();
    for (ParamDlg* dlg : added_) dlg->ReloadDialog();
}

void HeadlessPanel::ActivateDlg(BOOL onOff) {
    active_ = onOff != FALSE;
    for (ParamDlg* dlg : added_) dlg->ActivateDlg(onOff);
}

void HeadlessPanel::DeleteThis() {
    if (dispatching_ > 0) {
        closePending_ = true;
        return;
    }
    detail::UnregisterPanel(this);

    std::vector<ParamDlg*> added;
    added.swap(added_);
    for (ParamDlg* dlg : added) dlg->DeleteThis();

    // The blocks' maps go to another open panel of theirs, if any; a user
    // procedure that no open panel uses any more is released.
    for (PanelRollout* rollout : rollouts_) {
        IParamBlock2* block = rollout->GetParamBlock();
        if (block && block->GetMap(rollout->mapId_) == rollout) {
            block->SetMap(detail::OtherRolloutOn(block, rollout->mapId_, rollout), rollout->mapId_);
        }
    }
    for (PanelRollout* rollout : rollouts_) {
        ParamBlockDesc2* desc = rollout->desc_;
        if (desc->GetUserDlgProc(rollout->mapId_) &&
            !detail::DefinitionMapStillShown(desc, rollout->mapId_, this)) {
            desc->SetUserDlgProc(rollout->mapId_, nullptr);
        }
    }
    delete this;
}

void HeadlessPanel::InvalidateUI() {
    for (PanelRollout* rollout : rollouts_) rollout->Invalidate();
}

void HeadlessPanel::MtlChanged() {
    if (imp_) imp_->MtlChanged();
}

void HeadlessPanel::AddDlg(ParamDlg* dlg) {
    if (!dlg || std::find(added_.begin(), added_.end(), dlg) != added_.end()) return;
    // A dialog belongs to one master, and no panel may end up inside itself.
    if (dlg == this) return;
    if (HeadlessPanel* nested = AsHeadlessPanel(dlg); nested && holds(*nested, this)) return;
    for (HeadlessPanel* open : detail::RegisteredPanels()) {
        if (open != this && holds(*open, dlg)) return;
    }
    added_.push_back(dlg);
    if (HeadlessPanel* nested = AsHeadlessPanel(dlg); nested && !visible_) {
        nested->SetVisible(false);
    }
}

ParamDlg* HeadlessPanel::GetDlg(int i) {
    return i >= 0 && i < NumDlgs() ? added_[static_cast<std::size_t>(i)] : nullptr;
}

void HeadlessPanel::SetDlg(int i, ParamDlg* dlg) {
    if (i < 0 || i >= NumDlgs()) return;
    ParamDlg* old = added_[static_cast<std::size_t>(i)];
    if (old == dlg) return;
    added_.erase(added_.begin() + i);
    old->DeleteThis();
    if (!dlg) return;
    const std::size_t before = added_.size();
    AddDlg(dlg);
    if (added_.size() > before) {
        std::rotate(added_.begin() + i, added_.end() - 1, added_.end());
    }
}

void HeadlessPanel::DeleteDlg(ParamDlg* dlg) {
    auto it = std::find(added_.begin(), added_.end(), dlg);
    if (it == added_.end()) return;
    added_.erase(it);
    dlg->DeleteThis();
}

IParamMap2* HeadlessPanel::GetMap() { return rollouts_.empty() ? nullptr : rollouts_.front(); }

PanelRollout* HeadlessPanel::RolloutWith(int id) const {
    for (PanelRollout* rollout : rollouts_) {
        if (rollout->HasControl(id)) return rollout;
    }
    return nullptr;
}

InputResult HeadlessPanel::TypeText(int id, std::string_view text) {
    PanelRollout* rollout = RolloutWith(id);
    return rollout ? rollout->TypeText(id, text) : noControl(id);
}

InputResult HeadlessPanel::DragSpinner(int id, int steps) {
    PanelRollout* rollout = RolloutWith(id);
    return rollout ? rollout->DragSpinner(id, steps) : noControl(id);
}

InputResult HeadlessPanel::ClickCheckBox(int id) {
    PanelRollout* rollout = RolloutWith(id);
    return rollout ? rollout->ClickCheckBox(id) : noControl(id);
}

InputResult HeadlessPanel::SelectItem(int id, int index) {
    PanelRollout* rollout = RolloutWith(id);
    return rollout ? rollout->SelectItem(id, index) : noControl(id);
}

InputResult HeadlessPanel::PressButton(int id) {
    PanelRollout* rollout = RolloutWith(id);
    return rollout ? rollout->PressButton(id) : noControl(id);
}

InputResult HeadlessPanel::AssignMap(int id, Texmap* map) {
    PanelRollout* rollout = RolloutWith(id);
    return rollout ? rollout->AssignMap(id, map) : noControl(id);
}

void HeadlessPanel::SetVisible(bool visible) {
    visible_ = visible;
    for (ParamDlg* dlg : added_) {
        if (HeadlessPanel* nested = AsHeadlessPanel(dlg)) nested->SetVisible(visible);
    }
}

HeadlessPanel* AsHeadlessPanel(ParamDlg* dlg) { return dynamic_cast<HeadlessPanel*>(dlg); }

}  // namespace standin
