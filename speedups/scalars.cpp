// Constructors of null, bool, int, float, binary and str values.
#include "scalars.hpp"

#include <climits>
#include <cstdint>
#include <cstring>

#include "../module/text.hpp"

namespace ymod {
namespace {

inline Converted give(Ref value, Ref& out) {
    if (!value) return Converted::failed;
    out = std::move(value);
    return Converted::ok;
}

// A byte buffer for one conversion: inline for short values, from Python's
// allocator beyond.
class Scratch {
public:
    Scratch() = default;
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch() {
        if (data_ != small_) PyMem_Free(data_);
    }

    // Room for `size` bytes (once per buffer). Null with MemoryError set.
    char* reserve(size_t size) {
        if (size > sizeof small_) {
            data_ = static_cast<char*>(PyMem_Malloc(size));
            if (!data_) {
                data_ = small_;
                PyErr_NoMemory();
                return nullptr;
            }
        }
        return data_;
    }

private:
    char small_[64];
    char* data_ = small_;
};

// A value's bytes without its '_' separators, NUL-terminated, for Python's
// own string conversions.
class Digits {
public:
    // `prefix` (0: none) followed by [p, end) without '_'. False with
    // MemoryError set.
    bool assign(char prefix, const char* p, const char* end) {
        char* o = buffer_.reserve(static_cast<size_t>(end - p) + 2);
        if (!o) return false;
        start_ = o;
        if (prefix) *o++ = prefix;
        for (; p < end; ++p) {
            if (*p != '_') *o++ = *p;
        }
        *o = '\0';
        end_ = o;
        return true;
    }
    const char* c_str() const noexcept { return start_; }
    const char* end() const noexcept { return end_; }

private:
    Scratch buffer_;
    const char* start_ = nullptr;
    const char* end_ = nullptr;
};

inline int digit_value(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

// Accumulates the digits of [p, end) in `base`, skipping '_'. False when the
// value does not fit 64 bits; `any` tells whether there was a digit at all.
bool small_magnitude(const char* p, const char* end, unsigned base, uint64_t* out, bool* any) noexcept {
    uint64_t acc = 0;
    *any = false;
    for (; p < end; ++p) {
        if (*p == '_') continue;
        unsigned d = static_cast<unsigned>(digit_value(*p));
        if (acc > (UINT64_MAX - d) / base) return false;
        acc = acc * base + d;
        *any = true;
    }
    *out = acc;
    return true;
}

Ref signed_int(uint64_t magnitude, bool negative) {
    constexpr uint64_t kMinMagnitude = uint64_t{1} << 63;
    if (!negative) return Ref::steal(PyLong_FromUnsignedLongLong(magnitude));
    if (magnitude < kMinMagnitude) return Ref::steal(PyLong_FromLongLong(-static_cast<long long>(magnitude)));
    if (magnitude == kMinMagnitude) return Ref::steal(PyLong_FromLongLong(LLONG_MIN));
    Ref positive = Ref::steal(PyLong_FromUnsignedLongLong(magnitude));
    return positive ? Ref::steal(PyNumber_Negative(positive.get())) : Ref();
}

// Python's int(digits, base) of [p, end) without '_': the interpreter's
// limit on decimal digits declines the value.
Converted python_int(const char* p, const char* end, bool negative, int base, Ref& out) {
    Digits digits;
    if (!digits.assign(negative ? '-' : 0, p, end)) return Converted::failed;
    char* stop = nullptr;
    Ref value = Ref::steal(PyLong_FromString(digits.c_str(), &stop, base));
    if (!value) return decline_on(PyExc_ValueError);
    if (stop != digits.end()) return Converted::declined;
    out = std::move(value);
    return Converted::ok;
}

// Base 60: the groups' sum of group * 60**k, k counted from the last group.
Converted sexagesimal_int(const char* p, const char* end, bool negative, Ref& out) {
    const char* colon = static_cast<const char*>(std::memchr(p, ':', static_cast<size_t>(end - p)));
    uint64_t acc;
    bool any;
    bool small = small_magnitude(p, colon, 10, &acc, &any);
    Ref big;
    if (!small) {
        Converted first = python_int(p, colon, false, 10, big);
        if (first != Converted::ok) return first;
    }
    Ref sixty;
    const char* group = colon;
    while (group < end) {
        ++group;  // over the ':'
        const char* stop = static_cast<const char*>(std::memchr(group, ':', static_cast<size_t>(end - group)));
        if (!stop) stop = end;
        unsigned value = 0;
        for (const char* q = group; q < stop; ++q) value = value * 10 + static_cast<unsigned>(*q - '0');
        if (small && acc <= (UINT64_MAX - value) / 60) {
            acc = acc * 60 + value;
        } else {
            if (small) {
                big = Ref::steal(PyLong_FromUnsignedLongLong(acc));
                if (!big) return Converted::failed;
                small = false;
            }
            if (!sixty && !(sixty = Ref::steal(PyLong_FromLong(60)))) return Converted::failed;
            Ref scaled = Ref::steal(PyNumber_Multiply(big.get(), sixty.get()));
            Ref term = scaled ? Ref::steal(PyLong_FromUnsignedLong(value)) : Ref();
            big = term ? Ref::steal(PyNumber_Add(scaled.get(), term.get())) : Ref();
            if (!big) return Converted::failed;
        }
        group = stop;
    }
    if (small) return give(signed_int(acc, negative), out);
    if (negative) big = Ref::steal(PyNumber_Negative(big.get()));
    return give(std::move(big), out);
}

// int: '_' removed, sign, 0b binary, 0x hex, a leading 0 octal, ':' base 60.
Converted convert_int(const char* text, size_t length, Ref& out) {
    const char* p = text;
    const char* const end = text + length;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    int base = 10;
    if (end - p >= 2 && p[0] == '0' && (p[1] == 'b' || p[1] == 'x')) {
        base = p[1] == 'b' ? 2 : 16;
        p += 2;
    } else if (*p == '0') {
        base = 8;
    } else if (std::memchr(p, ':', static_cast<size_t>(end - p))) {
        return sexagesimal_int(p, end, negative, out);
    }
    uint64_t magnitude;
    bool any;
    if (small_magnitude(p, end, static_cast<unsigned>(base), &magnitude, &any)) {
        // "0b_" and "0x_" have the form and no digit: Python reads nothing.
        if (!any) return Converted::declined;
        return give(signed_int(magnitude, negative), out);
    }
    return python_int(p, end, negative, base, out);
}

// The decimal [p, end) (digits, '_', one '.', an optional exponent) when
// its digits fit 2**53 and its power of ten is exact (at most 22): one
// multiplication or division of two exact doubles, rounded once, which is
// the correctly rounded value float() gives. False for anything else.
bool exact_decimal(const char* p, const char* end, double* out) noexcept {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    uint64_t mantissa = 0;
    int significant = 0, exponent = 0;
    bool point = false, any = false;
    for (; p < end; ++p) {
        const char c = *p;
        if (c == '_') continue;
        if (c == '.') {
            if (point) return false;
            point = true;
            continue;
        }
        if (c == 'e' || c == 'E') break;
        if (c < '0' || c > '9') return false;
        any = true;
        if (point) --exponent;
        if (mantissa == 0 && c == '0') continue;  // leading zeros carry no digit
        if (++significant > 19) return false;
        mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
    }
    if (!any) return false;
    if (p < end) {
        ++p;
        const bool negative = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+')) ++p;
        int written = 0;
        for (; p < end; ++p) {
            if (*p < '0' || *p > '9' || written > 9999) return false;
            written = written * 10 + (*p - '0');
        }
        exponent += negative ? -written : written;
    }
    if (mantissa > (uint64_t{1} << 53)) return false;
    const double m = static_cast<double>(mantissa);
    if (mantissa == 0 || exponent == 0) {
        *out = m;
    } else if (exponent > 0 && exponent <= 22) {
        *out = m * kPowers[exponent];
    } else if (exponent < 0 && exponent >= -22) {
        *out = m / kPowers[-exponent];
    } else {
        return false;
    }
    return true;
}

// Python's float() of [p, end) without '_'.
Converted python_float(const char* p, const char* end, double* out) {
    if (exact_decimal(p, end, out)) return Converted::ok;
    Digits digits;
    if (!digits.assign(0, p, end)) return Converted::failed;
    char* stop = nullptr;
    double value = PyOS_string_to_double(digits.c_str(), &stop, nullptr);
    if (value == -1.0 && PyErr_Occurred()) return decline_on(PyExc_ValueError);
    if (stop != digits.end()) return Converted::declined;
    *out = value;
    return Converted::ok;
}

// Base 60 with a fraction, read as the host reads it: each group as a
// float, value = value * 60 + group from the first group on (a float past
// the range becomes infinite, as Python's does).
Converted sexagesimal_float(const char* p, const char* end, double* out) {
    double value = 0.0;
    for (;;) {
        const char* stop = static_cast<const char*>(std::memchr(p, ':', static_cast<size_t>(end - p)));
        if (!stop) stop = end;
        double group;
        Converted read = python_float(p, stop, &group);
        if (read != Converted::ok) return read;
        // Two roundings, as in Python: the build keeps them from being fused.
        value = value * 60.0;
        value = value + group;
        if (stop == end) break;
        p = stop + 1;
    }
    *out = value;
    return Converted::ok;
}

// float: '_' removed, .inf / .nan in their three cases, ':' base 60.
Converted convert_float(const char* text, size_t length, Ref& out) {
    const char* p = text;
    const char* const end = text + length;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    double value;
    if (end - p == 4 && p[0] == '.' && (p[1] == 'i' || p[1] == 'I' || p[1] == 'n' || p[1] == 'N')) {
        value = (p[1] == 'i' || p[1] == 'I') ? Py_HUGE_VAL : Py_NAN;
    } else {
        Converted read = std::memchr(p, ':', static_cast<size_t>(end - p)) ? sexagesimal_float(p, end, &value)
                                                                             : python_float(p, end, &value);
        if (read != Converted::ok) return read;
    }
    return give(Ref::steal(PyFloat_FromDouble(negative ? -value : value)), out);
}

// bool: the true words start with y, t or "on"; every other word is false.
bool bool_value(const char* text, size_t length) noexcept {
    switch (text[0]) {
    case 'y': case 'Y': case 't': case 'T': return true;
    case 'o': case 'O': return length == 2;
    default: return false;
    }
}

// binary: base64 read as Python's non-strict decoder reads it: characters
// outside the alphabet are skipped, a pad ends the data once the group it
// closes is complete, and a last group of one character ("cannot be 1 more
// than a multiple of 4") or of two or three characters without pads
// ("Incorrect padding") declines the value; so does a non-ASCII character.
Converted convert_binary(const char* text, size_t length, Ref& out) {
    static const unsigned char* const table = [] {
        static unsigned char t[256];
        std::memset(t, 0xff, sizeof t);
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (unsigned char i = 0; i < 64; ++i) t[static_cast<unsigned char>(alphabet[i])] = i;
        return t;
    }();
    for (size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) return Converted::declined;
    }
    Scratch buffer;
    unsigned char* start = reinterpret_cast<unsigned char*>(buffer.reserve((length + 3) / 4 * 3 + 1));
    if (!start) return Converted::failed;
    unsigned char* o = start;
    int quad = 0, pads = 0;
    unsigned char left = 0;
    bool closed = false;
    for (size_t i = 0; i < length && !closed; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '=') {
            if (quad >= 2 && quad + ++pads >= 4) closed = true;
            continue;
        }
        unsigned char v = table[c];
        if (v >= 64) continue;
        pads = 0;
        switch (quad) {
        case 0: left = v; quad = 1; break;
        case 1: *o++ = static_cast<unsigned char>((left << 2) | (v >> 4)); left = v & 0x0f; quad = 2; break;
        case 2: *o++ = static_cast<unsigned char>((left << 4) | (v >> 2)); left = v & 0x03; quad = 3; break;
        default: *o++ = static_cast<unsigned char>((left << 6) | v); left = 0; quad = 0; break;
        }
    }
    if (!closed && quad != 0) return Converted::declined;
    return give(Ref::steal(PyBytes_FromStringAndSize(reinterpret_cast<const char*>(start), o - start)), out);
}

}  // namespace

Converted decline_on(PyObject* kind) {
    if (PyErr_ExceptionMatches(kind)) {
        PyErr_Clear();
        return Converted::declined;
    }
    return Converted::failed;
}

Converted construct_matched(ScalarKind kind, const char* text, size_t length, Ref& out) {
    switch (kind) {
    case ScalarKind::null: return give(Ref::none(), out);
    case ScalarKind::bool_: return give(Ref::borrow(bool_value(text, length) ? Py_True : Py_False), out);
    case ScalarKind::int_: return convert_int(text, length, out);
    case ScalarKind::float_: return convert_float(text, length, out);
    case ScalarKind::timestamp: return construct_timestamp(text, length, out);
    case ScalarKind::binary: return convert_binary(text, length, out);
    case ScalarKind::str: return give(decode_text(reinterpret_cast<const unsigned char*>(text), length), out);
    case ScalarKind::merge:
    case ScalarKind::value: break;
    }
    return Converted::declined;
}

Converted construct_scalar(ScalarKind kind, const char* text, size_t length, Ref& out) {
    bool (*form)(const char*, size_t) noexcept = nullptr;
    switch (kind) {
    case ScalarKind::null: form = match_null; break;
    case ScalarKind::bool_: form = match_bool; break;
    case ScalarKind::int_: form = match_int; break;
    case ScalarKind::float_: form = match_float; break;
    case ScalarKind::timestamp: form = match_timestamp; break;
    case ScalarKind::merge: case ScalarKind::value: return Converted::declined;
    case ScalarKind::binary: case ScalarKind::str: break;
    }
    if (form && !form(text, length)) return Converted::declined;
    return construct_matched(kind, text, length, out);
}

}  // namespace ymod
