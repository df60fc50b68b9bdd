// The host's directory of plug-in classes: every class descriptor that a
// loaded module offers, with the module file it came from.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "plugapi.h"
#include "ref.h"

namespace standin {

/// One registered class.
struct ClassEntry {
    ClassDesc* cd = nullptr;
    std::string moduleFile;
};

class ClassDirectory {
public:
    /// The host's one directory (lives until the process ends).
    static ClassDirectory& Instance();

    /// Adds `cd`, offered by `moduleFile`. Registering the same descriptor again
    /// updates its module file. A descriptor whose (super class, class ID) is
    /// already registered by another descriptor is not added: check
    /// RegistrationConflict first to report it.
    void Register(ClassDesc* cd, const std::string& moduleFile);
    /// Removes `cd`; unknown descriptors are ignored.
    void Unregister(ClassDesc* cd);
    /// Why `cd` cannot be registered (another descriptor has its identity), or "".
    std::string RegistrationConflict(ClassDesc* cd) const;

    /// The descriptor of class (sclass, id), or null.
    ClassDesc* Find(SClass_ID sclass, Class_ID id) const;
    /// The descriptor whose internal name, or else non-localized class name,
    /// equals `name` (ignoring ASCII case), or null.
    ClassDesc* FindByName(const MCHAR* name) const;
    /// The module file `cd` was registered from ("" when not registered).
    std::string ModuleOf(ClassDesc* cd) const;
    /// Every registered class, in registration order.
    std::vector<ClassEntry> Classes() const;

    /// A new object of class (sclass, id) through its descriptor's Create, or
    /// null when the class is unknown or Create gives nothing.
    Animatable* Create(SClass_ID sclass, Class_ID id, BOOL loading = FALSE) const;

private:
    ClassDirectory() = default;

    mutable std::mutex mutex_;
    std::vector<ClassEntry> entries_;
};

/// The definition errors of every ParamBlockDesc2 registered with `cd`, in
/// order; empty for a class without block definitions or with sound ones.
std::vector<std::string> ParamBlockDefinitionErrors(ClassDesc* cd);

/// A new object from `cd`'s Create, as the Animatable it must be; null when
/// `cd` is null or Create gives nothing.
Animatable* CreateInstance(ClassDesc* cd, BOOL loading = FALSE);

}  // namespace standin
