// The implicit types of plain scalars: the YAML 1.1 rows of the stock
// resolver, decided by hand-written matchers over a value's UTF-8 bytes.
//
// Every matcher takes the whole value (`length` bytes, which may hold NUL)
// and answers whether all of it has the row's form; none reads past the end.
// Every form is ASCII, so a byte of 0x80 or more never matches.
#pragma once

#include <cstddef>

#include "../module/ref.hpp"

namespace ymod {

// The standard scalar types of the loader: the resolver rows and the tags
// the native constructors know. `str` is the default (no row matched).
enum class ScalarKind : unsigned char { str, bool_, float_, int_, merge, null, timestamp, value, binary };

// The first row, in the table's order (bool, float, int, merge, null,
// timestamp, value), whose form the whole value has; `str` when none has.
ScalarKind resolve_plain(const char* text, size_t length) noexcept;

// One matcher per row, for the constructors' own checks:
//  bool       yes|Yes|YES|no|No|NO|true|True|TRUE|false|False|FALSE|on|On|ON|off|Off|OFF
//  float      [-+]?[0-9][0-9_]*\.[0-9_]*([eE][-+][0-9]+)?  |  \.[0-9_]+([eE][-+][0-9]+)?
//             | [-+]?[0-9][0-9_]*(:[0-5]?[0-9])+\.[0-9_]*  |  [-+]?\.(inf|Inf|INF)  |  \.(nan|NaN|NAN)
//  int        [-+]?(0b[01_]+ | 0[0-7_]+ | 0 | [1-9][0-9_]* | 0x[0-9a-fA-F_]+ | [1-9][0-9_]*(:[0-5]?[0-9])+)
//  merge      <<
//  null       ~|null|Null|NULL|(empty)
//  timestamp  YYYY-MM-DD  |  YYYY-M?M-D?D([Tt]|[ \t]+)H?H:MM:SS(\.[0-9]*)?([ \t]*(Z|[-+]H?H(:MM)?))?
//  value      =
bool match_bool(const char* text, size_t length) noexcept;
bool match_float(const char* text, size_t length) noexcept;
bool match_int(const char* text, size_t length) noexcept;
bool match_merge(const char* text, size_t length) noexcept;
bool match_null(const char* text, size_t length) noexcept;
bool match_timestamp(const char* text, size_t length) noexcept;
bool match_value(const char* text, size_t length) noexcept;

// Borrowed: the interned tag of a kind (names.tag_str, names.tag_bool, ...).
PyObject* scalar_tag(ScalarKind kind) noexcept;

// The kind whose tag is `tag` (an interned tag matches by pointer, any other
// str by value); false when `tag` names none of them.
bool kind_of_tag(PyObject* tag, ScalarKind* kind) noexcept;

}  // namespace ymod
