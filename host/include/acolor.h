// Colours: Color (r, g, b) and AColor (r, g, b, a), 32-bit floats.
#pragma once

#include "maxheap.h"

class AColor;

class Color : public MaxHeapOperators {
public:
    float r, g, b;

    constexpr Color() : r(0.0f), g(0.0f), b(0.0f) {}
    constexpr Color(float red, float green, float blue) : r(red), g(green), b(blue) {}
    /// The colour part of an AColor; alpha is dropped.
    constexpr Color(const AColor& c);

    float& operator[](int i) { return i == 0 ? r : (i == 1 ? g : b); }
    float operator[](int i) const { return i == 0 ? r : (i == 1 ? g : b); }

    void Black() { r = g = b = 0.0f; }
    void White() { r = g = b = 1.0f; }
    /// Limits each component to [0, 1].
    void ClampMinMax() {
        ClampMin();
        ClampMax();
    }
    void ClampMin() {
        if (r < 0.0f) r = 0.0f;
        if (g < 0.0f) g = 0.0f;
        if (b < 0.0f) b = 0.0f;
    }
    void ClampMax() {
        if (r > 1.0f) r = 1.0f;
        if (g > 1.0f) g = 1.0f;
        if (b > 1.0f) b = 1.0f;
    }

    constexpr Color operator+(const Color& c) const { return {r + c.r, g + c.g, b + c.b}; }
    constexpr Color operator-(const Color& c) const { return {r - c.r, g - c.g, b - c.b}; }
    constexpr Color operator-() const { return {-r, -g, -b}; }
    /// Component-wise product.
    constexpr Color operator*(const Color& c) const { return {r * c.r, g * c.g, b * c.b}; }
    constexpr Color operator*(float f) const { return {r * f, g * f, b * f}; }
    constexpr Color operator/(float f) const { return {r / f, g / f, b / f}; }
    Color& operator+=(const Color& c) { return *this = *this + c; }
    Color& operator-=(const Color& c) { return *this = *this - c; }
    Color& operator*=(const Color& c) { return *this = *this * c; }
    Color& operator*=(float f) { return *this = *this * f; }
    Color& operator/=(float f) { return *this = *this / f; }
    constexpr bool operator==(const Color& c) const { return r == c.r && g == c.g && b == c.b; }
    constexpr bool operator!=(const Color& c) const { return !(*this == c); }
};

constexpr Color operator*(float f, const Color& c) { return c * f; }

class AColor : public MaxHeapOperators {
public:
    float r, g, b, a;

    /// Opaque black.
    constexpr AColor() : r(0.0f), g(0.0f), b(0.0f), a(1.0f) {}
    constexpr AColor(float red, float green, float blue, float alpha = 1.0f)
        : r(red), g(green), b(blue), a(alpha) {}
    constexpr AColor(const Color& c, float alpha = 1.0f) : r(c.r), g(c.g), b(c.b), a(alpha) {}

    float& operator[](int i) { return i == 0 ? r : (i == 1 ? g : (i == 2 ? b : a)); }
    float operator[](int i) const { return i == 0 ? r : (i == 1 ? g : (i == 2 ? b : a)); }

    void Black() {
        r = g = b = 0.0f;
        a = 1.0f;
    }
    void White() { r = g = b = a = 1.0f; }
    /// Limits each of the four components to [0, 1].
    void ClampMinMax() {
        ClampMin();
        ClampMax();
    }
    void ClampMin() {
        if (r < 0.0f) r = 0.0f;
        if (g < 0.0f) g = 0.0f;
        if (b < 0.0f) b = 0.0f;
        if (a < 0.0f) a = 0.0f;
    }
    void ClampMax() {
        if (r > 1.0f) r = 1.0f;
        if (g > 1.0f) g = 1.0f;
        if (b > 1.0f) b = 1.0f;
        if (a > 1.0f) a = 1.0f;
    }

    constexpr AColor operator+(const AColor& c) const {
        return {r + c.r, g + c.g, b + c.b, a + c.a};
    }
    constexpr AColor operator-(const AColor& c) const {
        return {r - c.r, g - c.g, b - c.b, a - c.a};
    }
    constexpr AColor operator-() const { return {-r, -g, -b, -a}; }
    /// Component-wise product.
    constexpr AColor operator*(const AColor& c) const {
        return {r * c.r, g * c.g, b * c.b, a * c.a};
    }
    constexpr AColor operator*(float f) const { return {r * f, g * f, b * f, a * f}; }
    constexpr AColor operator/(float f) const { return {r / f, g / f, b / f, a / f}; }
    AColor& operator+=(const AColor& c) { return *this = *this + c; }
    AColor& operator-=(const AColor& c) { return *this = *this - c; }
    AColor& operator*=(const AColor& c) { return *this = *this * c; }
    AColor& operator*=(float f) { return *this = *this * f; }
    AColor& operator/=(float f) { return *this = *this / f; }
    constexpr bool operator==(const AColor& c) const {
        return r == c.r && g == c.g && b == c.b && a == c.a;
    }
    constexpr bool operator!=(const AColor& c) const { return !(*this == c); }
};

constexpr AColor operator*(float f, const AColor& c) { return c * f; }

constexpr Color::Color(const AColor& c) : r(c.r), g(c.g), b(c.b) {}
