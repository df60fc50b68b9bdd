// The class directory: every registered class by super class and class ID.
#include "sdk/class_directory.h"

#include <cstdio>
#include <cwctype>

#include "iparamb2.h"

namespace standin {
namespace {

bool sameNameIgnoringCase(const MCHAR* a, const MCHAR* b) {
    if (!a || !b) return false;
    for (; *a && *b; ++a, ++b) {
        if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b))) {
            return false;
        }
    }
    return *a == *b;
}

std::string describe(ClassDesc* cd) {
    const MCHAR* name = cd->InternalName();
    if (!name) name = cd->NonLocalizedClassName();
    return "class " + WStr(name).ToUTF8();
}

}  // namespace

ClassDirectory& ClassDirectory::Instance() {
    // Never destroyed: class descriptors unregister themselves when they are
    // destroyed, which for a module still loaded at exit is after the host's
    // statics.
    static ClassDirectory* instance = new ClassDirectory;
    return *instance;
}

void ClassDirectory::Register(ClassDesc* cd, const std::string& moduleFile) {
    if (!cd) return;
    if (!RegistrationConflict(cd).empty()) return;
    cd->RememberName();
    std::lock_guard<std::mutex> lock(mutex_);
    for (ClassEntry& entry : entries_) {
        if (entry.cd == cd) {
            entry.moduleFile = moduleFile;
            return;
        }
    }
    entries_.push_back({cd, moduleFile});
}

void ClassDirectory::Unregister(ClassDesc* cd) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->cd == cd) {
            entries_.erase(it);
            return;
        }
    }
}

std::string ClassDirectory::RegistrationConflict(ClassDesc* cd) const {
    if (!cd) return "no class descriptor";
    const SClass_ID sclass = cd->SuperClassID();
    const Class_ID id = cd->ClassID();
    std::lock_guard<std::mutex> lock(mutex_);
    for (const ClassEntry& entry : entries_) {
        if (entry.cd == cd) continue;
        if (entry.cd->SuperClassID() == sclass && entry.cd->ClassID() == id) {
            char ids[64];
            std::snprintf(ids, sizeof ids, "(0x%X, 0x%X)", static_cast<unsigned>(id.PartA()),
                          static_cast<unsigned>(id.PartB()));
            return describe(cd) + " has class ID " + ids + ", already registered by " +
                   describe(entry.cd) + " from " + entry.moduleFile;
        }
    }
    return "";
}

ClassDesc* ClassDirectory::Find(SClass_ID sclass, Class_ID id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const ClassEntry& entry : entries_) {
        if (entry.cd->SuperClassID() == sclass && entry.cd->ClassID() == id) return entry.cd;
    }
    return nullptr;
}

ClassDesc* ClassDirectory::FindByName(const MCHAR* name) const {
    if (!name) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const ClassEntry& entry : entries_) {
        if (sameNameIgnoringCase(entry.cd->InternalName(), name)) return entry.cd;
    }
    for (const ClassEntry& entry : entries_) {
        if (sameNameIgnoringCase(entry.cd->NonLocalizedClassName(), name)) return entry.cd;
    }
    return nullptr;
}

std::string ClassDirectory::ModuleOf(ClassDesc* cd) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const ClassEntry& entry : entries_) {
        if (entry.cd == cd) return entry.moduleFile;
    }
    return "";
}

std::vector<ClassEntry> ClassDirectory::Classes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
}

Animatable* ClassDirectory::Create(SClass_ID sclass, Class_ID id, BOOL loading) const {
    return CreateInstance(Find(sclass, id), loading);
}

std::vector<std::string> ParamBlockDefinitionErrors(ClassDesc* cd) {
    std::vector<std::string> errors;
    if (!cd) return errors;
    const int count = cd->NumParamBlockDescs();
    for (int i = 0; i < count; ++i) {
        const ParamBlockDesc2* pbd = cd->GetParamBlockDesc(i);
        if (!pbd) continue;
        errors.insert(errors.end(), pbd->DefinitionErrors().begin(), pbd->DefinitionErrors().end());
    }
    return errors;
}

Animatable* CreateInstance(ClassDesc* cd, BOOL loading) {
    if (!cd) return nullptr;
    // Create hands back the object as void*; its Animatable base is at offset 0.
    return static_cast<Animatable*>(cd->Create(loading));
}

}  // namespace standin
