// Chunk writer and reader: nesting, lengths, typed values and strings, and
// every kind of damage the reader must catch with its offset.
#include "sdk/chunk_io.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "sdk/chunk_values.h"

namespace {

using standin::ChunkReader;
using standin::ChunkWriter;

std::vector<std::uint8_t> Header(USHORT id, std::uint32_t size) {
    return {static_cast<std::uint8_t>(id & 0xff),  static_cast<std::uint8_t>(id >> 8),
            static_cast<std::uint8_t>(size),       static_cast<std::uint8_t>(size >> 8),
            static_cast<std::uint8_t>(size >> 16), static_cast<std::uint8_t>(size >> 24)};
}

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

TEST(ChunkIO, NestedChunksRoundTripWithLengthsPatched) {
    ChunkWriter writer;
    writer.BeginChunk(0x4000);
    writer.BeginChunk(0x0001);
    ASSERT_EQ(standin::WriteU32(writer, 0xDEADBEEF), IO_OK);
    ASSERT_EQ(standin::WriteF32(writer, -0.2f), IO_OK);
    EXPECT_EQ(writer.CurChunkDepth(), 2);
    writer.EndChunk();
    writer.BeginChunk(0x0002);
    ASSERT_EQ(writer.WriteWString(L"Hue \u00b1 \U0001D11E"), IO_OK);
    writer.EndChunk();
    writer.BeginChunk(0x0003);  // empty
    writer.EndChunk();
    writer.EndChunk();
    writer.BeginChunk(0x0004);
    ASSERT_EQ(writer.WriteCString("plain"), IO_OK);
    writer.EndChunk();
    ASSERT_FALSE(writer.Failed()) << writer.Error();
    EXPECT_EQ(writer.CurChunkDepth(), 0);

    const std::vector<std::uint8_t>& bytes = writer.Bytes();
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[1], 0x40);
    EXPECT_EQ(bytes[5] & 0x80, 0x80);  // holds sub-chunks

    ChunkReader reader(bytes, 100);
    ASSERT_EQ(reader.OpenChunk(), IO_OK);
    EXPECT_EQ(reader.CurChunkID(), 0x4000);
    EXPECT_EQ(reader.CurChunkType(), CHUNK_SUBCHUNKS);
    EXPECT_EQ(reader.PeekNextChunkID(), 0x0001);

    ASSERT_EQ(reader.OpenChunk(), IO_OK);
    EXPECT_EQ(reader.CurChunkID(), 0x0001);
    EXPECT_EQ(reader.CurChunkType(), CHUNK_DATA);
    EXPECT_EQ(reader.CurChunkLength(), 8u);
    EXPECT_EQ(reader.CurChunkDepth(), 2);
    std::uint32_t word = 0;
    float number = 0.0f;
    ASSERT_EQ(standin::ReadU32(reader, word), IO_OK);
    ASSERT_EQ(standin::ReadF32(reader, number), IO_OK);
    EXPECT_EQ(word, 0xDEADBEEFu);
    EXPECT_EQ(number, -0.2f);
    EXPECT_EQ(reader.CloseChunk(), IO_OK);

    ASSERT_EQ(reader.OpenChunk(), IO_OK);
    MCHAR* wide = nullptr;
    ASSERT_EQ(reader.ReadWStringChunk(wide), IO_OK);
    EXPECT_STREQ(wide, L"Hue \u00b1 \U0001D11E");
    reader.CloseChunk();

    ASSERT_EQ(reader.OpenChunk(), IO_OK);
    EXPECT_EQ(reader.CurChunkID(), 0x0003);
    EXPECT_EQ(reader.CurChunkLength(), 0u);
    EXPECT_EQ(reader.OpenChunk(), IO_END);  // an empty chunk has nothing inside
    reader.CloseChunk();
    EXPECT_EQ(reader.OpenChunk(), IO_END);
    EXPECT_EQ(reader.PeekNextChunkID(), 0);
    reader.CloseChunk();

    ASSERT_EQ(reader.OpenChunk(), IO_OK);
    char* narrow = nullptr;
    ASSERT_EQ(reader.ReadCStringChunk(narrow), IO_OK);
    EXPECT_STREQ(narrow, "plain");
    reader.CloseChunk();
    EXPECT_EQ(reader.OpenChunk(), IO_END);
    EXPECT_FALSE(reader.Failed()) << reader.Error();
}

TEST(ChunkIO, CloseChunkSkipsWhatWasNotRead) {
    ChunkWriter writer;
    writer.BeginChunk(1);
    standin::WriteU32(writer, 1);
    standin::WriteU32(writer, 2);
    writer.EndChunk();
    standin::WriteU32Chunk(writer, 2, 7);

    ChunkReader reader(writer.Bytes());
    ASSERT_EQ(reader.OpenChunk(), IO_OK);
    reader.CloseChunk();  // 8 bytes unread
    ASSERT_EQ(reader.OpenChunk(), IO_OK);
    std::uint32_t value = 0;
    ASSERT_EQ(standin::ReadU32(reader, value), IO_OK);
    EXPECT_EQ(value, 7u);
}

struct WriterMisuse {
    const char* name;
    std::function<void(ChunkWriter&)> act;
    const char* problem;
};

TEST(ChunkIO, WriterMisuseFailsTheWriter) {
    const std::uint32_t word = 5;
    ULONG written = 0;
    const WriterMisuse cases[] = {
        {"data outside a chunk", [&](ChunkWriter& w) { w.Write(&word, 4, &written); },
         "outside any chunk"},
        {"sub-chunk after data",
         [&](ChunkWriter& w) {
             w.BeginChunk(1);
             w.Write(&word, 4, &written);
             w.BeginChunk(2);
         },
         "already holds data"},
        {"data after a sub-chunk",
         [&](ChunkWriter& w) {
             w.BeginChunk(1);
             w.BeginChunk(2);
             w.EndChunk();
             w.Write(&word, 4, &written);
         },
         "holds sub-chunks"},
        {"EndChunk without a chunk", [](ChunkWriter& w) { w.EndChunk(); }, "without an open chunk"},
    };
    for (const WriterMisuse& c : cases) {
        SCOPED_TRACE(c.name);
        ChunkWriter writer;
        c.act(writer);
        EXPECT_TRUE(writer.Failed());
        EXPECT_NE(writer.Error().find(c.problem), std::string::npos) << writer.Error();
        // The writer stays failed.
        writer.BeginChunk(9);
        EXPECT_EQ(writer.Write(&word, 4, &written), IO_ERROR);
        EXPECT_EQ(written, 0u);
    }
}

struct DamagedChunks {
    const char* name;
    std::vector<std::uint8_t> bytes;
    // Steps the reader takes before the fault: 'o' open, 'r' read 4 bytes.
    const char* steps;
    std::size_t offset;  // of the fault, from the start of the file
    const char* problem;
};

TEST(ChunkIO, DamageIsCaughtWithItsOffset) {
    const std::size_t base = 1000;  // where the bytes lie in their file
    const DamagedChunks cases[] = {
        {"header cut short", {0x01, 0x00, 0x06}, "o", 0, "header cut short"},
        {"size smaller than a header", Header(1, 5), "o", 0, "smaller than its 6-byte header"},
        {"chunk longer than the data", Concat({Header(1, 20), {1, 2, 3, 4}}), "o", 0,
         "longer than the data"},
        {"chunk longer than its parent",
         Concat({Header(1, 0x80000000u | 16), Header(2, 12), {1, 2, 3, 4}}), "oo", 6,
         "longer than its parent chunk 0x0001"},
        {"sub-chunk header cut short", Concat({Header(1, 0x80000000u | 9), {2, 0, 9}}), "oo", 6,
         "header cut short"},
        {"read past the end of a chunk", Concat({Header(1, 8), {1, 2}}), "or", 6,
         "runs past the end of chunk 0x0001"},
        {"data read from a container", Concat({Header(1, 0x80000000u | 12), Header(2, 6)}), "or", 6,
         "holds sub-chunks"},
        {"sub-chunks opened in a data chunk", Concat({Header(1, 10), {1, 2, 3, 4}}), "oo", 6,
         "holds data, not sub-chunks"},
    };
    for (const DamagedChunks& c : cases) {
        SCOPED_TRACE(c.name);
        ChunkReader reader(c.bytes, base);
        IOResult last = IO_OK;
        for (const char* step = c.steps; *step; ++step) {
            std::uint32_t value = 0;
            last = *step == 'o' ? reader.OpenChunk() : standin::ReadU32(reader, value);
        }
        EXPECT_EQ(last, IO_ERROR);
        ASSERT_TRUE(reader.Failed());
        EXPECT_EQ(reader.ErrorOffset(), base + c.offset);
        EXPECT_NE(reader.Error().find(c.problem), std::string::npos) << reader.Error();
        // Nothing reads on after a fault.
        std::uint8_t byte = 0;
        ULONG read = 0;
        EXPECT_EQ(reader.OpenChunk(), IO_ERROR);
        EXPECT_EQ(reader.Read(&byte, 1, &read), IO_ERROR);
    }
}

TEST(ChunkIO, WideStringWithAnOddByteCountIsRefused) {
    const std::vector<std::uint8_t> bytes = Concat({Header(7, 9), {'a', 0, 0}});
    ChunkReader reader(bytes);
    ASSERT_EQ(reader.OpenChunk(), IO_OK);
    MCHAR* text = nullptr;
    EXPECT_EQ(reader.ReadWStringChunk(text), IO_ERROR);
    EXPECT_NE(reader.Error().find("odd"), std::string::npos);
}

}  // namespace
