// Scene-file chunk input and output, as objects see it in their Save and Load.
// A chunk is a little-endian 16-bit ID and a 32-bit size that includes the
// 6-byte header; the size's high bit marks a chunk that holds sub-chunks.
#pragma once

#include "maxheap.h"
#include "maxtypes.h"

/// Writes an object's chunks. Chunks nest: EndChunk closes the innermost open
/// chunk and patches its length.
class ISave : public MaxHeapOperators {
public:
    virtual ~ISave() = default;

    /// Opens a chunk with `id` inside the current one.
    virtual void BeginChunk(USHORT id) = 0;
    /// Closes the innermost open chunk.
    virtual void EndChunk() = 0;
    /// Number of chunks open now.
    virtual int CurChunkDepth() = 0;
    /// Appends `nbytes` bytes to the current chunk; `nwrit` receives how many
    /// were written. IO_ERROR when the bytes could not be written.
    virtual IOResult Write(const void* buf, ULONG nbytes, ULONG* nwrit) = 0;

    /// Writes `str` as UTF-16 little-endian with a terminating null, whatever
    /// the width of wchar_t; null writes the empty string. The char form takes
    /// UTF-8.
    virtual IOResult WriteWString(const MCHAR* str);
    virtual IOResult WriteWString(const char* str);
    /// Writes `str` as 8-bit text (UTF-8) with a terminating null; null writes
    /// the empty string. The wide form converts to UTF-8.
    virtual IOResult WriteCString(const char* str);
    virtual IOResult WriteCString(const MCHAR* str);
};

class ILoad;

/// Work an object leaves for the end of loading. The host sets an object's
/// references only after every object's Load has run, so whatever needs a
/// reference goes into a callback registered from Load; the host calls it once
/// the whole file is read and every reference is set. The object keeps the
/// callback alive until then (the host neither copies nor frees it).
class PostLoadCallback : public MaxHeapOperators {
public:
    virtual ~PostLoadCallback() = default;
    virtual void proc(ILoad* iload) = 0;
    /// 0 runs first, 10 last; callbacks of the same priority run in the order
    /// they were registered. Values outside 0 to 10 count as the nearest end.
    virtual int Priority() { return 5; }
};

/// Reads an object's chunks back, one nesting level at a time.
class ILoad : public MaxHeapOperators {
public:
    virtual ~ILoad() = default;

    /// Enters the next chunk at the current level: IO_OK, IO_END when no chunk
    /// is left at this level, IO_ERROR when the file is damaged.
    virtual IOResult OpenChunk() = 0;
    /// Leaves the current chunk, skipping whatever of it was not read.
    virtual IOResult CloseChunk() = 0;
    /// ID of the chunk opened last.
    virtual USHORT CurChunkID() = 0;
    /// 1 when the chunk opened last holds sub-chunks, 0 when it holds data.
    virtual int CurChunkType() = 0;
    /// Length of the chunk opened last, without its header.
    virtual ULONG CurChunkLength() = 0;
    /// Number of chunks open now.
    virtual int CurChunkDepth() = 0;
    /// ID of the next chunk at the current level without entering it; 0 when
    /// there is none.
    virtual USHORT PeekNextChunkID() = 0;
    /// Reads `nbytes` bytes of the current chunk; `nread` receives how many
    /// were read. IO_ERROR when the chunk holds fewer.
    virtual IOResult Read(void* buf, ULONG nbytes, ULONG* nread) = 0;

    /// Reads the rest of the current chunk as a string written by
    /// WriteWString (up to its terminating null). `buf` points into a buffer
    /// of the loader, valid until the next string read. IO_ERROR for an odd
    /// number of bytes left or when no data chunk is open.
    virtual IOResult ReadWStringChunk(MCHAR*& buf) = 0;
    virtual IOResult ReadWStringChunk(char*& buf) = 0;
    /// Reads the rest of the current chunk as a string written by
    /// WriteCString, with the same lifetime rules.
    virtual IOResult ReadCStringChunk(char*& buf) = 0;
    virtual IOResult ReadCStringChunk(MCHAR*& buf) = 0;

    /// Asks for `cb->proc` to be called when the whole file is loaded and
    /// every reference is set.
    virtual void RegisterPostLoadCallback(PostLoadCallback* cb) = 0;
};

/// Chunk types reported by CurChunkType.
#define CHUNK_DATA 0
#define CHUNK_SUBCHUNKS 1
