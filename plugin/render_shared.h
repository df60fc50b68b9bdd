// Values that Update writes on the host's thread while an interactive
// renderer's threads may still evaluate the map.
#pragma once

#include <atomic>
#include <type_traits>

#include "core/physical_colour.h"
#include "core/thin_film.h"

/// One value that render threads read while Update may replace it: a read
/// sees the old value or the new one, whole, and never races. Several such
/// values may mix old and new between two updates, as a host's plain fields
/// would; each stays a value the optics can use. On x86-64 a read is the
/// plain load it replaces: evaluation still locks and allocates nothing.
template <typename T>
class RenderShared {
    // Numbers and pointers only: an atomic struct may become a library call
    // (clang's generic __atomic_store), which a module cannot count on.
    static_assert(std::is_arithmetic_v<T> || std::is_pointer_v<T>);
    static_assert(std::atomic<T>::is_always_lock_free, "a render thread must never wait");

public:
    RenderShared(T value = T{}) : value_(value) {}
    RenderShared(const RenderShared&) = delete;
    RenderShared& operator=(const RenderShared&) = delete;

    T get() const { return value_.load(std::memory_order_acquire); }
    void set(T value) { value_.store(value, std::memory_order_release); }

private:
    std::atomic<T> value_;
};

/// The film stack, field by field.
class RenderSharedFilmStack {
public:
    nacrelle::FilmStack get() const {
        return {nMedium_.get(), nFilm_.get(), nInternal_.get(), thicknessMin_.get(),
                thicknessMax_.get()};
    }
    void set(const nacrelle::FilmStack& stack) {
        nMedium_.set(stack.nMedium);
        nFilm_.set(stack.nFilm);
        nInternal_.set(stack.nInternal);
        thicknessMin_.set(stack.thicknessMin);
        thicknessMax_.set(stack.thicknessMax);
    }

private:
    RenderShared<float> nMedium_, nFilm_, nInternal_, thicknessMin_, thicknessMax_;
};

/// The physical-optics options, field by field.
class RenderSharedOptics {
public:
    nacrelle::OpticsOptions get() const {
        nacrelle::OpticsOptions options;
        options.spectral = spectral_.get();
        options.physicalPhase = physicalPhase_.get();
        options.baseMetal = baseMetal_.get();
        return options;
    }
    void set(const nacrelle::OpticsOptions& options) {
        spectral_.set(options.spectral);
        physicalPhase_.set(options.physicalPhase);
        baseMetal_.set(options.baseMetal);
    }

private:
    RenderShared<bool> spectral_, physicalPhase_;
    RenderShared<int> baseMetal_;
};
