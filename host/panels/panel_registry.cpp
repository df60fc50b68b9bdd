// The open panels, in the order they were built, and lookups across them.
#include "panel_registry.h"

#include <algorithm>

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

}  // namespace detail

std::vector<HeadlessPanel*> OpenPanels() { return detail::RegisteredPanels(); }

}  // namespace standin
