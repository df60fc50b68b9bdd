// A scene: the root objects the host holds, and their release.
#include "scene/scene.h"

#include <algorithm>

namespace standin {

Scene::~Scene() { Clear(); }

std::vector<ReferenceTarget*> Scene::Roots() const {
    std::vector<ReferenceTarget*> roots;
    for (ReferenceTarget* slot : slots_) {
        if (slot) roots.push_back(slot);
    }
    return roots;
}

bool Scene::Contains(const ReferenceTarget* object) const {
    return object && std::find(slots_.begin(), slots_.end(), object) != slots_.end();
}

bool Scene::Add(ReferenceTarget* object) {
    if (!object || Contains(object)) return false;
    Compact();
    slots_.push_back(nullptr);
    if (ReplaceReference(static_cast<int>(slots_.size()) - 1, object) != REF_SUCCEED) {
        slots_.pop_back();
        return false;
    }
    return true;
}

bool Scene::Remove(ReferenceTarget* object) {
    auto it = std::find(slots_.begin(), slots_.end(), object);
    if (!object || it == slots_.end()) return false;
    const int index = static_cast<int>(it - slots_.begin());
    DeleteReference(index);
    slots_.erase(slots_.begin() + index);
    return true;
}

void Scene::Clear() {
    // From the back, so that each release finds its slot at once.
    while (!slots_.empty()) {
        if (slots_.back()) DeleteReference(static_cast<int>(slots_.size()) - 1);
        slots_.pop_back();
    }
}

RefTargetHandle Scene::GetReference(int i) {
    return i >= 0 && i < NumRefs() ? slots_[static_cast<std::size_t>(i)] : nullptr;
}

void Scene::SetReference(int i, RefTargetHandle target) {
    if (i >= 0 && i < NumRefs()) slots_[static_cast<std::size_t>(i)] = target;
}

RefResult Scene::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage, BOOL) {
    return REF_DONTCARE;
}

void Scene::Compact() { std::erase(slots_, nullptr); }

}  // namespace standin
