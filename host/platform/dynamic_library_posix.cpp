// DynamicLibrary on ELF systems: dlopen, with the file's ELF headers checked
// first, so that the common refusals get a clear reason instead of the system
// loader's terse one, and a truncated file is refused instead of crashing the
// host.
#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "dynamic_library_file.h"
#include "platform/dynamic_library.h"

namespace standin::detail {
namespace {

// Offsets and values of the ELF identification and header fields read here.
constexpr std::size_t kElfHeaderPrefix = 20;  // through e_machine
constexpr std::size_t kClassOffset = 4;       // EI_CLASS
constexpr std::size_t kDataOffset = 5;        // EI_DATA
constexpr std::size_t kTypeOffset = 16;       // e_type
constexpr std::size_t kMachineOffset = 18;    // e_machine
constexpr std::uint8_t kClass32 = 1;
constexpr std::uint8_t kClass64 = 2;
constexpr std::uint8_t kLittleEndian = 1;
constexpr std::uint16_t kTypeExecutable = 2;
constexpr std::uint16_t kTypeShared = 3;

struct ElfPrefix {
    std::uint8_t elfClass;
    std::uint8_t data;
    std::uint16_t type;
    std::uint16_t machine;
};

/// The start of the ELF header of `file`, or nothing when the file does not
/// start with one (`bytesRead` tells how much could be read).
std::optional<ElfPrefix> ReadElfPrefix(const std::filesystem::path& file, std::size_t& bytesRead) {
    std::array<unsigned char, kElfHeaderPrefix> bytes{};
    std::ifstream in(file, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), bytes.size());
    bytesRead = static_cast<std::size_t>(in.gcount());
    if (bytesRead < bytes.size() || bytes[0] != 0x7F || bytes[1] != 'E' || bytes[2] != 'L' ||
        bytes[3] != 'F') {
        return std::nullopt;
    }
    const bool little = bytes[kDataOffset] == kLittleEndian;
    auto u16 = [&](std::size_t at) {
        return static_cast<std::uint16_t>(little ? bytes[at] | (bytes[at + 1] << 8)
                                                 : (bytes[at] << 8) | bytes[at + 1]);
    };
    return ElfPrefix{bytes[kClassOffset], bytes[kDataOffset], u16(kTypeOffset),
                     u16(kMachineOffset)};
}

/// Unsigned field of `size` bytes at `at` in `bytes`, in the file's byte order.
std::uint64_t Field(const std::vector<unsigned char>& bytes, std::size_t at, std::size_t size,
                    bool little) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t index = little ? at + size - 1 - i : at + i;
        value = (value << 8) | bytes[index];
    }
    return value;
}

/// Throws LibraryOpenError when the program headers, or a segment they
/// describe, lie past the end of the file. The system loader maps segments
/// without checking that, and touching such a mapping kills the process.
void CheckSegmentsInFile(const std::filesystem::path& file, const ElfPrefix& elf) {
    const bool wide = elf.elfClass == kClass64;
    const bool little = elf.data == kLittleEndian;
    // ELF header and program header layouts of the two classes.
    const std::size_t headerSize = wide ? 64 : 52;
    const std::size_t phoffAt = wide ? 32 : 28, phoffSize = wide ? 8 : 4;
    const std::size_t phentsizeAt = wide ? 54 : 42, phnumAt = wide ? 56 : 44;
    const std::size_t entrySize = wide ? 56 : 32;
    const std::size_t pOffsetAt = wide ? 8 : 4, pFileszAt = wide ? 32 : 16;
    const std::size_t pFieldSize = wide ? 8 : 4;

    std::error_code error;
    const std::uint64_t fileSize = std::filesystem::file_size(file, error);
    if (error) throw LibraryOpenError("cannot read the file: " + error.message());
    const std::string ofFile = " (the file has " + std::to_string(fileSize) + " bytes)";

    std::ifstream in(file, std::ios::binary);
    std::vector<unsigned char> header;
    if (!ReadAt(in, 0, headerSize, header)) {
        throw LibraryOpenError("truncated module: the ELF header is incomplete" + ofFile);
    }
    const std::uint64_t phoff = Field(header, phoffAt, phoffSize, little);
    const std::uint64_t phentsize = Field(header, phentsizeAt, 2, little);
    const std::uint64_t phnum = Field(header, phnumAt, 2, little);
    if (phnum == 0 || phentsize < entrySize) {
        throw LibraryOpenError("not a module: it has no usable program header table");
    }
    if (phoff > fileSize || phnum * phentsize > fileSize - phoff) {
        throw LibraryOpenError(
            "truncated module: its program headers end past the end of the "
            "file" +
            ofFile);
    }
    std::vector<unsigned char> table;
    if (!ReadAt(in, phoff, static_cast<std::size_t>(phnum * phentsize), table)) {
        throw LibraryOpenError("cannot read the program headers of the file");
    }
    for (std::uint64_t i = 0; i < phnum; ++i) {
        const std::size_t base = static_cast<std::size_t>(i * phentsize);
        const std::uint64_t offset = Field(table, base + pOffsetAt, pFieldSize, little);
        const std::uint64_t filesz = Field(table, base + pFileszAt, pFieldSize, little);
        if (filesz > 0 && (offset > fileSize || filesz > fileSize - offset)) {
            throw LibraryOpenError("truncated module: segment " + std::to_string(i) +
                                   " ends at byte " + std::to_string(offset + filesz) +
                                   ", past the end of the file" + ofFile);
        }
    }
    // The section headers come last in the file: a file cut anywhere after
    // its segments still maps, but is no longer the module that was built.
    const std::size_t shoffAt = wide ? 40 : 32, shentsizeAt = wide ? 58 : 46;
    const std::size_t shnumAt = wide ? 60 : 48;
    const std::uint64_t shoff = Field(header, shoffAt, phoffSize, little);
    const std::uint64_t shentsize = Field(header, shentsizeAt, 2, little);
    // A count of 0 with a table present means the count is in entry 0.
    const std::uint64_t shnum = std::max<std::uint64_t>(Field(header, shnumAt, 2, little), 1);
    if (shoff != 0 && (shoff > fileSize || shnum * shentsize > fileSize - shoff)) {
        throw LibraryOpenError("truncated module: its section headers end at byte " +
                               std::to_string(shoff + shnum * shentsize) +
                               ", past the end of the file" + ofFile);
    }
}

std::string MachineName(std::uint16_t machine) {
    switch (machine) {
        case 3:
            return "x86";
        case 8:
            return "MIPS";
        case 20:
            return "PowerPC";
        case 21:
            return "PowerPC64";
        case 22:
            return "S/390";
        case 40:
            return "ARM";
        case 62:
            return "x86-64";
        case 183:
            return "AArch64";
        case 243:
            return "RISC-V";
        default:
            return "machine " + std::to_string(machine);
    }
}

/// The ELF header of the running program: what a loadable library must match.
std::optional<ElfPrefix> HostElfPrefix() {
    static const std::optional<ElfPrefix> host = [] {
        std::size_t ignored = 0;
        std::error_code error;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
        return error ? std::nullopt : ReadElfPrefix(self, ignored);
    }();
    return host;
}

/// Throws LibraryOpenError when `file` is evidently no library for this host.
void CheckFile(const std::filesystem::path& file) {
    CheckModuleFileKind(file);

    std::size_t bytesRead = 0;
    const auto elf = ReadElfPrefix(file, bytesRead);
    if (!elf) {
        if (bytesRead == 0) throw LibraryOpenError("the file is empty, not a module");
        throw LibraryOpenError("not a module: the file does not start with an ELF header");
    }
    const auto host = HostElfPrefix();
    if (host && (elf->elfClass != host->elfClass || elf->data != host->data ||
                 elf->machine != host->machine)) {
        const auto describe = [](const ElfPrefix& p) {
            return MachineName(p.machine) +
                   (p.elfClass == kClass32   ? ", 32-bit"
                    : p.elfClass == kClass64 ? ", 64-bit"
                                             : ", unknown class") +
                   (p.data == kLittleEndian ? ", little-endian" : ", big-endian");
        };
        throw LibraryOpenError("built for another architecture (" + describe(*elf) +
                               "); this host is " + describe(*host));
    }
    if (elf->type != kTypeShared) {
        throw LibraryOpenError(std::string("not a module: the file is an ELF ") +
                               (elf->type == kTypeExecutable
                                    ? "executable"
                                    : "file of type " + std::to_string(elf->type)) +
                               ", not a shared library");
    }
    CheckSegmentsInFile(file, *elf);
}

/// The system loader's message without the file name it starts with.
std::string LoaderMessage(const std::filesystem::path& file) {
    const char* raw = dlerror();
    std::string message = raw ? raw : "unknown error";
    const std::string prefix = file.string() + ": ";
    if (message.rfind(prefix, 0) == 0) message.erase(0, prefix.size());
    return message;
}

}  // namespace

DynamicLibrary DynamicLibrary::Open(const std::filesystem::path& file) {
    CheckFile(file);
    // A name without a slash would make dlopen search the library path, not
    // open the file that was named.
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(file, error);
    if (error) path = file.is_absolute() ? file : std::filesystem::path(".") / file;
    dlerror();  // clear any earlier error
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        throw LibraryOpenError("the system loader refused it: " + LoaderMessage(path));
    }
    return DynamicLibrary(handle);
}

void* DynamicLibrary::Symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

std::optional<std::vector<std::uint8_t>> DynamicLibrary::ResourceSection() const {
    return std::nullopt;
}

bool DynamicLibrary::SystemCallsDllMain() { return false; }

void DynamicLibrary::Close() noexcept {
    if (handle_ != nullptr) dlclose(std::exchange(handle_, nullptr));
}

}  // namespace standin::detail
