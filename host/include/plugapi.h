// Class descriptors: how the host learns a plug-in class's identity and
// creates its objects.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "maxheap.h"
#include "maxtypes.h"
#include "win_shim.h"

class ParamBlockDesc2;
class ReferenceMaker;

namespace standin {
class ClassDirectory;
}

class ClassDesc : public MaxHeapOperators {
public:
    ClassDesc() = default;
    ClassDesc(const ClassDesc&) = delete;
    ClassDesc& operator=(const ClassDesc&) = delete;
    /// Also removes the descriptor from the host's class directory.
    virtual ~ClassDesc();

    /// Non-zero when users may create objects of the class.
    virtual int IsPublic() = 0;
    /// A new object of the class, allocated with the host's heap operators.
    /// The host treats the result as an Animatable*, so the object's
    /// Animatable base must sit at offset 0 (as for any class whose first base
    /// chain leads to Animatable), exactly as on the real host.
    virtual void* Create(BOOL loading = FALSE) = 0;
    virtual const MCHAR* ClassName() = 0;
    /// The class name in the host's own language, whatever the user's.
    virtual const MCHAR* NonLocalizedClassName() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const MCHAR* Category() = 0;
    /// The name scripts and files use for the class.
    virtual const MCHAR* InternalName() { return nullptr; }
    /// The module that holds the class's resources.
    virtual HINSTANCE HInstance() { return nullptr; }

    /// String resource `id` of the module that HInstance reports, or null when
    /// there is none. The text lives as long as the descriptor.
    virtual const MCHAR* GetRsrcString(INT_PTR id);

    /// Builds the owner's automatically constructed parameter blocks.
    virtual void MakeAutoParamBlocks(ReferenceMaker* owner);
    virtual int NumParamBlockDescs() { return 0; }
    virtual ParamBlockDesc2* GetParamBlockDesc(int i);
    virtual ParamBlockDesc2* GetParamBlockDescByID(BlockID id);
    virtual void AddParamBlockDesc(ParamBlockDesc2* pbd);

protected:
    /// Notes the class's name (internal name, else non-localized class name)
    /// for messages given when only the base remains, during destruction.
    void RememberName();
    const std::string& RememberedName() const { return rememberedName_; }

private:
    friend class standin::ClassDirectory;

    std::string rememberedName_;
    // Strings loaded by GetRsrcString, by (module, ID); map nodes never move,
    // so returned pointers stay valid.
    std::map<std::pair<HINSTANCE, INT_PTR>, std::wstring> loadedStrings_;
};
