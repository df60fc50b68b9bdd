// Fixed-width values inside chunks: integers and floats, little-endian.
#include "sdk/chunk_values.h"

#include <bit>

namespace standin {
namespace {

template <int N>
IOResult writeLittleEndian(ISave& save, std::uint32_t value) {
    std::uint8_t bytes[N];
    for (int i = 0; i < N; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    ULONG written = 0;
    const IOResult result = save.Write(bytes, N, &written);
    return result == IO_OK && written == N ? IO_OK : IO_ERROR;
}

template <int N>
IOResult readLittleEndian(ILoad& load, std::uint32_t& value) {
    std::uint8_t bytes[N];
    ULONG read = 0;
    if (load.Read(bytes, N, &read) != IO_OK || read != N) return IO_ERROR;
    std::uint32_t result = 0;
    for (int i = 0; i < N; ++i) result |= std::uint32_t(bytes[i]) << (8 * i);
    value = result;
    return IO_OK;
}

}  // namespace

IOResult WriteU16(ISave& save, std::uint16_t value) { return writeLittleEndian<2>(save, value); }
IOResult WriteU32(ISave& save, std::uint32_t value) { return writeLittleEndian<4>(save, value); }
IOResult WriteI32(ISave& save, std::int32_t value) {
    return writeLittleEndian<4>(save, static_cast<std::uint32_t>(value));
}
IOResult WriteF32(ISave& save, float value) {
    return writeLittleEndian<4>(save, std::bit_cast<std::uint32_t>(value));
}

IOResult ReadU16(ILoad& load, std::uint16_t& value) {
    std::uint32_t wide = 0;
    if (readLittleEndian<2>(load, wide) != IO_OK) return IO_ERROR;
    value = static_cast<std::uint16_t>(wide);
    return IO_OK;
}
IOResult ReadU32(ILoad& load, std::uint32_t& value) { return readLittleEndian<4>(load, value); }
IOResult ReadI32(ILoad& load, std::int32_t& value) {
    std::uint32_t bits = 0;
    if (readLittleEndian<4>(load, bits) != IO_OK) return IO_ERROR;
    value = static_cast<std::int32_t>(bits);
    return IO_OK;
}
IOResult ReadF32(ILoad& load, float& value) {
    std::uint32_t bits = 0;
    if (readLittleEndian<4>(load, bits) != IO_OK) return IO_ERROR;
    value = std::bit_cast<float>(bits);
    return IO_OK;
}

IOResult WriteU32Chunk(ISave& save, USHORT id, std::uint32_t value) {
    save.BeginChunk(id);
    const IOResult result = WriteU32(save, value);
    save.EndChunk();
    return result;
}

}  // namespace standin
