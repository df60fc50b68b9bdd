// Shared by the headless panel files: the open panels, and lookups of what
// a panel shows.
#pragma once

#include <string>
#include <vector>

#include "panels/panels.h"

namespace standin::detail {

void RegisterPanel(HeadlessPanel* panel);
void UnregisterPanel(HeadlessPanel* panel);
/// The open panels, in the order they were built.
const std::vector<HeadlessPanel*>& RegisteredPanels();

/// An open rollout other than `except` showing map `map` of `block`, or null.
PanelRollout* OtherRolloutOn(IParamBlock2* block, MapID map, const PanelRollout* except);
/// True when an open rollout other than those of `except` shows map `map` of
/// definition `desc`.
bool DefinitionMapStillShown(ParamBlockDesc2* desc, MapID map, const HeadlessPanel* except);

/// The block of definition `desc` that `object` holds, or null.
IParamBlock2* FindBlockOf(ReferenceTarget* object, ParamBlockDesc2* desc);

}  // namespace standin::detail
