"""The implicit types of plain scalars and their constructors in yaml._speedups.

The native rows (bool, float, int, merge, null, timestamp, value) and the
constructors of null, bool, int, float, timestamp, binary and str are checked
against tables of each rule's edges, and against `REFERENCE`: the rows as
Python regular expressions and the constructors in plain Python, written
from the rows' and the constructors' definitions. A generated differential
runs both over many random strings made of the characters that matter.

`REFERENCE` is the one object the differential compares with; any object
with the same two methods (for instance one over the package's own resolver
table and constructor) can take its place.
"""

import binascii
import datetime
import math
import random
import re
import sys
import unittest

from tests.support.project import OwnPackageTest, inside_repo

import yaml._speedups as speedups

T = "tag:yaml.org,2002:"
BOOL, FLOAT, INT, MERGE, NULL, TIMESTAMP, VALUE, BINARY, STR = (
    T + name for name in ("bool", "float", "int", "merge", "null", "timestamp", "value", "binary", "str"))
CONSTRUCTED = (NULL, BOOL, INT, FLOAT, TIMESTAMP)

# The rows, in the order they are tried; each must match the whole value.
IMPLICIT_ROWS = (
    (BOOL, r"yes|Yes|YES|no|No|NO|true|True|TRUE|false|False|FALSE|on|On|ON|off|Off|OFF"),
    (FLOAT, r"[-+]?[0-9][0-9_]*\.[0-9_]*(?:[eE][-+][0-9]+)?"
            r"|\.[0-9_]+(?:[eE][-+][0-9]+)?"
            r"|[-+]?[0-9][0-9_]*(?::[0-5]?[0-9])+\.[0-9_]*"
            r"|[-+]?\.(?:inf|Inf|INF)"
            r"|\.(?:nan|NaN|NAN)"),
    (INT, r"[-+]?0b[01_]+"
          r"|[-+]?0[0-7_]+"
          r"|[-+]?(?:0|[1-9][0-9_]*)"
          r"|[-+]?0x[0-9a-fA-F_]+"
          r"|[-+]?[1-9][0-9_]*(?::[0-5]?[0-9])+"),
    (MERGE, r"<<"),
    (NULL, r"~|null|Null|NULL|"),
    (TIMESTAMP, r"[0-9]{4}-[0-9]{2}-[0-9]{2}"
                r"|[0-9]{4}-[0-9]{1,2}-[0-9]{1,2}(?:[Tt]|[ \t]+)[0-9]{1,2}:[0-9]{2}:[0-9]{2}"
                r"(?:\.[0-9]*)?(?:[ \t]*(?:Z|[-+][0-9]{1,2}(?::[0-9]{2})?))?"),
    (VALUE, r"="),
)

TIMESTAMP_PARTS = re.compile(
    r"(?P<year>[0-9]{4})-(?P<month>[0-9]{1,2})-(?P<day>[0-9]{1,2})"
    r"(?:(?:[Tt]|[ \t]+)(?P<hour>[0-9]{1,2}):(?P<minute>[0-9]{2}):(?P<second>[0-9]{2})"
    r"(?:\.(?P<fraction>[0-9]*))?"
    r"(?:[ \t]*(?P<zone>Z|(?P<sign>[-+])(?P<zone_hour>[0-9]{1,2})(?::(?P<zone_minute>[0-9]{2}))?))?)?")


class Declined(Exception):
    """The value is not one the tag's native constructor takes."""


class RegexReference:
    """The rows as regular expressions and the constructors in Python.

    resolve(value): the tag of the first row matching all of `value`, or None.
    construct(tag, value): the Python value, or Declined for a value outside
    its row's form or one Python cannot hold.
    """

    BOOLS = {"yes": True, "true": True, "on": True, "no": False, "false": False, "off": False}

    def __init__(self, rows):
        self.rows = [(tag, re.compile(pattern)) for tag, pattern in rows]
        self.by_tag = dict(self.rows)

    def resolve(self, value):
        for tag, pattern in self.rows:
            if pattern.fullmatch(value):
                return tag
        return None

    def construct(self, tag, value):
        if tag == STR:
            return value
        if tag == BINARY:
            try:
                return binascii.a2b_base64(value.encode("ascii"))
            except (UnicodeEncodeError, binascii.Error) as exc:
                raise Declined(exc) from None
        if tag not in CONSTRUCTED or not self.by_tag[tag].fullmatch(value):
            raise Declined(value)
        try:
            return getattr(self, "construct_" + tag[len(T):])(value)
        except (ValueError, OverflowError) as exc:
            raise Declined(exc) from None

    def construct_null(self, value):
        return None

    def construct_bool(self, value):
        return self.BOOLS[value.lower()]

    @staticmethod
    def signed(value):
        """(sign, value without '_' and without its sign)."""
        value = value.replace("_", "")
        return (-1 if value[0] == "-" else 1), value.lstrip("+-")

    @staticmethod
    def base_60(groups, number):
        result = number(0)
        for group in groups.split(":"):
            result = result * 60 + number(group)
        return result

    def construct_int(self, value):
        sign, value = self.signed(value)
        if value == "0":
            return 0
        if value.startswith("0b"):
            return sign * int(value[2:], 2)
        if value.startswith("0x"):
            return sign * int(value[2:], 16)
        if value[0] == "0":
            return sign * int(value, 8)
        if ":" in value:
            return sign * self.base_60(value, int)
        return sign * int(value)

    def construct_float(self, value):
        sign, value = self.signed(value.lower())
        if value == ".inf":
            return sign * math.inf
        if value == ".nan":
            return math.nan
        if ":" in value:
            return sign * self.base_60(value, float)
        return sign * float(value)

    def construct_timestamp(self, value):
        parts = TIMESTAMP_PARTS.fullmatch(value)
        year, month, day = (int(parts.group(name)) for name in ("year", "month", "day"))
        if parts.group("hour") is None:
            return datetime.date(year, month, day)
        hour, minute, second = (int(parts.group(name)) for name in ("hour", "minute", "second"))
        fraction = int((parts.group("fraction") or "")[:6].ljust(6, "0"))
        zone = None
        if parts.group("sign"):
            offset = datetime.timedelta(hours=int(parts.group("zone_hour")),
                                        minutes=int(parts.group("zone_minute") or 0))
            zone = datetime.timezone(-offset if parts.group("sign") == "-" else offset)
        elif parts.group("zone"):
            zone = datetime.timezone.utc
        return datetime.datetime(year, month, day, hour, minute, second, fraction, tzinfo=zone)


REFERENCE = RegexReference(IMPLICIT_ROWS)

DECLINED = object()


def native_construct(tag, value):
    """The native constructor's value, or DECLINED."""
    try:
        return speedups._construct_scalar(tag, value)
    except ValueError as exc:
        if str(exc).startswith("the native constructor of "):
            return DECLINED
        raise


def reference_construct(tag, value):
    try:
        return REFERENCE.construct(tag, value)
    except Declined:
        return DECLINED


def same_value(a, b):
    """Equal and of one type; floats also in sign and NaN-ness, datetimes
    also in their zone."""
    if a is DECLINED or b is DECLINED:
        return a is b
    if type(a) is not type(b):
        return False
    if isinstance(a, float):
        if math.isnan(a) or math.isnan(b):
            return math.isnan(a) and math.isnan(b)
        return a == b and math.copysign(1.0, a) == math.copysign(1.0, b)
    if isinstance(a, datetime.datetime):
        return a == b and a.utcoffset() == b.utcoffset() and type(a.tzinfo) is type(b.tzinfo)
    return a == b


def utc_offset(hours=0, minutes=0):
    return datetime.timezone(datetime.timedelta(hours=hours, minutes=minutes))


def int_digit_limit():
    """The interpreter's limit on decimal digits of int(str), 0 for none."""
    get = getattr(sys, "get_int_max_str_digits", None)
    return get() if get else 0


class ProvenanceTest(OwnPackageTest):
    def test_native_module_is_ours(self):
        self.assertTrue(inside_repo(speedups.__file__), speedups.__file__)


class ResolveTableTest(OwnPackageTest):
    """Each row's edges: the native answer and the reference's, both against
    the expected tag (None: a plain str)."""

    CASES = {
        "bool": [
            *((word, BOOL) for word in ("yes", "Yes", "YES", "no", "No", "NO", "true", "True", "TRUE",
                                        "false", "False", "FALSE", "on", "On", "ON", "off", "Off", "OFF")),
            ("y", None), ("Y", None), ("n", None), ("N", None), ("yEs", None), ("tRUE", None),
            ("oN", None), ("yes ", None), (" yes", None), ("yes\0", None), ("yess", None),
            ("ｙｅｓ", None), ("o", None), ("of", None),
        ],
        "float": [
            ("1.", FLOAT), (".5", FLOAT), ("-.5", None), ("+.5", None), ("-1.5", FLOAT), ("+1.5", FLOAT),
            ("1_0.5_", FLOAT), ("1_.", FLOAT), ("._5", FLOAT), ("._", FLOAT), (".", None), ("-.", None),
            ("1e3", None), ("1.0e3", None), ("1.0e+3", FLOAT), ("1.0E-3", FLOAT), ("1.e+3", FLOAT),
            (".5e+3", FLOAT), ("-.5e+3", None), ("1.0e+", None), ("1.0e+3x", None), ("1.0e+_3", None),
            ("_1.5", None), ("1.5.5", None), ("1,5", None), ("0.0", FLOAT), ("00.5", FLOAT),
            ("190:20:30.15", FLOAT), ("-190:20:30.15", FLOAT), ("190:20:30.", FLOAT), ("0:30.5", FLOAT),
            ("190:60.5", None), ("190:7.5", FLOAT), ("190:75.5", None), ("190::30.5", None),
            ("190:20:30.15e+3", None), ("190:20.1_5", FLOAT),
            (".inf", FLOAT), (".Inf", FLOAT), (".INF", FLOAT), ("-.inf", FLOAT), ("+.INF", FLOAT),
            (".iNf", None), ("inf", None), (".infinity", None),
            (".nan", FLOAT), (".NaN", FLOAT), (".NAN", FLOAT), (".Nan", None), ("-.nan", None), ("+.nan", None),
            ("١.٥", None), ("1.5\0", None), ("1.5 ", None), (" 1.5", None),
            ("1" * 5000 + ".5", FLOAT), ("." + "5" * 5000, FLOAT), ("1" + ":30" * 500 + ".5", FLOAT),
        ],
        "int": [
            ("0", INT), ("-0", INT), ("+0", INT), ("12", INT), ("-12", INT), ("+12", INT), ("1_000", INT),
            ("1__", INT), ("_1", None), ("-", None), ("+", None), ("--1", None), ("+-1", None),
            ("0b1010", INT), ("-0b1_0", INT), ("0b_", INT), ("0b", None), ("0b2", None), ("0B1", None),
            ("017", INT), ("0_17", INT), ("0_", INT), ("00", INT), ("08", None), ("09", None), ("0o17", None),
            ("0x1F", INT), ("0x_1f", INT), ("-0xA", INT), ("0x", None), ("0xG", None), ("0X1F", None),
            ("190:20:30", INT), ("-190:20:30", INT), ("1:0", INT), ("1:5", INT), ("1:59", INT),
            ("1:60", None), ("1:", None), ("1::0", None), ("0:30", None), ("01:30", None), ("1_0:30", INT),
            ("1:3_0", None), ("1:030", None),
            ("١٢", None), ("12\0", None), ("\0", None), (" 12", None), ("12 ", None), ("1e3", None),
            ("1" * 5000, INT), ("0b" + "1" * 5000, INT), ("1" + ":59" * 500, INT),
        ],
        "merge": [("<<", MERGE), ("<", None), ("<<<", None), ("< <", None)],
        "null": [("", NULL), ("~", NULL), ("null", NULL), ("Null", NULL), ("NULL", NULL), ("nULL", None),
                 ("~~", None), ("None", None), ("null ", None), ("\0", None)],
        "timestamp": [
            ("2001-12-14", TIMESTAMP), ("2001-1-1", None), ("2001-01-1", None), ("2001-1-01", None),
            ("2001-12-14t21:59:43.10-05:00", TIMESTAMP), ("2001-12-14T21:59:43.10-05:00", TIMESTAMP),
            ("2001-12-14 21:59:43.10 -5", TIMESTAMP), ("2001-12-15T02:59:43.1Z", TIMESTAMP),
            ("2001-12-15 2:59:43.10", TIMESTAMP), ("2001-1-1 1:02:03", TIMESTAMP),
            ("2001-12-14\t21:59:43.10\t-05:30", TIMESTAMP), ("2001-12-14  \t 21:59:43", TIMESTAMP),
            ("2001-12-14 21:59:43.", TIMESTAMP), ("2001-12-14 21:59:43+5", TIMESTAMP),
            ("2001-12-14 21:59:43+05", TIMESTAMP), ("2001-12-14 21:59:43 Z", TIMESTAMP),
            ("2001-12-14 21:59:43 ", None), ("2001-12-14T 21:59:43", None), ("2001-12-14Tt21:59:43", None),
            ("2001-12-14 21:59:43+05:3", None), ("2001-12-14 21:59:43+123", None),
            ("2001-12-14 21:59:43ZZ", None), ("2001-12-14 21:59:43 z", None), ("2001-12-14 21:59", None),
            ("2001-12-14 121:59:43", None), ("2001-12-14 21:5:43", None), ("2001-12-14 21:59:4", None),
            ("2001-12-14 21:59:43.1.2", None), ("2001-12-14 21:59:43+", None), ("2001-12-14 21:59:43+:30", None),
            ("20011-12-14", None), ("201-12-14", None), ("2001-123-14", None), ("2001-12-145", None),
            ("2001/12/14", None), ("٢٠٠١-12-14", None), ("2001-12-14\0", None),
            ("2001-12-14 21:59:43." + "1" * 5000, TIMESTAMP),
        ],
        "value": [("=", VALUE), ("==", None), (" =", None)],
    }

    def test_rows(self):
        for row, cases in self.CASES.items():
            for value, tag in cases:
                with self.subTest(row=row, value=value[:40]):
                    self.assertEqual(speedups._resolve_scalar(value), tag)
                    self.assertEqual(REFERENCE.resolve(value), tag)

    def test_plain_words_stay_str(self):
        for value in ("abc", "yes please", "NaN", "Infinity", "0.5.1", "a: b", "-", "é", "x" * 10000):
            with self.subTest(value=value[:20]):
                self.assertIsNone(speedups._resolve_scalar(value))

    def test_tags_are_the_interned_constants(self):
        # The answer is one shared str per tag, not a new one per value.
        first = speedups._resolve_scalar("12")
        self.assertIs(speedups._resolve_scalar("13"), first)
        self.assertEqual(first, INT)


def sample_digits(rng, alphabet="0123456789", underscores=True):
    out = rng.choice(alphabet[1:] if rng.random() < 0.5 else alphabet)
    for _ in range(rng.randrange(0, 4)):
        out += rng.choice(alphabet + ("_" if underscores and rng.random() < 0.3 else ""))
    return out


def sample_sign(rng):
    return rng.choice(("", "", "-", "+"))


def sample_groups(rng):
    return "".join(":" + rng.choice(("", "0", "1", "5")) + rng.choice("0123456789")
                   for _ in range(rng.randrange(1, 4)))


def sample_int(rng):
    form = rng.randrange(5)
    if form == 0:
        return sample_sign(rng) + "0b" + sample_digits(rng, "01")
    if form == 1:
        return sample_sign(rng) + "0" + sample_digits(rng, "01234567")
    if form == 2:
        return sample_sign(rng) + "0x" + sample_digits(rng, "0123456789abcdefABCDEF")
    if form == 3:
        return sample_sign(rng) + rng.choice("123456789") + sample_digits(rng) + sample_groups(rng)
    return sample_sign(rng) + sample_digits(rng)


def sample_exponent(rng):
    return rng.choice(("", "", "e+1", "E-12", "e+0"))


def sample_float(rng):
    form = rng.randrange(5)
    if form == 0:
        return sample_sign(rng) + sample_digits(rng) + "." + sample_digits(rng)[:rng.randrange(3)] + sample_exponent(rng)
    if form == 1:
        return "." + sample_digits(rng) + sample_exponent(rng)
    if form == 2:
        return sample_sign(rng) + sample_digits(rng) + sample_groups(rng) + "." + sample_digits(rng)
    if form == 3:
        return sample_sign(rng) + "." + rng.choice(("inf", "Inf", "INF"))
    return "." + rng.choice(("nan", "NaN", "NAN"))


def sample_timestamp(rng):
    def two(top):
        return "%02d" % rng.randrange(0, top)

    date = "%04d-%s-%s" % (rng.randrange(0, 10000), two(14), two(33))
    if rng.random() < 0.3:
        return date
    if rng.random() < 0.5:
        date = date.replace("-0", "-")
    out = date + rng.choice(("T", "t", " ", "\t", "  ")) + str(rng.randrange(0, 26)) + ":" + two(61) + ":" + two(61)
    if rng.random() < 0.5:
        out += "." + "".join(rng.choice("0123456789") for _ in range(rng.randrange(0, 9)))
    zone = rng.choice(("", "Z", "+5", "-05", "+05:30", "-23:59", "+24", "+99:99"))
    return out + rng.choice(("", " ", "\t")) * bool(zone) + zone


SAMPLERS = (
    sample_int, sample_float, sample_timestamp,
    lambda rng: rng.choice(("yes", "No", "TRUE", "false", "On", "OFF", "y", "n")),
    lambda rng: rng.choice(("", "~", "null", "Null", "NULL", "<<", "=")),
)
CHARACTERS = ("0123456789" * 3 + "_.:-+eE" * 2 + "xbo" + "abcdefABCDEF" + "TtZz \t"
              + "infINFnaNAysYSrRuUlLO" + "~<=" + "\0é٣")


def random_text(rng):
    return "".join(rng.choice(CHARACTERS) for _ in range(rng.randrange(0, 14)))


def mutated(rng, value):
    """`value` with one character inserted, removed, replaced or repeated."""
    at = rng.randrange(len(value) + 1)
    char = rng.choice(CHARACTERS)
    return rng.choice((value[:at] + char + value[at:],
                       value[:at] + value[at + 1:],
                       value[:at] + char + value[at + 1:],
                       value[:at] + value[at:at + 1] * 2 + value[at + 1:]))


def generated_values(seed, count):
    """Random strings, members of each row's form and near misses of them."""
    rng = random.Random(seed)
    for i in range(count):
        kind = i % 3
        if kind == 0:
            yield random_text(rng)
        else:
            value = rng.choice(SAMPLERS)(rng)
            yield value if kind == 1 else mutated(rng, value)


class GeneratedDifferentialTest(OwnPackageTest):
    SEEDS = (1, 2, 3)
    COUNT = 30000

    def mismatches(self, values, check):
        found = []
        for value in values:
            problem = check(value)
            if problem:
                found.append((value, problem))
                if len(found) == 20:
                    break
        return found

    def test_resolution(self):
        for seed in self.SEEDS:
            with self.subTest(seed=seed):
                seen = set()

                def check(value):
                    native, expected = speedups._resolve_scalar(value), REFERENCE.resolve(value)
                    seen.add(expected)
                    return None if native == expected else (native, expected)

                self.assertEqual(self.mismatches(generated_values(seed, self.COUNT), check), [])
                # The values reached every row and the plain str.
                self.assertEqual(seen, {tag for tag, _ in IMPLICIT_ROWS} | {None})

    def test_construction(self):
        for seed in self.SEEDS:
            with self.subTest(seed=seed):
                outcomes = {tag: set() for tag in CONSTRUCTED}

                def check(value):
                    for tag in CONSTRUCTED:
                        native, expected = native_construct(tag, value), reference_construct(tag, value)
                        outcomes[tag].add(expected is DECLINED)
                        if not same_value(native, expected):
                            return (tag, native, expected)
                    return None

                self.assertEqual(self.mismatches(generated_values(seed, self.COUNT), check), [])
                # Every constructor both built values and declined some.
                self.assertEqual(outcomes, {tag: {True, False} for tag in CONSTRUCTED})

    def test_decimal_floats(self):
        # Decimals on both sides of the exact shortcut: up to 20 digits (2**53
        # has 16), powers of ten up to 10**±30 (10**22 is the last exact one),
        # underscores, leading and trailing zeros.
        rng = random.Random(11)
        values = []
        for _ in range(20000):
            digits = "".join(rng.choice("0123456789") for _ in range(rng.randrange(1, 21)))
            point = rng.randrange(len(digits) + 1)
            text = digits[:point] + "." + digits[point:]
            if rng.random() < 0.2:
                text = "0" * rng.randrange(1, 4) + text + "0" * rng.randrange(1, 4)
            if rng.random() < 0.2:
                at = rng.randrange(1, len(text))
                text = text[:at] + "_" + text[at:]
            if rng.random() < 0.5:
                text += rng.choice("eE") + rng.choice("-+") + str(rng.randrange(0, 31))
            values.append(rng.choice(("", "-", "+")) + text)

        def check(value):
            native, expected = native_construct(FLOAT, value), reference_construct(FLOAT, value)
            return None if same_value(native, expected) else (native, expected)

        self.assertEqual(self.mismatches(values, check), [])

    def test_base64(self):
        rng = random.Random(7)
        alphabet = "ABCXYZabcxyz0189+/" * 3 + "====" + "\n \t*-é\0"
        values = ["".join(rng.choice(alphabet) for _ in range(rng.randrange(0, 20))) for _ in range(20000)]
        outcomes = set()

        def check(value):
            native, expected = native_construct(BINARY, value), reference_construct(BINARY, value)
            outcomes.add(expected is DECLINED)
            return None if same_value(native, expected) else (native, expected)

        self.assertEqual(self.mismatches(values, check), [])
        self.assertEqual(outcomes, {True, False})


class ConstructTableTest(OwnPackageTest):
    """Each constructor's edges: the native value and the reference's, both
    against the expected value (DECLINED: left to the host constructor)."""

    CASES = {
        NULL: [("", None), ("~", None), ("null", None), ("Null", None), ("NULL", None),
               ("none", DECLINED), ("nil", DECLINED), ("~ ", DECLINED)],
        BOOL: [*((word, True) for word in ("yes", "Yes", "YES", "true", "True", "TRUE", "on", "On", "ON")),
               *((word, False) for word in ("no", "No", "NO", "false", "False", "FALSE", "off", "Off", "OFF")),
               ("y", DECLINED), ("n", DECLINED), ("yEs", DECLINED), ("1", DECLINED), ("", DECLINED)],
        INT: [
            ("0", 0), ("-0", 0), ("+12", 12), ("-12", -12), ("1_000", 1000), ("1__", 1),
            ("0b1010", 10), ("-0b1_0", -2), ("+0b_1", 1), ("017", 15), ("-017", -15), ("0_17", 15), ("0_", 0),
            ("00", 0), ("0x1F", 31), ("0x_1f", 31), ("-0xA", -10), ("0xFFFF_FFFF_FFFF_FFFF", 2 ** 64 - 1),
            ("190:20:30", 685230), ("-190:20:30", -685230), ("1:0:0", 3600), ("1_0:30", 630),
            ("9223372036854775807", 2 ** 63 - 1), ("-9223372036854775808", -2 ** 63),
            ("-9223372036854775809", -2 ** 63 - 1), ("18446744073709551615", 2 ** 64 - 1),
            ("18446744073709551616", 2 ** 64), ("0b" + "1" * 100, 2 ** 100 - 1), ("-0x" + "f" * 40, -(16 ** 40 - 1)),
            ("0" + "7" * 30, 8 ** 30 - 1), ("1" * 30 + ":30", int("1" * 30) * 60 + 30),
            ("307445734561825860:15", 2 ** 64 - 1), ("307445734561825860:16", 2 ** 64),
            ("0b_", DECLINED), ("0x_", DECLINED), ("-0x__", DECLINED),
            ("0o17", DECLINED), ("09", DECLINED), ("1.5", DECLINED), (" 12", DECLINED), ("١٢", DECLINED),
            ("12\0", DECLINED), ("", DECLINED), ("0:30", DECLINED), ("1e3", DECLINED),
        ],
        FLOAT: [
            ("1.", 1.0), (".5", 0.5), ("-1.5", -1.5), ("+1.5", 1.5), ("1_0.5_", 10.5), ("._5", 0.5),
            ("1.0e+3", 1000.0), ("1.5E-3", 0.0015), (".5e+1", 5.0), ("-0.0", -0.0), ("0.0", 0.0),
            ("1.0e+400", math.inf), ("-1.0e+400", -math.inf), ("1.0e-400", 0.0),
            ("0.1", 0.1), ("0.30000000000000004", 0.30000000000000004),
            ("190:20:30.15", (190 * 60 + 20) * 60 + 30.15), ("-1:30.5", -90.5), ("0:30.", 30.0),
            ("1_9_0:20:30.1_5", (190 * 60 + 20) * 60 + 30.15),
            (".inf", math.inf), (".Inf", math.inf), ("+.INF", math.inf), ("-.inf", -math.inf),
            (".nan", math.nan), (".NaN", math.nan), (".NAN", math.nan),
            ("1" * 400 + ".5", math.inf), ("0." + "0" * 400 + "1", 0.0),
            ("._", DECLINED), ("1e3", DECLINED), ("-.5", DECLINED), ("1", DECLINED), (".Nan", DECLINED),
            ("-.nan", DECLINED), ("inf", DECLINED), ("1.5 ", DECLINED), ("١.٥", DECLINED), ("1.5\0", DECLINED),
        ],
        TIMESTAMP: [
            ("2001-12-14", datetime.date(2001, 12, 14)),
            ("2001-12-14t21:59:43.10-05:00", datetime.datetime(2001, 12, 14, 21, 59, 43, 100000, utc_offset(-5))),
            ("2001-12-14 21:59:43.10 -5", datetime.datetime(2001, 12, 14, 21, 59, 43, 100000, utc_offset(-5))),
            ("2001-12-15T02:59:43.1Z", datetime.datetime(2001, 12, 15, 2, 59, 43, 100000, datetime.timezone.utc)),
            ("2001-12-15 2:59:43", datetime.datetime(2001, 12, 15, 2, 59, 43)),
            ("2001-1-1 1:02:03", datetime.datetime(2001, 1, 1, 1, 2, 3)),
            ("2001-12-14\t21:59:43\t+05:30", datetime.datetime(2001, 12, 14, 21, 59, 43, 0, utc_offset(5, 30))),
            ("2001-12-14 21:59:43-05:30", datetime.datetime(2001, 12, 14, 21, 59, 43, 0, utc_offset(-5, -30))),
            ("2001-12-14 21:59:43+00", datetime.datetime(2001, 12, 14, 21, 59, 43, 0, datetime.timezone.utc)),
            ("2001-12-14 21:59:43.", datetime.datetime(2001, 12, 14, 21, 59, 43)),
            ("2001-12-14 21:59:43.1234567", datetime.datetime(2001, 12, 14, 21, 59, 43, 123456)),
            ("2001-12-14 21:59:43.000001", datetime.datetime(2001, 12, 14, 21, 59, 43, 1)),
            ("2001-12-14 21:59:43." + "9" * 5000, datetime.datetime(2001, 12, 14, 21, 59, 43, 999999)),
            ("2001-12-14 21:59:43+23:59", datetime.datetime(2001, 12, 14, 21, 59, 43, 0, utc_offset(23, 59))),
            ("2001-12-14 21:59:43+05:99", datetime.datetime(2001, 12, 14, 21, 59, 43, 0, utc_offset(6, 39))),
            ("2001-12-14 21:59:43+24", DECLINED), ("2001-12-14 21:59:43-99:99", DECLINED),
            ("2001-02-29", DECLINED), ("2000-02-29", datetime.date(2000, 2, 29)), ("2001-13-01", DECLINED),
            ("0000-01-01", DECLINED), ("2001-12-14 24:00:00", DECLINED), ("2001-12-14 21:60:00", DECLINED),
            ("2001-12-14 21:59:60", DECLINED), ("2001-1-1", DECLINED), ("2001-12-14 21:59:43 ", DECLINED),
        ],
        BINARY: [
            ("aGVsbG8=", b"hello"), ("aGVs\nbG8=\n", b"hello"), ("aGV*sbG8=", b"hello"), ("", b""),
            ("YQ==", b"a"), ("YWI=", b"ab"), ("YWJj", b"abc"), ("YQ==YQ==", b"a"), ("YQ=\n=", b"a"),
            ("=YWJj", b"abc"), ("Y=WJj", b"abc"), ("\0YWJj", b"abc"),
            ("YQ", DECLINED), ("Y", DECLINED), ("YWJjZ", DECLINED), ("YQ=", DECLINED), ("aGVsbG8é", DECLINED),
        ],
        STR: [("", ""), ("abc", "abc"), ("12", "12"), ("é\0٣", "é\0٣")],
        MERGE: [("<<", DECLINED)],
        VALUE: [("=", DECLINED)],
    }

    def test_values(self):
        for tag, cases in self.CASES.items():
            for value, expected in cases:
                with self.subTest(tag=tag, value=value[:40]):
                    native = native_construct(tag, value)
                    self.assertTrue(same_value(native, expected), "native %r, expected %r" % (native, expected))
                    reference = reference_construct(tag, value)
                    self.assertTrue(same_value(reference, expected),
                                    "reference %r, expected %r" % (reference, expected))

    def test_int_digit_limit_declines(self):
        # Python's int() refuses decimal strings longer than its limit; the
        # value is left to the host constructor, which reports it.
        limit = int_digit_limit()
        if not limit:
            self.skipTest("this interpreter has no limit on int() digits")
        for value in ("1" * (limit + 1), "1" * (limit + 1) + ":30", "-" + "9" * (limit + 1)):
            with self.subTest(length=len(value)):
                self.assertIs(native_construct(INT, value), DECLINED)
                self.assertIs(reference_construct(INT, value), DECLINED)
        self.assertEqual(native_construct(INT, "1" * limit), int("1" * limit))
        # Power-of-two bases have no limit.
        self.assertEqual(native_construct(INT, "0x" + "f" * (limit + 1)), 16 ** (limit + 1) - 1)

    def test_many_base_60_groups(self):
        # Each group is one more rounding; far enough the value passes the
        # float range and is infinite, as Python's arithmetic makes it.
        for groups in (14, 20, 60, 173, 174, 200):
            value = "1" + ":30" * groups + ".5"
            with self.subTest(groups=groups):
                native, reference = native_construct(FLOAT, value), reference_construct(FLOAT, value)
                self.assertTrue(same_value(native, reference), (native, reference))
                self.assertEqual(math.isinf(native), groups > 173)

    def test_built_types(self):
        self.assertIs(type(native_construct(INT, "12")), int)
        self.assertIs(type(native_construct(BOOL, "yes")), bool)
        self.assertIs(type(native_construct(FLOAT, "1.5")), float)
        self.assertIs(type(native_construct(TIMESTAMP, "2001-12-14")), datetime.date)
        self.assertIs(type(native_construct(TIMESTAMP, "2001-12-14 1:02:03")), datetime.datetime)
        self.assertIs(type(native_construct(BINARY, "YQ==")), bytes)
        self.assertIs(native_construct(TIMESTAMP, "2001-12-14 1:02:03Z").tzinfo, datetime.timezone.utc)


class EntryPointTest(OwnPackageTest):
    """The private functions' own errors."""

    def test_errors(self):
        cases = [
            (speedups._resolve_scalar, (), {}, TypeError,
             "_resolve_scalar() takes exactly 1 positional argument (0 given)"),
            (speedups._resolve_scalar, ("a", "b"), {}, TypeError,
             "_resolve_scalar() takes exactly 1 positional argument (2 given)"),
            (speedups._resolve_scalar, (), {"valu": "a"}, TypeError,
             "_resolve_scalar() takes exactly 1 positional argument (0 given)"),
            (speedups._resolve_scalar, ("a",), {"value": "a"}, TypeError,
             "_resolve_scalar() got multiple values for keyword argument 'value'"),
            (speedups._resolve_scalar, (b"12",), {}, TypeError, "value must be a str"),
            (speedups._resolve_scalar, ("\ud800",), {}, UnicodeEncodeError, None),
            (speedups._construct_scalar, (INT,), {}, TypeError,
             "_construct_scalar() takes exactly 2 positional arguments (1 given)"),
            (speedups._construct_scalar, (INT, "1"), {"extra": 1}, TypeError,
             "_construct_scalar() got an unexpected keyword argument 'extra'"),
            (speedups._construct_scalar, (INT, 12), {}, TypeError, "value must be a str"),
            (speedups._construct_scalar, (T + "seq", "1"), {}, ValueError,
             "no native constructor for the tag 'tag:yaml.org,2002:seq'"),
            (speedups._construct_scalar, (None, "1"), {}, ValueError, "no native constructor for the tag None"),
            (speedups._construct_scalar, (INT, "1.5"), {}, ValueError,
             "the native constructor of tag:yaml.org,2002:int declines '1.5'"),
        ]
        for func, args, kwargs, error, message in cases:
            with self.subTest(func=func.__name__, args=args, kwargs=kwargs):
                with self.assertRaises(error) as cm:
                    func(*args, **kwargs)
                if message is not None:
                    self.assertEqual(str(cm.exception), message)

    def test_keywords_and_equal_tags(self):
        self.assertEqual(speedups._resolve_scalar(value="12"), INT)
        self.assertEqual(speedups._construct_scalar(value="12", tag=INT), 12)
        # A tag equal to a standard one but not the same object is known too.
        self.assertEqual(speedups._construct_scalar("".join([T, "int"]), "0x10"), 16)
        self.assertIsNone(speedups._construct_scalar(NULL, "~"))


if __name__ == "__main__":
    unittest.main()
