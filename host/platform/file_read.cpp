#include <algorithm>

#include "file_read_steps.h"

namespace standin::detail {

bool RefuseRead(FileReadFailure& failure, FileReadFailure::Kind kind, std::string systemText,
                std::uint64_t size) {
    failure = FileReadFailure{kind, std::move(systemText), size};
    return false;
}

bool ReadToEnd(std::uint64_t expectedSize, std::uint64_t limit, const ReadSome& readSome,
               std::vector<std::uint8_t>& bytes, FileReadFailure& failure) {
    // One byte more than expected, so that the end is seen without growing.
    std::vector<std::uint8_t> read(static_cast<std::size_t>(expectedSize) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == read.size()) {
            if (got > limit) return RefuseRead(failure, FileReadFailure::Kind::kTooLarge, {}, got);
            read.resize(
                static_cast<std::size_t>(std::min<std::uint64_t>(limit + 1, 2 * read.size())));
        }
        std::string error;
        const long long n = readSome(read.data() + got, read.size() - got, error);
        if (n < 0) return RefuseRead(failure, FileReadFailure::Kind::kCannotRead, error);
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    read.resize(got);
    bytes = std::move(read);
    return true;
}

}  // namespace standin::detail
