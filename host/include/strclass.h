// The host's string type: wide characters (MCHAR), with conversions to and
// from UTF-8 for printing and for text that comes from outside.
#pragma once

#include <string>

#include "maxheap.h"
#include "maxtypes.h"

class WStr : public MaxHeapOperators {
public:
    WStr() = default;
    /// Copies a null-terminated wide string; a null pointer gives the empty string.
    WStr(const wchar_t* text) : text_(text ? text : L"") {}
    WStr(const wchar_t* text, int count)
        : text_(text ? std::wstring(text, count) : std::wstring()) {}

    /// The characters, null-terminated; valid until the string changes.
    const wchar_t* data() const { return text_.c_str(); }
    /// Number of characters.
    int Length() const { return static_cast<int>(text_.size()); }
    bool isNull() const { return text_.empty(); }

    wchar_t& operator[](int i) { return text_[i]; }
    wchar_t operator[](int i) const { return text_[i]; }

    WStr& operator=(const wchar_t* text) {
        text_ = text ? text : L"";
        return *this;
    }
    WStr& operator+=(const WStr& other) {
        text_ += other.text_;
        return *this;
    }
    WStr& operator+=(const wchar_t* text) {
        if (text) text_ += text;
        return *this;
    }
    WStr operator+(const WStr& other) const { return WStr(*this) += other; }

    bool operator==(const WStr& other) const { return text_ == other.text_; }
    bool operator!=(const WStr& other) const { return text_ != other.text_; }
    bool operator<(const WStr& other) const { return text_ < other.text_; }
    bool operator==(const wchar_t* text) const { return text_ == (text ? text : L""); }
    bool operator!=(const wchar_t* text) const { return !(*this == text); }

    /// The text as UTF-8 (characters that are not valid code points become U+FFFD).
    std::string ToUTF8() const;
    /// Decodes UTF-8 text; invalid sequences become U+FFFD. A null pointer gives "".
    static WStr FromUTF8(const char* text);
    static WStr FromUTF8(const std::string& text);

private:
    std::wstring text_;
};

typedef WStr MSTR;
typedef WStr TSTR;
