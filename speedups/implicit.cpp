#include "implicit.hpp"

#include <cstring>

#include "../module/names.hpp"

namespace ymod {
namespace {

inline bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
inline bool is_digit_or_underscore(char c) noexcept { return is_digit(c) || c == '_'; }
inline bool is_blank(char c) noexcept { return c == ' ' || c == '\t'; }

// Whether the `length` bytes at `text` are one of the words.
template <size_t N>
inline bool one_of(const char* text, size_t length, const char* const (&words)[N]) noexcept {
    for (const char* word : words) {
        if (std::strlen(word) == length && std::memcmp(text, word, length) == 0) return true;
    }
    return false;
}

// Moves `p` over every byte for which `accept` holds; the count moved.
template <class Accept>
inline size_t skip(const char*& p, const char* end, Accept accept) noexcept {
    const char* start = p;
    while (p < end && accept(*p)) ++p;
    return static_cast<size_t>(p - start);
}

// Exactly `count` digits at `p`, moved over.
inline bool digits(const char*& p, const char* end, size_t count) noexcept {
    if (static_cast<size_t>(end - p) < count) return false;
    for (size_t i = 0; i < count; ++i) {
        if (!is_digit(p[i])) return false;
    }
    p += count;
    return true;
}

// One or two digits at `p`, moved over; how many (0: none).
inline size_t one_or_two_digits(const char*& p, const char* end) noexcept {
    if (p == end || !is_digit(*p)) return 0;
    ++p;
    if (p < end && is_digit(*p)) {
        ++p;
        return 2;
    }
    return 1;
}

// The base 60 tail (:[0-5]?[0-9])+ at `p`, moved over. Each group takes
// two digits when it can: the one-digit reading would leave a digit where
// only ':', '.' or the end may follow, so it never matches where the
// two-digit one fails.
inline bool sexagesimal_groups(const char*& p, const char* end) noexcept {
    bool any = false;
    while (p < end && *p == ':') {
        ++p;
        if (p == end || !is_digit(*p)) return false;
        p += (*p <= '5' && p + 1 < end && is_digit(p[1])) ? 2 : 1;
        any = true;
    }
    return any;
}

// An optional exponent [eE][-+][0-9]+ running to the end.
inline bool exponent_to_end(const char* p, const char* end) noexcept {
    if (p == end) return true;
    if (*p != 'e' && *p != 'E') return false;
    ++p;
    if (p == end || (*p != '-' && *p != '+')) return false;
    ++p;
    return skip(p, end, is_digit) > 0 && p == end;
}

}  // namespace

bool match_bool(const char* text, size_t length) noexcept {
    static const char* const words[] = {"yes",   "Yes",   "YES",   "no",   "No",   "NO",
                                        "true",  "True",  "TRUE",  "false", "False", "FALSE",
                                        "on",    "On",    "ON",    "off",  "Off",  "OFF"};
    return length >= 2 && length <= 5 && one_of(text, length, words);
}

bool match_float(const char* text, size_t length) noexcept {
    const char* p = text;
    const char* const end = text + length;
    if (p == end) return false;
    const bool sign = *p == '-' || *p == '+';
    if (sign) ++p;
    if (p == end) return false;
    if (*p == '.') {
        ++p;
        static const char* const infinities[] = {"inf", "Inf", "INF"};
        static const char* const nans[] = {"nan", "NaN", "NAN"};
        const size_t rest = static_cast<size_t>(end - p);
        if (one_of(p, rest, infinities)) return true;
        // Neither a not-a-number nor a number without its integer part
        // takes a sign.
        if (sign) return false;
        if (one_of(p, rest, nans)) return true;
        return skip(p, end, is_digit_or_underscore) > 0 && exponent_to_end(p, end);
    }
    if (!is_digit(*p)) return false;
    skip(p, end, is_digit_or_underscore);
    if (p == end) return false;
    if (*p == '.') {
        ++p;
        skip(p, end, is_digit_or_underscore);
        return exponent_to_end(p, end);
    }
    if (*p != ':' || !sexagesimal_groups(p, end) || p == end || *p != '.') return false;
    ++p;
    skip(p, end, is_digit_or_underscore);
    return p == end;
}

bool match_int(const char* text, size_t length) noexcept {
    const char* p = text;
    const char* const end = text + length;
    if (p < end && (*p == '-' || *p == '+')) ++p;
    if (p == end) return false;
    if (*p == '0') {
        ++p;
        if (p == end) return true;
        if (*p == 'b') {
            ++p;
            return skip(p, end, [](char c) { return c == '0' || c == '1' || c == '_'; }) > 0 && p == end;
        }
        if (*p == 'x') {
            ++p;
            auto hex = [](char c) {
                return is_digit_or_underscore(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
            };
            return skip(p, end, hex) > 0 && p == end;
        }
        skip(p, end, [](char c) { return (c >= '0' && c <= '7') || c == '_'; });
        return p == end;
    }
    if (*p < '1' || *p > '9') return false;
    skip(p, end, is_digit_or_underscore);
    if (p == end) return true;
    return *p == ':' && sexagesimal_groups(p, end) && p == end;
}

bool match_merge(const char* text, size_t length) noexcept {
    return length == 2 && text[0] == '<' && text[1] == '<';
}

bool match_null(const char* text, size_t length) noexcept {
    static const char* const words[] = {"~", "null", "Null", "NULL"};
    return length == 0 || one_of(text, length, words);
}

bool match_timestamp(const char* text, size_t length) noexcept {
    const char* p = text;
    const char* const end = text + length;
    if (!digits(p, end, 4) || p == end || *p++ != '-') return false;
    const size_t month = one_or_two_digits(p, end);
    if (month == 0 || p == end || *p++ != '-') return false;
    const size_t day = one_or_two_digits(p, end);
    if (day == 0) return false;
    // A date alone has two-digit month and day.
    if (p == end) return month == 2 && day == 2;
    if (*p == 'T' || *p == 't') {
        ++p;
    } else if (skip(p, end, is_blank) == 0) {
        return false;
    }
    if (one_or_two_digits(p, end) == 0) return false;
    if (p == end || *p++ != ':' || !digits(p, end, 2)) return false;
    if (p == end || *p++ != ':' || !digits(p, end, 2)) return false;
    if (p < end && *p == '.') {
        ++p;
        skip(p, end, is_digit);
    }
    if (p == end) return true;
    skip(p, end, is_blank);
    if (p == end) return false;
    if (*p == 'Z') return p + 1 == end;
    if (*p != '-' && *p != '+') return false;
    ++p;
    if (one_or_two_digits(p, end) == 0) return false;
    if (p == end) return true;
    return *p++ == ':' && digits(p, end, 2) && p == end;
}

bool match_value(const char* text, size_t length) noexcept { return length == 1 && text[0] == '='; }

ScalarKind resolve_plain(const char* text, size_t length) noexcept {
    // Rows are tried only under the first characters their forms can start
    // with, in the table's order.
    if (length == 0) return ScalarKind::null;
    switch (text[0]) {
    case 'y': case 'Y': case 't': case 'T': case 'f': case 'F': case 'o': case 'O':
        return match_bool(text, length) ? ScalarKind::bool_ : ScalarKind::str;
    case 'n': case 'N':
        if (match_bool(text, length)) return ScalarKind::bool_;
        return match_null(text, length) ? ScalarKind::null : ScalarKind::str;
    case '-': case '+':
        if (match_float(text, length)) return ScalarKind::float_;
        return match_int(text, length) ? ScalarKind::int_ : ScalarKind::str;
    case '.':
        return match_float(text, length) ? ScalarKind::float_ : ScalarKind::str;
    case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': case '8': case '9':
        if (match_float(text, length)) return ScalarKind::float_;
        if (match_int(text, length)) return ScalarKind::int_;
        return match_timestamp(text, length) ? ScalarKind::timestamp : ScalarKind::str;
    case '<':
        return match_merge(text, length) ? ScalarKind::merge : ScalarKind::str;
    case '~':
        return match_null(text, length) ? ScalarKind::null : ScalarKind::str;
    case '=':
        return match_value(text, length) ? ScalarKind::value : ScalarKind::str;
    default:
        return ScalarKind::str;
    }
}

namespace {

struct TagRow {
    ScalarKind kind;
    PyObject* const* tag;
};

const TagRow tag_rows[] = {
    {ScalarKind::str, &names.tag_str},         {ScalarKind::bool_, &names.tag_bool},
    {ScalarKind::float_, &names.tag_float},    {ScalarKind::int_, &names.tag_int},
    {ScalarKind::merge, &names.tag_merge},     {ScalarKind::null, &names.tag_null},
    {ScalarKind::timestamp, &names.tag_timestamp}, {ScalarKind::value, &names.tag_value},
    {ScalarKind::binary, &names.tag_binary},
};

}  // namespace

PyObject* scalar_tag(ScalarKind kind) noexcept { return *tag_rows[static_cast<int>(kind)].tag; }

bool kind_of_tag(PyObject* tag, ScalarKind* kind) noexcept {
    for (const TagRow& row : tag_rows) {
        if (*row.tag == tag) {
            *kind = row.kind;
            return true;
        }
    }
    if (!PyUnicode_Check(tag)) return false;
    for (const TagRow& row : tag_rows) {
        if (PyUnicode_Compare(tag, *row.tag) == 0) {
            *kind = row.kind;
            return true;
        }
    }
    return false;
}

}  // namespace ymod
