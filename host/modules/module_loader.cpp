#include "modules/module_loader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <utility>

#include "platform/dynamic_library.h"
#include "maxtypes.h"
#include "plugapi.h"
#include "sdk/class_directory.h"
#include "modules/embedded_resources.h"
#include "modules/instance.h"
#include "platform/utf16.h"

namespace standin {
namespace {

using DllMainFunction = BOOL (*)(HINSTANCE, ULONG, LPVOID);
using LibDescriptionFunction = const MCHAR* (*)();
using LibNumberClassesFunction = int (*)();
using LibClassDescFunction = ClassDesc* (*)(int);
using LibVersionFunction = ULONG (*)();
using LibInitializeFunction = int (*)();
using LibShutdownFunction = int (*)();

/// More classes than any module declares: a larger count is garbage, and
/// asking for each descriptor would take practically forever.
constexpr int kMaxClassesPerModule = 1024;

/// Why a module is refused; becomes a ModuleLoadError with the file's name.
class Refusal : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct EntryPoints {
    DllMainFunction dllMain = nullptr;
    LibDescriptionFunction libDescription = nullptr;
    LibNumberClassesFunction libNumberClasses = nullptr;
    LibClassDescFunction libClassDesc = nullptr;
    LibVersionFunction libVersion = nullptr;
    LibInitializeFunction libInitialize = nullptr;
    LibShutdownFunction libShutdown = nullptr;
};

template <typename Function>
void LookUp(const detail::DynamicLibrary& library, const char* name, Function& function,
            std::vector<std::string>& missing) {
    // Entry points are functions; POSIX guarantees this conversion for dlsym's result.
    function = reinterpret_cast<Function>(library.Symbol(name));
    if (function == nullptr) missing.emplace_back(name);
}

EntryPoints LookUpEntryPoints(const detail::DynamicLibrary& library) {
    EntryPoints entry;
    std::vector<std::string> missing;
    // Where the system runs DllMain, it is the module's entry point, not an export.
    const bool hostCallsDllMain = !detail::DynamicLibrary::SystemCallsDllMain();
    if (hostCallsDllMain) LookUp(library, "DllMain", entry.dllMain, missing);
    LookUp(library, "LibDescription", entry.libDescription, missing);
    LookUp(library, "LibNumberClasses", entry.libNumberClasses, missing);
    LookUp(library, "LibClassDesc", entry.libClassDesc, missing);
    LookUp(library, "LibVersion", entry.libVersion, missing);
    LookUp(library, "LibInitialize", entry.libInitialize, missing);
    LookUp(library, "LibShutdown", entry.libShutdown, missing);
    if (missing.size() == (hostCallsDllMain ? 7u : 6u)) {
        throw Refusal(std::string("not a plug-in module: it exports none of the entry points ") +
                      (hostCallsDllMain ? "DllMain, " : "") +
                      "LibDescription, LibNumberClasses, LibClassDesc, LibVersion, "
                      "LibInitialize, LibShutdown");
    }
    if (!missing.empty()) {
        std::string list;
        for (const auto& name : missing) list += (list.empty() ? "" : ", ") + name;
        throw Refusal("missing entry point" + std::string(missing.size() > 1 ? "s " : " ") + list);
    }
    return entry;
}

/// Runs `call` (a call into the module), turning an exception that escapes
/// the module into a refusal that says which call threw.
template <typename Call>
auto Guarded(const std::string& what, Call&& call) -> decltype(call()) {
    try {
        return call();
    } catch (const Refusal&) {
        throw;
    } catch (const std::exception& e) {
        throw Refusal(what + " threw an exception: " + e.what());
    } catch (...) {
        throw Refusal(what + " threw an exception");
    }
}

std::string HexVersion(ULONG version) {
    static const char* digits = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += digits[(version >> shift) & 0xF];
    return text;
}

std::string DescribeVersion(ULONG version) {
    return "release " + std::to_string(GET_MAX_RELEASE(version)) + ", API " +
           std::to_string(GET_MAX_API_NUM(version)) + ", SDK revision " +
           std::to_string(GET_MAX_SDK_REV(version)) + " (" + HexVersion(version) + ")";
}

/// "LibClassDesc(1) "Name"" for messages; the name only when the descriptor gives one.
std::string DescribeClass(ClassDesc* classDesc, int index) {
    std::string label = "LibClassDesc(" + std::to_string(index) + ")";
    try {
        if (const MCHAR* name = classDesc->InternalName(); name != nullptr) {
            label = "class \"" + WideToUtf8(name) + "\" (" + label + ")";
        }
    } catch (...) {
        // The label is for a message only; the index identifies the class.
    }
    return label;
}

/// Refuses a class whose identity another registered class already has.
void CheckRegistrable(ClassDesc* classDesc, int index) {
    const std::string label = DescribeClass(classDesc, index);
    const std::string conflict = Guarded("checking the identity of " + label, [&] {
        return ClassDirectory::Instance().RegistrationConflict(classDesc);
    });
    if (!conflict.empty()) throw Refusal(label + " cannot be registered: " + conflict);
}

std::shared_ptr<const ModuleResources> ParseResources(std::span<const std::uint8_t> image) {
    try {
        return std::make_shared<const ModuleResources>(image);
    } catch (const ResourceFormatError& e) {
        throw Refusal(std::string("malformed resources: ") + e.what());
    }
}

std::shared_ptr<const ModuleResources> ReadResources(const detail::DynamicLibrary& library) {
    std::optional<std::vector<std::uint8_t>> section;
    try {
        section = library.ResourceSection();
    } catch (const detail::LibraryOpenError& e) {
        throw Refusal(e.what());
    }
    if (section) return ParseResources(*section);
    const auto function =
        reinterpret_cast<ResourceImageFunction>(library.Symbol(kResourceImageSymbol));
    if (function == nullptr) return std::make_shared<const ModuleResources>();
    std::size_t size = 0;
    const unsigned char* image =
        Guarded(std::string(kResourceImageSymbol), [&] { return function(&size); });
    if (image == nullptr) {
        throw Refusal(std::string(kResourceImageSymbol) + " returned no resource image");
    }
    return ParseResources(std::span<const std::uint8_t>(image, size));
}

/// Libraries held by live LoadedModules, by the system's handle: opening the
/// same file twice yields the same handle, and must not attach it twice.
class OpenLibraries {
public:
    static OpenLibraries& Instance() {
        // Never destroyed: modules may be unloaded from other static destructors.
        static auto* instance = new OpenLibraries;
        return *instance;
    }

    /// Claims `handle` for `file`; refuses when another module holds it.
    void Claim(const void* handle, const std::filesystem::path& file) {
        const std::lock_guard lock(mutex_);
        const auto [it, inserted] = files_.emplace(handle, file);
        if (!inserted) {
            throw Refusal("this module is already loaded (from \"" + it->second.string() + "\")");
        }
    }

    void Release(const void* handle) noexcept {
        const std::lock_guard lock(mutex_);
        files_.erase(handle);
    }

private:
    std::mutex mutex_;
    std::map<const void*, std::filesystem::path> files_;
};

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error) && !error) return true;
    const auto normalA = std::filesystem::absolute(a, error).lexically_normal();
    const auto normalB = std::filesystem::absolute(b, error).lexically_normal();
    return normalA == normalB;
}

}  // namespace

ModuleLoadError::ModuleLoadError(std::filesystem::path file, std::string reason)
    : std::runtime_error("cannot load module \"" + file.string() + "\": " + reason),
      file_(std::move(file)),
      reason_(std::move(reason)) {}

struct LoadedModule::State {
    std::filesystem::path file;
    detail::DynamicLibrary library;
    bool claimed = false;
    EntryPoints entry;
    std::shared_ptr<const ModuleResources> resources;
    std::optional<InstanceHandle> instance;
    bool attached = false;
    bool initialized = false;
    ULONG version = 0;
    std::wstring description;
    std::vector<ClassDesc*> classes;
    std::vector<ClassDesc*> registered;

    /// Loads the module in the order the real host does; each step leaves
    /// what Close must undo should a later one fail.
    void Load();
    /// Undoes whatever Load did, in reverse; returns the problems met.
    std::vector<std::string> Close() noexcept;

private:
    void OpenLibrary();
    void Attach();
    void CheckVersion();
    void ReadClasses();
    void CheckClasses();
    void Initialize();
    void RegisterClasses();
};

void LoadedModule::State::Load() {
    OpenLibrary();
    Attach();
    // Nothing else of a module built for another release may run.
    CheckVersion();
    ReadClasses();
    // Before LibInitialize: a module with unusable classes is never initialised.
    CheckClasses();
    Initialize();
    RegisterClasses();
}

void LoadedModule::State::OpenLibrary() {
    try {
        library = detail::DynamicLibrary::Open(file);
    } catch (const detail::LibraryOpenError& e) {
        throw Refusal(e.what());
    }
    OpenLibraries::Instance().Claim(library.NativeHandle(), file);
    claimed = true;
    entry = LookUpEntryPoints(library);
    resources = ReadResources(library);
    instance.emplace(file.string(), resources, library.NativeHandle());
}

void LoadedModule::State::Attach() {
    // As on Windows, a module that refuses the attach is detached again.
    if (entry.dllMain == nullptr) return;
    attached = true;
    const BOOL attachResult = Guarded("DllMain(DLL_PROCESS_ATTACH)", [&] {
        return entry.dllMain(instance->Get(), DLL_PROCESS_ATTACH, nullptr);
    });
    if (!attachResult) throw Refusal("DllMain returned FALSE for DLL_PROCESS_ATTACH");
}

void LoadedModule::State::CheckVersion() {
    version = Guarded("LibVersion", [&] { return entry.libVersion(); });
    if (version != static_cast<ULONG>(VERSION_3DSMAX)) {
        throw Refusal("built for another host version: " + DescribeVersion(version) +
                      "; this host is " + DescribeVersion(VERSION_3DSMAX));
    }
}

void LoadedModule::State::ReadClasses() {
    const MCHAR* text = Guarded("LibDescription", [&] { return entry.libDescription(); });
    description = text ? std::wstring(text) : std::wstring();

    const int count = Guarded("LibNumberClasses", [&] { return entry.libNumberClasses(); });
    if (count <= 0) {
        throw Refusal("the module declares no classes (LibNumberClasses returned " +
                      std::to_string(count) + ")");
    }
    if (count > kMaxClassesPerModule) {
        throw Refusal("LibNumberClasses returned " + std::to_string(count) +
                      ", more classes than a module can declare (" +
                      std::to_string(kMaxClassesPerModule) + ")");
    }
    for (int i = 0; i < count; ++i) {
        const std::string call = "LibClassDesc(" + std::to_string(i) + ")";
        ClassDesc* classDesc = Guarded(call, [&] { return entry.libClassDesc(i); });
        if (classDesc == nullptr) {
            throw Refusal(call + " returned null, although LibNumberClasses reported " +
                          std::to_string(count) + " class" + (count > 1 ? "es" : ""));
        }
        classes.push_back(classDesc);
    }
}

void LoadedModule::State::CheckClasses() {
    for (std::size_t i = 0; i < classes.size(); ++i) {
        const std::string label = DescribeClass(classes[i], static_cast<int>(i));
        const auto errors = Guarded("checking the parameter blocks of " + label,
                                    [&] { return ParamBlockDefinitionErrors(classes[i]); });
        if (!errors.empty()) {
            std::string list;
            for (const auto& error : errors) list += (list.empty() ? "" : "; ") + error;
            throw Refusal(label + " has a malformed parameter block definition: " + list);
        }
    }
    for (std::size_t i = 0; i < classes.size(); ++i) {
        CheckRegistrable(classes[i], static_cast<int>(i));
    }
}

void LoadedModule::State::Initialize() {
    const int initResult = Guarded("LibInitialize", [&] { return entry.libInitialize(); });
    if (!initResult) throw Refusal("LibInitialize returned FALSE: the module asked to be unloaded");
    initialized = true;
}

void LoadedModule::State::RegisterClasses() {
    for (std::size_t i = 0; i < classes.size(); ++i) {
        // Checked again: two classes of this module may share an identity.
        CheckRegistrable(classes[i], static_cast<int>(i));
        const std::string label = DescribeClass(classes[i], static_cast<int>(i));
        Guarded("registering " + label,
                [&] { ClassDirectory::Instance().Register(classes[i], file.string()); });
        registered.push_back(classes[i]);
    }
}

std::vector<std::string> LoadedModule::State::Close() noexcept {
    std::vector<std::string> problems;
    const auto attempt = [&](const char* what, auto&& call) {
        try {
            call();
        } catch (const std::exception& e) {
            problems.push_back(std::string(what) + " threw an exception: " + e.what());
        } catch (...) {
            problems.push_back(std::string(what) + " threw an exception");
        }
    };
    for (auto it = registered.rbegin(); it != registered.rend(); ++it) {
        attempt("unregistering a class", [&] { ClassDirectory::Instance().Unregister(*it); });
    }
    registered.clear();
    if (initialized) attempt("LibShutdown", [&] { entry.libShutdown(); });
    initialized = false;
    if (attached) {
        attempt("DllMain(DLL_PROCESS_DETACH)",
                [&] { entry.dllMain(instance->Get(), DLL_PROCESS_DETACH, nullptr); });
    }
    attached = false;
    classes.clear();
    if (claimed) OpenLibraries::Instance().Release(library.NativeHandle());
    claimed = false;
    // The module's static destructors run here and may still use its handle.
    library.Close();
    instance.reset();
    return problems;
}

LoadedModule::LoadedModule(const std::filesystem::path& file) : state_(std::make_unique<State>()) {
    state_->file = file;
    try {
        state_->Load();
    } catch (const Refusal& refusal) {
        state_->Close();
        throw ModuleLoadError(file, refusal.what());
    } catch (...) {
        state_->Close();
        throw;
    }
}

LoadedModule::~LoadedModule() { Unload(); }

LoadedModule::LoadedModule(LoadedModule&& other) noexcept = default;

LoadedModule& LoadedModule::operator=(LoadedModule&& other) noexcept {
    if (this != &other) {
        Unload();
        state_ = std::move(other.state_);
    }
    return *this;
}

std::vector<std::string> LoadedModule::Unload() noexcept {
    if (!state_) return {};
    auto problems = state_->Close();
    state_.reset();
    return problems;
}

const std::filesystem::path& LoadedModule::File() const {
    static const std::filesystem::path none;
    return state_ ? state_->file : none;
}

HINSTANCE LoadedModule::Instance() const {
    return state_ && state_->instance ? state_->instance->Get() : nullptr;
}

ULONG LoadedModule::Version() const { return state_ ? state_->version : 0; }

const std::wstring& LoadedModule::Description() const {
    static const std::wstring none;
    return state_ ? state_->description : none;
}

const std::vector<ClassDesc*>& LoadedModule::Classes() const {
    static const std::vector<ClassDesc*> none;
    return state_ ? state_->classes : none;
}

std::shared_ptr<const ModuleResources> LoadedModule::Resources() const {
    return state_ ? state_->resources : nullptr;
}

ModuleLoader::~ModuleLoader() { UnloadAll(); }

LoadedModule& ModuleLoader::Load(const std::filesystem::path& file) {
    auto module = std::make_unique<LoadedModule>(file);
    modules_.push_back(std::move(module));
    return *modules_.back();
}

LoadedModule* ModuleLoader::TryLoad(const std::filesystem::path& file, std::string& error) {
    try {
        error.clear();
        return &Load(file);
    } catch (const std::exception& e) {
        error = e.what();
        return nullptr;
    }
}

bool ModuleLoader::Unload(const std::filesystem::path& file) {
    const auto it = std::find_if(modules_.begin(), modules_.end(), [&](const auto& module) {
        return SameFile(module->File(), file);
    });
    if (it == modules_.end()) return false;
    auto module = std::move(*it);
    modules_.erase(it);
    module->Unload();
    return true;
}

void ModuleLoader::UnloadAll() {
    while (!modules_.empty()) {
        auto module = std::move(modules_.back());
        modules_.pop_back();
        module->Unload();
    }
}

LoadedModule* ModuleLoader::Find(const std::filesystem::path& file) {
    for (const auto& module : modules_) {
        if (SameFile(module->File(), file)) return module.get();
    }
    return nullptr;
}

}  // namespace standin
