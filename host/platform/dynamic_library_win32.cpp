// DynamicLibrary on Windows: LoadLibraryExW, with the file's PE headers
// checked first, so that the common refusals get the same clear reasons as on
// ELF systems, and a truncated file is refused before the system maps it.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <system_error>
#include <utility>
#include <vector>

#include "windows_error.h"
#include "dynamic_library_file.h"
#include "platform/dynamic_library.h"
#include "platform/utf16.h"

namespace standin::detail {
namespace {

constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kPeOffsetAt = 0x3C;      // e_lfanew
constexpr std::size_t kFileHeaderSize = 20;    // after the "PE\0\0" signature
constexpr std::uint16_t kMachineAmd64 = 0x8664;
constexpr std::uint16_t kCharacteristicDll = 0x2000;
constexpr std::uint16_t kOptionalMagicPe32Plus = 0x20B;
constexpr std::size_t kSectionHeaderSize = 40;

std::uint64_t Little(const std::vector<unsigned char>& bytes, std::size_t at, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;) value = (value << 8) | bytes[at + i];
    return value;
}

std::string MachineName(std::uint16_t machine) {
    switch (machine) {
        case 0x014C:
            return "x86, 32-bit";
        case 0x8664:
            return "x86-64, 64-bit";
        case 0x01C4:
            return "ARM, 32-bit";
        case 0xAA64:
            return "AArch64, 64-bit";
        default:
            return "machine " + std::to_string(machine);
    }
}

/// The fields of the PE file header that the checks read.
struct PeHeader {
    std::uint64_t optionalAt = 0;  // where the optional header starts
    std::uint64_t optionalSize = 0;
    std::uint64_t sectionCount = 0;
    std::uint64_t symbolsAt = 0;
    std::uint64_t symbolCount = 0;
};

/// Reads the DOS and PE headers, refusing a file that is no 64-bit x86 DLL.
PeHeader ReadPeHeader(std::ifstream& in, const std::string& ofFile) {
    std::vector<unsigned char> dos;
    const bool wholeDosHeader = ReadAt(in, 0, kDosHeaderSize, dos);
    if (dos[0] != 'M' || dos[1] != 'Z') {
        throw LibraryOpenError("not a module: the file does not start with an MZ header");
    }
    if (!wholeDosHeader) {
        throw LibraryOpenError("not a module: the file is shorter than a DOS header" + ofFile);
    }
    const std::uint64_t peAt = Little(dos, kPeOffsetAt, 4);
    std::vector<unsigned char> header;
    if (!ReadAt(in, peAt, 4 + kFileHeaderSize, header)) {
        throw LibraryOpenError("truncated module: the PE header is incomplete" + ofFile);
    }
    if (header[0] != 'P' || header[1] != 'E' || header[2] != 0 || header[3] != 0) {
        throw LibraryOpenError("not a module: the file has no PE header");
    }
    const auto machine = static_cast<std::uint16_t>(Little(header, 4, 2));
    const auto characteristics = static_cast<std::uint16_t>(Little(header, 22, 2));
    if (machine != kMachineAmd64) {
        throw LibraryOpenError("built for another architecture (" + MachineName(machine) +
                               "); this host is " + MachineName(kMachineAmd64));
    }
    if ((characteristics & kCharacteristicDll) == 0) {
        throw LibraryOpenError("not a module: the file is a Windows executable, not a DLL");
    }
    PeHeader pe;
    pe.optionalAt = peAt + 4 + kFileHeaderSize;
    pe.optionalSize = Little(header, 20, 2);
    pe.sectionCount = Little(header, 6, 2);
    pe.symbolsAt = Little(header, 12, 4);
    pe.symbolCount = Little(header, 16, 4);
    std::vector<unsigned char> optional;
    if (pe.optionalSize < 2 || !ReadAt(in, pe.optionalAt, 2, optional)) {
        throw LibraryOpenError("truncated module: the optional header is incomplete" + ofFile);
    }
    if (Little(optional, 0, 2) != kOptionalMagicPe32Plus) {
        throw LibraryOpenError("not a module: the file is no PE32+ image");
    }
    return pe;
}

/// Refuses a file whose section table, or a section in it, ends past its end.
void CheckSectionsInFile(std::ifstream& in, const PeHeader& pe, std::uint64_t fileSize,
                         const std::string& ofFile) {
    const std::uint64_t sectionsAt = pe.optionalAt + pe.optionalSize;
    std::vector<unsigned char> sections;
    if (sectionsAt > fileSize || pe.sectionCount * kSectionHeaderSize > fileSize - sectionsAt ||
        !ReadAt(in, sectionsAt, static_cast<std::size_t>(pe.sectionCount * kSectionHeaderSize),
                sections)) {
        throw LibraryOpenError(
            "truncated module: its section headers end past the end of the file" + ofFile);
    }
    for (std::uint64_t i = 0; i < pe.sectionCount; ++i) {
        const std::size_t base = static_cast<std::size_t>(i * kSectionHeaderSize);
        const std::uint64_t rawSize = Little(sections, base + 16, 4);
        const std::uint64_t rawAt = Little(sections, base + 20, 4);
        if (rawSize > 0 && (rawAt > fileSize || rawSize > fileSize - rawAt)) {
            throw LibraryOpenError("truncated module: section " + std::to_string(i) +
                                   " ends at byte " + std::to_string(rawAt + rawSize) +
                                   ", past the end of the file" + ofFile);
        }
    }
}

/// Refuses a file whose COFF symbol table ends past its end: the system never
/// reads it, but one cut short means the file was too.
void CheckSymbolTableInFile(std::ifstream& in, const PeHeader& pe, std::uint64_t fileSize,
                            const std::string& ofFile) {
    constexpr std::uint64_t kSymbolSize = 18;
    if (pe.symbolsAt == 0) return;
    std::vector<unsigned char> stringTableSize;
    const std::uint64_t symbolBytes = pe.symbolCount * kSymbolSize;
    if (pe.symbolsAt > fileSize || symbolBytes > fileSize - pe.symbolsAt ||
        !ReadAt(in, pe.symbolsAt + symbolBytes, 4, stringTableSize) ||
        Little(stringTableSize, 0, 4) > fileSize - pe.symbolsAt - symbolBytes) {
        throw LibraryOpenError("truncated module: its symbol table ends past the end of the file" +
                               ofFile);
    }
}

/// Throws LibraryOpenError when `file` is evidently no DLL for this host, or
/// when a part of it that the system would map lies past its end.
void CheckFile(const std::filesystem::path& file) {
    CheckModuleFileKind(file);
    std::error_code error;
    const std::uint64_t fileSize = std::filesystem::file_size(file, error);
    if (error) throw LibraryOpenError("cannot read the file: " + error.message());
    if (fileSize == 0) throw LibraryOpenError("the file is empty, not a module");
    const std::string ofFile = " (the file has " + std::to_string(fileSize) + " bytes)";

    std::ifstream in(file, std::ios::binary);
    const PeHeader pe = ReadPeHeader(in, ofFile);
    CheckSectionsInFile(in, pe, fileSize, ofFile);
    CheckSymbolTableInFile(in, pe, fileSize, ofFile);
}

/// The system's text for an error code, without its trailing line break.
// Resource enumeration callbacks collect names first: the system's strings
// are only valid during the callback.
struct ResourceKey {
    std::u16string typeName;
    std::uint16_t typeId = 0;
    std::u16string name;
    std::uint16_t nameId = 0;
};

bool IsOrdinal(LPCWSTR name) { return IS_INTRESOURCE(name); }

void KeyPart(LPCWSTR name, std::u16string& text, std::uint16_t& id) {
    if (IsOrdinal(name)) {
        id = static_cast<std::uint16_t>(reinterpret_cast<ULONG_PTR>(name));
    } else {
        text = WideToUtf16(name);
    }
}

struct Enumeration {
    std::vector<ResourceKey> types;
    std::vector<ResourceKey> names;
    std::vector<WORD> languages;
};

BOOL CALLBACK CollectType(HMODULE, LPWSTR type, LONG_PTR context) {
    auto* found = reinterpret_cast<Enumeration*>(context);
    ResourceKey key;
    KeyPart(type, key.typeName, key.typeId);
    found->types.push_back(std::move(key));
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) {
    auto* found = reinterpret_cast<Enumeration*>(context);
    ResourceKey key;
    KeyPart(name, key.name, key.nameId);
    found->names.push_back(std::move(key));
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) {
    reinterpret_cast<Enumeration*>(context)->languages.push_back(language);
    return TRUE;
}

/// The argument that names a resource type or name to the system.
std::wstring WideName(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

LPCWSTR SystemName(const std::u16string& text, std::uint16_t id, const std::wstring& wide) {
    return text.empty() ? MAKEINTRESOURCEW(id) : wide.c_str();
}

void Append16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Append32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Append16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    Append16(out, static_cast<std::uint16_t>(value >> 16));
}

void AppendNameOrOrdinal(std::vector<std::uint8_t>& out, const std::u16string& text,
                         std::uint16_t id) {
    if (text.empty()) {
        Append16(out, 0xFFFF);
        Append16(out, id);
    } else {
        for (char16_t c : text) Append16(out, static_cast<std::uint16_t>(c));
        Append16(out, 0);
    }
}

void PadToDword(std::vector<std::uint8_t>& out) {
    while (out.size() % 4 != 0) out.push_back(0);
}

/// One entry of a .res image: header (sizes, type, name, language) and data.
void AppendEntry(std::vector<std::uint8_t>& out, const ResourceKey& type, const ResourceKey& name,
                 WORD language, const void* data, DWORD size) {
    std::vector<std::uint8_t> header;
    AppendNameOrOrdinal(header, type.typeName, type.typeId);
    AppendNameOrOrdinal(header, name.name, name.nameId);
    PadToDword(header);
    Append32(header, 0);         // DataVersion
    Append16(header, 0x1030);    // MemoryFlags: moveable, pure, discardable
    Append16(header, language);  // LanguageId
    Append32(header, 0);         // Version
    Append32(header, 0);         // Characteristics
    Append32(out, size);
    Append32(out, static_cast<std::uint32_t>(header.size() + 8));
    out.insert(out.end(), header.begin(), header.end());
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
    PadToDword(out);
}

}  // namespace

DynamicLibrary DynamicLibrary::Open(const std::filesystem::path& file) {
    CheckFile(file);
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(file, error);
    if (error) path = file;
    // The module's own folder is searched for the DLLs it needs; no dialog
    // box when it cannot be loaded.
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE handle = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD code = handle == nullptr ? GetLastError() : 0;
    SetErrorMode(previousMode);
    if (handle == nullptr) {
        if (code == ERROR_DLL_INIT_FAILED) {
            throw LibraryOpenError("DllMain returned FALSE for DLL_PROCESS_ATTACH");
        }
        throw LibraryOpenError("the system loader refused it: " + detail::SystemErrorText(code));
    }
    return DynamicLibrary(handle);
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::optional<std::vector<std::uint8_t>> DynamicLibrary::ResourceSection() const {
    if (handle_ == nullptr) return std::nullopt;
    const auto module = static_cast<HMODULE>(handle_);
    // A .res image starts with an empty entry that marks the format.
    std::vector<std::uint8_t> image;
    AppendEntry(image, ResourceKey{}, ResourceKey{}, 0, nullptr, 0);

    Enumeration types;
    // A module without resources fails the enumeration: no entries then.
    EnumResourceTypesW(module, CollectType, reinterpret_cast<LONG_PTR>(&types));
    for (const ResourceKey& type : types.types) {
        const std::wstring typeWide = WideName(type.typeName);
        const LPCWSTR typeArg = SystemName(type.typeName, type.typeId, typeWide);
        Enumeration names;
        EnumResourceNamesW(module, typeArg, CollectName, reinterpret_cast<LONG_PTR>(&names));
        for (ResourceKey name : names.names) {
            name.typeName = type.typeName;
            name.typeId = type.typeId;
            const std::wstring nameWide = WideName(name.name);
            const LPCWSTR nameArg = SystemName(name.name, name.nameId, nameWide);
            Enumeration languages;
            EnumResourceLanguagesW(module, typeArg, nameArg, CollectLanguage,
                                   reinterpret_cast<LONG_PTR>(&languages));
            for (WORD language : languages.languages) {
                HRSRC found = FindResourceExW(module, typeArg, nameArg, language);
                HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
                const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
                const DWORD size = found != nullptr ? SizeofResource(module, found) : 0;
                if (data == nullptr) {
                    throw LibraryOpenError("cannot read a resource of the module: " +
                                           detail::SystemErrorText(GetLastError()));
                }
                AppendEntry(image, type, name, language, data, size);
            }
        }
    }
    return image;
}

bool DynamicLibrary::SystemCallsDllMain() { return true; }

void DynamicLibrary::Close() noexcept {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(std::exchange(handle_, nullptr)));
}

}  // namespace standin::detail
