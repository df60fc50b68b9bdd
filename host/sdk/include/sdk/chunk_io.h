// Chunk writer and reader over bytes in memory: the stand-in's ISave and ILoad.
//
// Layout of one chunk: a little-endian 16-bit ID, a little-endian 32-bit size
// that counts the 6-byte header, then the body. The size's high bit marks a
// body made of sub-chunks; otherwise the body is plain data. Data may only be
// written inside a chunk, and a chunk holds either data or sub-chunks, never
// both, so that every body can be read back unambiguously.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ioapi.h"

namespace standin {

/// Bytes of a chunk header: 16-bit ID and 32-bit size.
inline constexpr std::size_t kChunkHeaderSize = 6;
/// The size field's bit that marks a chunk holding sub-chunks.
inline constexpr std::uint32_t kChunkContainerBit = 0x80000000u;
/// Largest size a chunk header can express (header included).
inline constexpr std::uint32_t kMaxChunkSize = 0x7fffffffu;

/// Collects the chunks that objects write into a byte buffer. Misuse (data
/// outside any chunk, data and sub-chunks in one chunk, EndChunk without an
/// open chunk, a chunk too long for its header) fails the writer: the first
/// problem is kept in Error() and every later Write answers IO_ERROR.
class ChunkWriter final : public ISave {
public:
    ChunkWriter() = default;

    void BeginChunk(USHORT id) override;
    void EndChunk() override;
    int CurChunkDepth() override;
    IOResult Write(const void* buf, ULONG nbytes, ULONG* nwrit) override;

    /// The bytes written so far (chunks still open have no size yet).
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    bool Failed() const { return !error_.empty(); }
    /// The first problem met, or "".
    const std::string& Error() const { return error_; }

private:
    struct OpenChunk {
        std::size_t headerOffset;
        USHORT id;
        bool hasData;
        bool hasSubChunks;
    };

    void Fail(const std::string& problem);

    std::vector<std::uint8_t> bytes_;
    std::vector<OpenChunk> open_;
    std::string error_;
};

/// Reads chunks from a span of bytes with strict bounds: a header cut short,
/// a size smaller than its header, a chunk longer than its parent, data read
/// past the end of a chunk, or sub-chunks read from a data chunk all fail the
/// reader. The first failure is kept (Error(), ErrorOffset()) and every later
/// OpenChunk and Read answers IO_ERROR, so a fault is never silently skipped
/// by an object that stops at the first non-IO_OK answer.
class ChunkReader final : public ILoad {
public:
    /// `bytes` starts at byte `baseOffset` of its file; offsets in messages
    /// are counted from the start of the file.
    explicit ChunkReader(std::span<const std::uint8_t> bytes, std::size_t baseOffset = 0);

    IOResult OpenChunk() override;
    IOResult CloseChunk() override;
    USHORT CurChunkID() override;
    int CurChunkType() override;
    ULONG CurChunkLength() override;
    int CurChunkDepth() override;
    USHORT PeekNextChunkID() override;
    IOResult Read(void* buf, ULONG nbytes, ULONG* nread) override;
    IOResult ReadWStringChunk(MCHAR*& buf) override;
    IOResult ReadWStringChunk(char*& buf) override;
    IOResult ReadCStringChunk(char*& buf) override;
    IOResult ReadCStringChunk(MCHAR*& buf) override;
    /// Records `cb` for whoever drives the loading (TakePostLoadCallbacks);
    /// a reader used on its own runs nothing.
    void RegisterPostLoadCallback(PostLoadCallback* cb) override;

    /// The callbacks registered so far, in order; the reader forgets them.
    std::vector<PostLoadCallback*> TakePostLoadCallbacks();

    /// Lets an object that reads the data say what is wrong with it: fails
    /// the reader at its current offset (keeping an earlier failure) and
    /// answers IO_ERROR.
    IOResult Reject(const std::string& problem);

    bool Failed() const { return failed_; }
    /// The first problem met, without its offset, or "".
    const std::string& Error() const { return error_; }
    /// File offset of the first problem.
    std::size_t ErrorOffset() const { return errorOffset_; }
    /// File offset of the next byte the reader would look at.
    std::size_t Offset() const { return baseOffset_ + position_; }

private:
    struct Open {
        std::size_t headerStart;  // within bytes_
        std::size_t end;          // one past the body, within bytes_
        USHORT id;
        bool container;
    };

    /// End of the current level: the innermost open chunk's end or the span's.
    std::size_t LevelEnd() const;
    /// Fails at `position` (within bytes_) and returns IO_ERROR.
    IOResult Fail(std::size_t position, const std::string& problem);
    /// The unread rest of the innermost data chunk, or IO_ERROR.
    IOResult TakeRest(std::span<const std::uint8_t>& rest, const char* what);

    std::span<const std::uint8_t> bytes_;
    std::size_t baseOffset_;
    std::size_t position_ = 0;
    std::vector<Open> open_;
    bool failed_ = false;
    std::string error_;
    std::size_t errorOffset_ = 0;
    std::wstring wideText_;
    std::string narrowText_;
    std::vector<PostLoadCallback*> postLoad_;
};

/// "0x4000"-style hexadecimal chunk ID, for messages.
std::string ChunkIdText(USHORT id);

}  // namespace standin
