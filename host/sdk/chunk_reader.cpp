// Reading nested chunks (ILoad) from a scene file's bytes.
#include <cstring>
#include <string>

#include "sdk/chunk_io.h"
#include "platform/utf16.h"

namespace standin {
namespace {

std::uint32_t readU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

}  // namespace

ChunkReader::ChunkReader(std::span<const std::uint8_t> bytes, std::size_t baseOffset)
    : bytes_(bytes), baseOffset_(baseOffset) {}

std::size_t ChunkReader::LevelEnd() const {
    return open_.empty() ? bytes_.size() : open_.back().end;
}

IOResult ChunkReader::Fail(std::size_t position, const std::string& problem) {
    if (!failed_) {
        failed_ = true;
        error_ = problem;
        errorOffset_ = baseOffset_ + position;
    }
    return IO_ERROR;
}

IOResult ChunkReader::Reject(const std::string& problem) { return Fail(position_, problem); }

IOResult ChunkReader::OpenChunk() {
    if (failed_) return IO_ERROR;
    const std::size_t end = LevelEnd();
    if (position_ == end) return IO_END;
    if (!open_.empty() && !open_.back().container) {
        return Fail(position_,
                    "chunk " + ChunkIdText(open_.back().id) + " holds data, not sub-chunks");
    }
    const std::size_t left = end - position_;
    const std::string where = open_.empty() ? std::string("the data")
                                            : "its parent chunk " + ChunkIdText(open_.back().id);
    if (left < kChunkHeaderSize) {
        return Fail(position_, "chunk header cut short: " + std::to_string(left) +
                                   " bytes left in " + where + ", a header needs 6");
    }
    const std::uint8_t* header = bytes_.data() + position_;
    const USHORT id = static_cast<USHORT>(header[0] | header[1] << 8);
    const std::uint32_t field = readU32(header + 2);
    const std::uint32_t size = field & ~kChunkContainerBit;
    if (size < kChunkHeaderSize) {
        return Fail(position_, "chunk " + ChunkIdText(id) + " has size " + std::to_string(size) +
                                   ", smaller than its 6-byte header");
    }
    if (size > left) {
        return Fail(position_, "chunk " + ChunkIdText(id) + " of " + std::to_string(size) +
                                   " bytes is longer than " + where + ", which has " +
                                   std::to_string(left) + " bytes left");
    }
    open_.push_back({position_, position_ + size, id, (field & kChunkContainerBit) != 0});
    position_ += kChunkHeaderSize;
    return IO_OK;
}

IOResult ChunkReader::CloseChunk() {
    if (open_.empty()) return Fail(position_, "CloseChunk without an open chunk");
    position_ = open_.back().end;
    open_.pop_back();
    return failed_ ? IO_ERROR : IO_OK;
}

USHORT ChunkReader::CurChunkID() { return open_.empty() ? 0 : open_.back().id; }

int ChunkReader::CurChunkType() {
    return !open_.empty() && open_.back().container ? CHUNK_SUBCHUNKS : CHUNK_DATA;
}

ULONG ChunkReader::CurChunkLength() {
    if (open_.empty()) return 0;
    const Open& chunk = open_.back();
    return static_cast<ULONG>(chunk.end - chunk.headerStart - kChunkHeaderSize);
}

int ChunkReader::CurChunkDepth() { return static_cast<int>(open_.size()); }

USHORT ChunkReader::PeekNextChunkID() {
    if (failed_) return 0;
    if (!open_.empty() && !open_.back().container) return 0;
    if (LevelEnd() - position_ < kChunkHeaderSize) return 0;
    const std::uint8_t* header = bytes_.data() + position_;
    return static_cast<USHORT>(header[0] | header[1] << 8);
}

IOResult ChunkReader::Read(void* buf, ULONG nbytes, ULONG* nread) {
    if (nread) *nread = 0;
    if (failed_) return IO_ERROR;
    if (nbytes == 0) return IO_OK;
    if (open_.empty()) return Fail(position_, "data read outside any chunk");
    const Open& chunk = open_.back();
    if (chunk.container) {
        return Fail(position_,
                    "data read from chunk " + ChunkIdText(chunk.id) + ", which holds sub-chunks");
    }
    const std::size_t left = chunk.end - position_;
    if (nbytes > left) {
        return Fail(position_, "read of " + std::to_string(nbytes) +
                                   " bytes runs past the end of chunk " + ChunkIdText(chunk.id) +
                                   ", which has " + std::to_string(left) + " bytes left");
    }
    if (!buf) return Fail(position_, "Read into a null buffer");
    std::memcpy(buf, bytes_.data() + position_, nbytes);
    position_ += nbytes;
    if (nread) *nread = nbytes;
    return IO_OK;
}

IOResult ChunkReader::TakeRest(std::span<const std::uint8_t>& rest, const char* what) {
    if (failed_) return IO_ERROR;
    if (open_.empty() || open_.back().container) {
        return Fail(position_, std::string(what) + " read outside a data chunk");
    }
    rest = bytes_.subspan(position_, open_.back().end - position_);
    position_ = open_.back().end;
    return IO_OK;
}

IOResult ChunkReader::ReadWStringChunk(MCHAR*& buf) {
    const std::size_t start = position_;
    std::span<const std::uint8_t> rest;
    if (TakeRest(rest, "string") != IO_OK) return IO_ERROR;
    if (rest.size() % 2 != 0) {
        return Fail(start, "wide string in chunk " + ChunkIdText(open_.back().id) + " has an odd " +
                               "number of bytes (" + std::to_string(rest.size()) + ")");
    }
    std::u16string units;
    for (std::size_t i = 0; i + 1 < rest.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(rest[i] | rest[i + 1] << 8);
        if (unit == 0) break;
        units.push_back(unit);
    }
    wideText_ = Utf16ToWide(units);
    buf = wideText_.data();
    return IO_OK;
}

IOResult ChunkReader::ReadWStringChunk(char*& buf) {
    MCHAR* wide = nullptr;
    if (ReadWStringChunk(wide) != IO_OK) return IO_ERROR;
    narrowText_ = WideToUtf8(wide);
    buf = narrowText_.data();
    return IO_OK;
}

IOResult ChunkReader::ReadCStringChunk(char*& buf) {
    std::span<const std::uint8_t> rest;
    if (TakeRest(rest, "string") != IO_OK) return IO_ERROR;
    std::size_t length = 0;
    while (length < rest.size() && rest[length] != 0) ++length;
    narrowText_.assign(reinterpret_cast<const char*>(rest.data()), length);
    buf = narrowText_.data();
    return IO_OK;
}

IOResult ChunkReader::ReadCStringChunk(MCHAR*& buf) {
    char* narrow = nullptr;
    if (ReadCStringChunk(narrow) != IO_OK) return IO_ERROR;
    wideText_ = Utf16ToWide(Utf8ToUtf16(narrow));
    buf = wideText_.data();
    return IO_OK;
}

void ChunkReader::RegisterPostLoadCallback(PostLoadCallback* cb) {
    if (cb) postLoad_.push_back(cb);
}

std::vector<PostLoadCallback*> ChunkReader::TakePostLoadCallbacks() {
    std::vector<PostLoadCallback*> taken;
    taken.swap(postLoad_);
    return taken;
}

}  // namespace standin
