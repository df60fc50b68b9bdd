// Values that Update writes on the host's thread while an interactive
// renderer's threads may still evaluate the map.
#pragma once

#include <atomic>
#include <bit>
#include <cstdint>
#include <type_traits>

#include "core/colour_adjust.h"
#include "core/physical_colour.h"
#include "core/thin_film.h"

/// One value that render threads read while Update may replace it: a read
/// sees the old value or the new one, whole, and never races. Values of
/// several of these may mix old and new between two updates, as a host's
/// plain fields would; each stays a value the optics can use. On x86-64 a
/// read is the plain load it replaces: evaluation still locks and allocates
/// nothing.
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

/// Two floats in one word: one load for both.
class RenderSharedPair {
public:
    struct Floats {
        float first, second;
    };
    Floats get() const { return std::bit_cast<Floats>(bits_.get()); }
    void set(float first, float second) { bits_.set(std::bit_cast<std::uint64_t>(Floats{first, second})); }

private:
    RenderShared<std::uint64_t> bits_;
};

/// The film stack and the colour adjustment of the last update, read in
/// five words.
class RenderSharedFilm {
public:
    nacrelle::FilmStack stack() const {
        const RenderSharedPair::Floats media = media_.get(), inner = inner_.get();
        return {media.first, media.second, inner.first, inner.second, thicknessMax_.get()};
    }
    nacrelle::ColourAdjust adjust() const {
        const RenderSharedPair::Floats hueAndSaturation = hueAndSaturation_.get();
        return {hueAndSaturation.first, hueAndSaturation.second, gamma_.get()};
    }
    void set(const nacrelle::FilmStack& stack, const nacrelle::ColourAdjust& adjust) {
        media_.set(stack.nMedium, stack.nFilm);
        inner_.set(stack.nInternal, stack.thicknessMin);
        thicknessMax_.set(stack.thicknessMax);
        hueAndSaturation_.set(adjust.hueShift, adjust.saturationOffset);
        gamma_.set(adjust.gamma);
    }

private:
    RenderSharedPair media_, inner_, hueAndSaturation_;  // nMedium, nFilm; nInternal, thicknessMin
    RenderShared<float> thicknessMax_, gamma_{1.0f};
};

/// The physical-optics options in one word: a sample reads them with one
/// load, and tells the three-wavelength model, all bits 0, with one test.
class RenderSharedOptics {
public:
    struct Value {
        std::uint32_t bits;
        bool threeWavelengthModel() const { return bits == 0; }
        nacrelle::OpticsOptions options() const {
            nacrelle::OpticsOptions options;
            options.spectral = (bits & kSpectral) != 0;
            options.physicalPhase = (bits & kPhysicalPhase) != 0;
            options.baseMetal = static_cast<int>(bits >> kBaseShift);
            return options;
        }
    };
    Value get() const { return {bits_.get()}; }
    /// `options` with a base from 0 to 8, as Update makes it.
    void set(const nacrelle::OpticsOptions& options) {
        bits_.set((options.spectral ? kSpectral : 0u) | (options.physicalPhase ? kPhysicalPhase : 0u) |
                  static_cast<std::uint32_t>(options.baseMetal) << kBaseShift);
    }

private:
    static constexpr std::uint32_t kSpectral = 1, kPhysicalPhase = 2;
    static constexpr int kBaseShift = 2;
    RenderShared<std::uint32_t> bits_;
};
