// The maps' base classes: ISubMap, MtlBase and Texmap defaults.
#include "imtl.h"

#include <cstdint>

#include "sdk/chunk_values.h"

// ---- ISubMap -------------------------------------------------------------------

MSTR ISubMap::GetSubTexmapTVName(int i, bool localized) {
    MSTR slotName = GetSubTexmapSlotName(i, localized);
    Texmap* map = GetSubTexmap(i);
    if (map == nullptr) return slotName;
    MSTR mapName = map->GetName();
    if (mapName.isNull()) map->GetClassName(mapName, localized);
    if (mapName.isNull()) return slotName;
    if (slotName.isNull()) return mapName;
    slotName += L": ";
    slotName += mapName;
    return slotName;
}

// ---- MtlBase -------------------------------------------------------------------

MtlBase& MtlBase::operator=(const MtlBase& other) {
    name_ = other.name_;
    gbufID_ = other.gbufID_;
    return *this;
}

IOResult MtlBase::Save(ISave* isave) {
    isave->BeginChunk(MTLBASE_NAME_CHUNK);
    const IOResult nameResult = isave->WriteWString(name_.data());
    isave->EndChunk();
    if (nameResult != IO_OK) return IO_ERROR;
    return standin::WriteU32Chunk(*isave, MTLBASE_GBUFID_CHUNK, gbufID_);
}

IOResult MtlBase::Load(ILoad* iload) {
    IOResult opened;
    while ((opened = iload->OpenChunk()) == IO_OK) {
        IOResult result = IO_OK;
        switch (iload->CurChunkID()) {
            case MTLBASE_NAME_CHUNK: {
                MCHAR* text = nullptr;
                result = iload->ReadWStringChunk(text);
                if (result == IO_OK) name_ = text;
                break;
            }
            case MTLBASE_GBUFID_CHUNK: {
                std::uint32_t id = 0;
                result =
                    iload->CurChunkLength() == sizeof id ? standin::ReadU32(*iload, id) : IO_ERROR;
                if (result == IO_OK) gbufID_ = id;
                break;
            }
            default:
                break;  // written by a later version: skipped
        }
        const IOResult closed = iload->CloseChunk();
        if (result != IO_OK || closed != IO_OK) return IO_ERROR;
    }
    return opened == IO_END ? IO_OK : IO_ERROR;
}

ULONG MtlBase::Requirements(int subMtlNum) {
    ULONG requirements = LocalRequirements(subMtlNum);
    for (int i = 0; i < NumSubTexmaps(); ++i) {
        if (Texmap* map = GetSubTexmap(i)) requirements |= map->Requirements(subMtlNum);
    }
    return requirements;
}

void MtlBase::BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap) {
    ReferenceTarget::BaseClone(from, to, remap);
    auto* source = dynamic_cast<MtlBase*>(from);
    auto* target = dynamic_cast<MtlBase*>(to);
    if (source != nullptr && target != nullptr && source != target) *target = *source;
}

// ---- Texmap --------------------------------------------------------------------

float Texmap::EvalMono(ShadeContext& sc) {
    const AColor c = EvalColor(sc);
    return (c.r + c.g + c.b) / 3.0f;
}

bool Texmap::IsOutputMeaningful(ShadeContext& sc) {
    if (!IsLocalOutputMeaningful(sc)) return false;
    for (int i = 0; i < NumSubTexmaps(); ++i) {
        Texmap* map = GetSubTexmap(i);
        if (map != nullptr && !map->IsOutputMeaningful(sc)) return false;
    }
    return true;
}
