// Text of bounded length that needs no C++ library string, so that the layers the runner
// shares build both with glibc and in the freestanding runner (musl, header-only C++).
// Longer text is cut at the capacity; the loader's messages and the names it reads are far
// shorter.
#pragma once
#include <stdint.h>
#include <string.h>

#include <string_view>

namespace qel {

class BoundedText {
  public:
    static constexpr uint32_t kCapacity = 511;

    BoundedText() = default;
    BoundedText(std::string_view text) { Append(text); }  // NOLINT: converts like a string
    BoundedText(const char* text) : BoundedText(std::string_view(text)) {}

    BoundedText& Append(std::string_view text) {
        for (char c : text)
            push_back(c);
        return *this;
    }
    BoundedText& operator+=(std::string_view text) { return Append(text); }
    BoundedText& operator+=(char c) {
        push_back(c);
        return *this;
    }
    void push_back(char c) {
        if (size_ < kCapacity) {
            data_[size_++] = c;
            data_[size_] = 0;
        }
    }
    void clear() {
        size_ = 0;
        data_[0] = 0;
    }

    const char* c_str() const { return data_; }
    uint32_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view view() const { return {data_, size_}; }
    operator std::string_view() const { return view(); }  // NOLINT: reads like a string

    friend BoundedText operator+(BoundedText left, std::string_view right) {
        return left.Append(right);
    }
    friend BoundedText operator+(BoundedText left, const char* right) { return left.Append(right); }
    friend BoundedText operator+(BoundedText left, const BoundedText& right) {
        return left.Append(right.view());
    }
    friend BoundedText operator+(std::string_view left, const BoundedText& right) {
        return BoundedText(left).Append(right.view());
    }
    friend BoundedText operator+(const char* left, const BoundedText& right) {
        return BoundedText(left).Append(right.view());
    }
    friend bool operator==(const BoundedText& left, std::string_view right) {
        return left.view() == right;
    }
    friend bool operator==(const BoundedText& left, const char* right) {
        return left.view() == std::string_view(right);
    }

  private:
    char data_[kCapacity + 1] = {};
    uint32_t size_ = 0;
};

// Whether the two texts are equal once ASCII letters are folded to one case (as Windows
// compares DLL names; as qelhost compares names people type).
inline bool EqualIgnoringAsciiCase(std::string_view left, std::string_view right) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c; };
    if (left.size() != right.size())
        return false;
    for (size_t i = 0; i < left.size(); ++i) {
        if (lower(left[i]) != lower(right[i]))
            return false;
    }
    return true;
}

// The decimal digits of `value`.
inline BoundedText Decimal(uint64_t value) {
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    BoundedText text;
    while (count > 0)
        text += digits[--count];
    return text;
}

// "0x" and the eight hexadecimal digits of `value`.
inline BoundedText Hexadecimal(uint32_t value) {
    static const char kDigits[] = "0123456789abcdef";
    BoundedText text("0x");
    for (int shift = 28; shift >= 0; shift -= 4)
        text += kDigits[(value >> shift) & 0xF];
    return text;
}

}  // namespace qel
