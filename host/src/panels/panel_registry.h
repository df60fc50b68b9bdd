// Shared by the headless panel files: the open panels and helpers to find
// what a panel shows.
#pragma once

#include <string>
#include <vector>

#include "standin/panels.h"

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
/// What a map button shows for `object`: its name, else its class name;
/// "None" for null.
std::string DisplayNameOf(ReferenceTarget* object);
/// `value` as a panel shows it: whole numbers without a fraction, others as
/// the shortest text that reads back as the same float.
std::string NumberText(double value);

}  // namespace standin::detail
