// The timestamp constructor: datetime.date for a date alone, else
// datetime.datetime, naive without a zone and aware with a fixed offset
// with one. The one unit that uses the datetime C API.
#include "scalars.hpp"

#include <datetime.h>  // after Python.h, which scalars.hpp brings

namespace ymod {
namespace {

// The number in the digits at `p`, moved over (as many as there are).
int number(const char*& p, const char* end) noexcept {
    int value = 0;
    while (p < end && *p >= '0' && *p <= '9') value = value * 10 + (*p++ - '0');
    return value;
}

inline void skip_blanks(const char*& p, const char* end) noexcept {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
}

// The zone: None, UTC for Z, else timezone(±(hours, minutes)). Python's
// timezone refuses an offset of a whole day or more: declined.
Converted zone(const char* p, const char* end, Ref& out) {
    if (p == end || *p == 'Z') {
        out = Ref::borrow(p == end ? Py_None : PyDateTime_TimeZone_UTC);
        return Converted::ok;
    }
    const bool negative = *p++ == '-';
    int seconds = number(p, end) * 3600;
    if (p < end) {
        ++p;  // ':'
        seconds += number(p, end) * 60;
    }
    if (seconds >= 24 * 3600) return Converted::declined;
    Ref offset = Ref::steal(PyDelta_FromDSU(0, negative ? -seconds : seconds, 0));
    if (!offset) return Converted::failed;
    out = Ref::steal(PyTimeZone_FromOffset(offset.get()));
    return out ? Converted::ok : Converted::failed;
}

}  // namespace

int init_timestamps() {
    PyDateTime_IMPORT;
    return PyDateTimeAPI ? 0 : -1;
}

Converted construct_timestamp(const char* text, size_t length, Ref& out) {
    const char* p = text;
    const char* const end = text + length;
    const int year = number(p, end);
    ++p;
    const int month = number(p, end);
    ++p;
    const int day = number(p, end);
    if (p == end) {
        Ref date = Ref::steal(PyDate_FromDate(year, month, day));
        if (!date) return decline_on(PyExc_ValueError);
        out = std::move(date);
        return Converted::ok;
    }
    if (*p == 'T' || *p == 't') {
        ++p;
    } else {
        skip_blanks(p, end);
    }
    const int hour = number(p, end);
    ++p;
    const int minute = number(p, end);
    ++p;
    const int second = number(p, end);
    // The fraction's first six digits, to microseconds.
    int microsecond = 0;
    if (p < end && *p == '.') {
        ++p;
        int scale = 100000;
        for (; p < end && *p >= '0' && *p <= '9'; ++p) {
            microsecond += (*p - '0') * scale;
            scale /= 10;
        }
    }
    skip_blanks(p, end);
    Ref tzinfo;
    Converted read = zone(p, end, tzinfo);
    if (read != Converted::ok) return read;
    Ref stamp = Ref::steal(PyDateTimeAPI->DateTime_FromDateAndTime(
        year, month, day, hour, minute, second, microsecond, tzinfo.get(), PyDateTimeAPI->DateTimeType));
    if (!stamp) return decline_on(PyExc_ValueError);
    out = std::move(stamp);
    return Converted::ok;
}

}  // namespace ymod
