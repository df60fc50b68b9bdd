// Class descriptors of the classes built into the host (the standard output
// filter and the grey maps), and the host's own table of their display names.
#pragma once

#include "imtl.h"
#include "iparamb2.h"

namespace standin::detail {

/// Display names of the built-in classes' blocks and parameters; their IDs
/// are what the classes' block definitions give as string IDs.
enum BuiltinStringID : int {
    IDS_BUILTIN_PARAMETERS = 1,
    IDS_BUILTIN_OUTPUT_AMOUNT,
    IDS_BUILTIN_RGB_LEVEL,
    IDS_BUILTIN_RGB_OFFSET,
    IDS_BUILTIN_INVERT,
    IDS_BUILTIN_CLAMP,
    IDS_BUILTIN_ALPHA_FROM_RGB,
    IDS_BUILTIN_START,
    IDS_BUILTIN_END,
    IDS_BUILTIN_AXIS,
    IDS_BUILTIN_SIZE,
    IDS_BUILTIN_LEVELS,
    IDS_BUILTIN_THRESHOLD_LOW,
    IDS_BUILTIN_THRESHOLD_HIGH,
    IDS_BUILTIN_PHASE,
    IDS_BUILTIN_TILING_U,
    IDS_BUILTIN_TILING_V,
    IDS_BUILTIN_VALUE,
    // Each block's rollout title, so that no two panels read alike.
    IDS_BUILTIN_OUTPUT_TITLE,
    IDS_BUILTIN_GRADIENT_TITLE,
    IDS_BUILTIN_NOISE_TITLE,
    IDS_BUILTIN_BITMAP_TITLE,
    IDS_BUILTIN_CONSTANT_TITLE,
};

/// The text of `id`, or null for an unknown ID.
const MCHAR* BuiltinString(INT_PTR id);

/// The descriptor of one built-in class. The host has no module for these
/// classes, so their strings come from BuiltinString.
class BuiltinClassDesc final : public ClassDesc2 {
public:
    using Factory = Animatable* (*)();

    BuiltinClassDesc(const MCHAR* className, const MCHAR* internalName, SClass_ID superClass,
                     Class_ID classId, const MCHAR* category, bool isPublic, Factory create)
        : className_(className),
          internalName_(internalName),
          superClass_(superClass),
          classId_(classId),
          category_(category),
          isPublic_(isPublic),
          create_(create) {}

    int IsPublic() override { return isPublic_ ? 1 : 0; }
    void* Create(BOOL /*loading*/) override { return create_(); }
    const MCHAR* ClassName() override { return className_; }
    // The built-in names are not translated.
    const MCHAR* NonLocalizedClassName() override { return className_; }
    const MCHAR* InternalName() override { return internalName_; }
    SClass_ID SuperClassID() override { return superClass_; }
    Class_ID ClassID() override { return classId_; }
    const MCHAR* Category() override { return category_; }
    const MCHAR* GetRsrcString(INT_PTR id) override { return BuiltinString(id); }

private:
    const MCHAR* className_;
    const MCHAR* internalName_;
    SClass_ID superClass_;
    Class_ID classId_;
    const MCHAR* category_;
    bool isPublic_;
    Factory create_;
};

/// Chunk of the built-in classes' Save holding MtlBase's own data.
inline constexpr USHORT kBuiltinBaseChunk = 0x4000;

/// Writes MtlBase's data of `mtl` inside a kBuiltinBaseChunk.
IOResult SaveBaseChunk(MtlBase& mtl, ISave* isave);

}  // namespace standin::detail
