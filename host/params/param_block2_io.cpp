// A parameter block's scene-file data: its block ID and, per plain parameter,
// the parameter ID, the type and the value with its keys, all fixed-width
// little-endian. Object parameters are references, which the host stores with
// the block's reference table; the owner's references it stores with the owner.
//
//   chunk 0x0001  block ID (16 bits), definition version (32 bits)
//   chunk 0x0010  per parameter: ID (16 bits), type (16 bits), then
//                   TYPE_FLOAT:          value (f32), key count (u32),
//                                        keys as (time i32, value f32)
//                   TYPE_INT, TYPE_BOOL: value (i32)
//
// Loading keeps a parameter's default when the file does not mention it
// (added by a later definition) and skips stored parameters the definition no
// longer has or now types differently, so scenes survive definition changes.
#include <string>

#include "param_block2.h"
#include "sdk/chunk_io.h"
#include "sdk/chunk_values.h"

namespace standin {
namespace {

constexpr USHORT kHeaderChunk = 0x0001;
constexpr USHORT kParamChunk = 0x0010;

constexpr ULONG kHeaderBytes = 6;       // block ID and version
constexpr ULONG kParamPrefixBytes = 4;  // ID and type
constexpr ULONG kFloatFixedBytes = kParamPrefixBytes + 8;
constexpr ULONG kKeyBytes = 8;
constexpr ULONG kIntBytes = kParamPrefixBytes + 4;

IOResult reject(ILoad* iload, const std::string& problem) {
    // The host's own reader records why; other readers only learn IO_ERROR.
    if (auto* reader = dynamic_cast<ChunkReader*>(iload)) reader->Reject(problem);
    return IO_ERROR;
}

bool sameStorage(ParamType2 stored, ParamType2 defined) {
    const auto isInteger = [](ParamType2 type) { return type == TYPE_INT || type == TYPE_BOOL; };
    return stored == defined || (isInteger(stored) && isInteger(defined));
}

/// Reads the header chunk: it must name block `expected`.
IOResult readHeader(ILoad* iload, ULONG length, BlockID expected) {
    if (length != kHeaderBytes) {
        return reject(iload, "parameter block header of " + std::to_string(length) + " bytes, not " +
                                 std::to_string(kHeaderBytes));
    }
    std::uint16_t id = 0;
    std::uint32_t version = 0;
    IOResult result = ReadU16(*iload, id);
    if (result == IO_OK) result = ReadU32(*iload, version);
    if (result != IO_OK) return result;
    if (static_cast<BlockID>(id) != expected) {
        return reject(iload, "parameter block " + std::to_string(static_cast<BlockID>(id)) +
                                 " stored where block " + std::to_string(expected) +
                                 " of its definition was expected");
    }
    return IO_OK;
}

/// One parameter as a scene file stores it.
struct StoredParameter {
    ParamID id = 0;
    ParamType2 type = static_cast<ParamType2>(TYPE_FLOAT);
    float value = 0.0f;         // TYPE_FLOAT
    FloatTrack keys;            // TYPE_FLOAT
    std::int32_t integer = 0;   // TYPE_INT, TYPE_BOOL
};

/// Reads a float's value and keys, the keys in time order. Values are kept
/// as stored, NaN and infinities too, as the host keeps them.
IOResult readFloat(ILoad* iload, ULONG length, const std::string& name, StoredParameter& stored) {
    if (length < kFloatFixedBytes) {
        return reject(iload, name + ": float value of " + std::to_string(length) + " bytes, too short");
    }
    std::uint32_t count = 0;
    IOResult result = ReadF32(*iload, stored.value);
    if (result == IO_OK) result = ReadU32(*iload, count);
    if (result != IO_OK) return result;
    if ((length - kFloatFixedBytes) / kKeyBytes != count ||
        (length - kFloatFixedBytes) % kKeyBytes != 0) {
        return reject(iload, name + ": " + std::to_string(count) + " keys do not fit " +
                                 "a chunk of " + std::to_string(length) + " bytes");
    }
    for (std::uint32_t k = 0; k < count; ++k) {
        std::int32_t time = 0;
        float keyValue = 0.0f;
        result = ReadI32(*iload, time);
        if (result == IO_OK) result = ReadF32(*iload, keyValue);
        if (result != IO_OK) return result;
        if (!stored.keys.Empty() && time <= stored.keys.Keys().back().time) {
            return reject(iload, name + ": key " + std::to_string(k) +
                                     " is not later than the key before it");
        }
        stored.keys.SetKey(time, keyValue);
    }
    return IO_OK;
}

/// Reads a parameter chunk: ID, type and the value of that type.
IOResult readParameter(ILoad* iload, ULONG length, StoredParameter& stored) {
    if (length < kParamPrefixBytes) {
        return reject(iload, "parameter chunk of " + std::to_string(length) +
                                 " bytes, too short for its ID and type");
    }
    std::uint16_t rawId = 0;
    std::uint16_t rawType = 0;
    IOResult result = ReadU16(*iload, rawId);
    if (result == IO_OK) result = ReadU16(*iload, rawType);
    if (result != IO_OK) return result;
    stored.id = static_cast<ParamID>(rawId);
    stored.type = static_cast<ParamType2>(rawType);
    const std::string name = "parameter " + std::to_string(stored.id);
    if (stored.type == TYPE_FLOAT) return readFloat(iload, length, name, stored);
    if (stored.type == TYPE_INT || stored.type == TYPE_BOOL) {
        if (length != kIntBytes) {
            return reject(iload, name + ": integer value of " + std::to_string(length) +
                                     " bytes, not " + std::to_string(kIntBytes));
        }
        return ReadI32(*iload, stored.integer);
    }
    return reject(iload, name + ": type " + std::to_string(rawType) + " cannot be stored in a block");
}

}  // namespace

IOResult ParamBlock2::Save(ISave* isave) {
    isave->BeginChunk(kHeaderChunk);
    IOResult result = WriteU16(*isave, static_cast<std::uint16_t>(desc_->ID));
    if (result == IO_OK) result = WriteU32(*isave, static_cast<std::uint32_t>(desc_->version));
    isave->EndChunk();
    if (result != IO_OK) return result;

    for (const Slot& slot : slots_) {
        const ParamDef& def = Def(slot);
        if (def.type != TYPE_FLOAT && def.type != TYPE_INT && def.type != TYPE_BOOL) continue;
        isave->BeginChunk(kParamChunk);
        result = WriteU16(*isave, static_cast<std::uint16_t>(def.ID));
        if (result == IO_OK) result = WriteU16(*isave, static_cast<std::uint16_t>(def.type));
        if (def.type == TYPE_FLOAT) {
            const std::vector<FloatKey>& keys = slot.keys.Keys();
            if (result == IO_OK) result = WriteF32(*isave, slot.f);
            if (result == IO_OK) result = WriteU32(*isave, static_cast<std::uint32_t>(keys.size()));
            for (const FloatKey& key : keys) {
                if (result == IO_OK) result = WriteI32(*isave, key.time);
                if (result == IO_OK) result = WriteF32(*isave, key.value);
            }
        } else if (result == IO_OK) {
            result = WriteI32(*isave, slot.i);
        }
        isave->EndChunk();
        if (result != IO_OK) return result;
    }
    return IO_OK;
}

IOResult ParamBlock2::Load(ILoad* iload) {
    bool sawHeader = false;
    IOResult opened;
    while ((opened = iload->OpenChunk()) == IO_OK) {
        const USHORT chunk = iload->CurChunkID();
        const ULONG length = iload->CurChunkLength();
        if (chunk == kHeaderChunk) {
            if (const IOResult result = readHeader(iload, length, desc_->ID); result != IO_OK) {
                return result;
            }
            sawHeader = true;
        } else if (chunk == kParamChunk) {
            StoredParameter stored;
            if (const IOResult result = readParameter(iload, length, stored); result != IO_OK) {
                return result;
            }
            Slot* slot = Find(stored.id);
            if (slot && sameStorage(stored.type, Def(*slot).type)) {
                if (stored.type == TYPE_FLOAT) {
                    slot->f = stored.value;
                    slot->keys = Def(*slot).IsAnimatable() ? stored.keys : FloatTrack();
                } else {
                    slot->i = stored.integer;
                }
            }
        }
        // Chunks of a later version are skipped.
        if (iload->CloseChunk() != IO_OK) return IO_ERROR;
    }
    if (opened == IO_ERROR) return IO_ERROR;
    if (!sawHeader) return reject(iload, "parameter block without its header chunk");
    return IO_OK;
}

}  // namespace standin
