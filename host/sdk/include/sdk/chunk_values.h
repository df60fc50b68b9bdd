// Fixed-width little-endian values in chunks, whatever the platform's byte
// order and type widths: what the host's own objects store in scene files.
#pragma once

#include <cstdint>

#include "ioapi.h"

namespace standin {

IOResult WriteU16(ISave& save, std::uint16_t value);
IOResult WriteU32(ISave& save, std::uint32_t value);
IOResult WriteI32(ISave& save, std::int32_t value);
/// The float's IEEE 754 bits as a little-endian 32-bit value.
IOResult WriteF32(ISave& save, float value);

/// Each reads exactly its width from the current chunk; IO_ERROR (and
/// `value` unchanged) when the chunk holds fewer bytes.
IOResult ReadU16(ILoad& load, std::uint16_t& value);
IOResult ReadU32(ILoad& load, std::uint32_t& value);
IOResult ReadI32(ILoad& load, std::int32_t& value);
IOResult ReadF32(ILoad& load, float& value);

/// Writes one data chunk `id` holding exactly `value`.
IOResult WriteU32Chunk(ISave& save, USHORT id, std::uint32_t value);

}  // namespace standin
