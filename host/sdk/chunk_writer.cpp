// Writing nested chunks (ISave) with their lengths patched on close.
#include <cstdio>
#include <cstring>
#include <new>

#include "sdk/chunk_io.h"

namespace standin {

std::string ChunkIdText(USHORT id) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(id));
    return text;
}

void ChunkWriter::Fail(const std::string& problem) {
    if (error_.empty()) error_ = problem;
}

void ChunkWriter::BeginChunk(USHORT id) {
    if (Failed()) return;
    if (!open_.empty()) {
        OpenChunk& parent = open_.back();
        if (parent.hasData) {
            Fail("chunk " + ChunkIdText(id) + " begun inside chunk " + ChunkIdText(parent.id) +
                 ", which already holds data");
            return;
        }
        parent.hasSubChunks = true;
    }
    try {
        open_.push_back({bytes_.size(), id, false, false});
        // The size is patched when the chunk ends.
        const std::uint8_t header[kChunkHeaderSize] = {static_cast<std::uint8_t>(id & 0xff),
                                                       static_cast<std::uint8_t>(id >> 8)};
        bytes_.insert(bytes_.end(), header, header + kChunkHeaderSize);
    } catch (const std::bad_alloc&) {
        Fail("out of memory writing chunk " + ChunkIdText(id));
    }
}

void ChunkWriter::EndChunk() {
    if (Failed()) return;
    if (open_.empty()) {
        Fail("EndChunk without an open chunk");
        return;
    }
    const OpenChunk chunk = open_.back();
    open_.pop_back();
    const std::size_t size = bytes_.size() - chunk.headerOffset;
    if (size > kMaxChunkSize) {
        Fail("chunk " + ChunkIdText(chunk.id) + " is " + std::to_string(size) +
             " bytes long, more than a chunk can hold");
        return;
    }
    std::uint32_t field = static_cast<std::uint32_t>(size);
    if (chunk.hasSubChunks) field |= kChunkContainerBit;
    for (int i = 0; i < 4; ++i) {
        bytes_[chunk.headerOffset + 2 + i] = static_cast<std::uint8_t>(field >> (8 * i));
    }
}

int ChunkWriter::CurChunkDepth() { return static_cast<int>(open_.size()); }

IOResult ChunkWriter::Write(const void* buf, ULONG nbytes, ULONG* nwrit) {
    if (nwrit) *nwrit = 0;
    if (Failed()) return IO_ERROR;
    if (nbytes == 0) return IO_OK;
    if (!buf) {
        Fail("Write from a null buffer");
        return IO_ERROR;
    }
    if (open_.empty()) {
        Fail("data written outside any chunk");
        return IO_ERROR;
    }
    OpenChunk& chunk = open_.back();
    if (chunk.hasSubChunks) {
        Fail("data written into chunk " + ChunkIdText(chunk.id) + ", which holds sub-chunks");
        return IO_ERROR;
    }
    if (bytes_.size() - chunk.headerOffset + nbytes > kMaxChunkSize) {
        Fail("chunk " + ChunkIdText(chunk.id) + " grows beyond what a chunk can hold");
        return IO_ERROR;
    }
    try {
        const auto* bytes = static_cast<const std::uint8_t*>(buf);
        bytes_.insert(bytes_.end(), bytes, bytes + nbytes);
    } catch (const std::bad_alloc&) {
        Fail("out of memory writing chunk " + ChunkIdText(chunk.id));
        return IO_ERROR;
    }
    chunk.hasData = true;
    if (nwrit) *nwrit = nbytes;
    return IO_OK;
}

}  // namespace standin
