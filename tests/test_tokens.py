"""Token layer: conversion table, argument orders, look-ahead, raw_scan."""

import ctypes
import unittest

from tests.support.project import own_modules

import yaml
import yaml._yaml as ext

own_modules()  # refuses a yaml or native module from outside the project

from tests.parser_helpers import ChunkedStream, GlobalsTest, plain, vtable_slot  # noqa: E402

TOKEN_CLASSES = ("StreamStartToken", "StreamEndToken", "DirectiveToken", "DocumentStartToken",
                 "DocumentEndToken", "BlockSequenceStartToken", "BlockMappingStartToken", "BlockEndToken",
                 "FlowSequenceStartToken", "FlowMappingStartToken", "FlowSequenceEndToken",
                 "FlowMappingEndToken", "KeyToken", "ValueToken", "BlockEntryToken", "FlowEntryToken",
                 "AliasToken", "AnchorToken", "TagToken", "ScalarToken")
U = "<unicode string>"


def M(index, line, column):
    return ("Mark", U, index, line, column, None, None)


def tokens(source):
    parser = yaml.CLoader(source)
    out = []
    while True:
        token = parser.get_token()
        if token is None:
            return out
        out.append(token)


class ArgumentOrderTest(GlobalsTest):
    def check(self, source, expected):
        log = self.record(*TOKEN_CLASSES)
        tokens(source)
        self.assertEqual([(name, plain(args)) for name, args in log], expected)

    def test_directives_properties_and_flow(self):
        self.check("%YAML 1.1\n%TAG !e! tag:e,2000:\n--- !e!x &a [*a, 'q', !<v> b, ! c]\n", [
            ("StreamStartToken", (M(0, 0, 0), M(0, 0, 0), None)),
            ("DirectiveToken", ("YAML", (1, 1), M(0, 0, 0), M(9, 0, 9))),
            ("DirectiveToken", ("TAG", ("!e!", "tag:e,2000:"), M(10, 1, 0), M(30, 1, 20))),
            ("DocumentStartToken", (M(31, 2, 0), M(34, 2, 3))),
            ("TagToken", (("!e!", "x"), M(35, 2, 4), M(39, 2, 8))),
            ("AnchorToken", ("a", M(40, 2, 9), M(42, 2, 11))),
            ("FlowSequenceStartToken", (M(43, 2, 12), M(44, 2, 13))),
            ("AliasToken", ("a", M(44, 2, 13), M(46, 2, 15))),
            ("FlowEntryToken", (M(46, 2, 15), M(47, 2, 16))),
            ("ScalarToken", ("q", False, M(48, 2, 17), M(51, 2, 20), "'")),
            ("FlowEntryToken", (M(51, 2, 20), M(52, 2, 21))),
            ("TagToken", ((None, "v"), M(53, 2, 22), M(57, 2, 26))),      # verbatim: no handle
            ("ScalarToken", ("b", True, M(58, 2, 27), M(59, 2, 28), "")),
            ("FlowEntryToken", (M(59, 2, 28), M(60, 2, 29))),
            ("TagToken", ((None, "!"), M(61, 2, 30), M(62, 2, 31))),      # lone "!": no handle
            ("ScalarToken", ("c", True, M(63, 2, 32), M(64, 2, 33), "")),
            ("FlowSequenceEndToken", (M(64, 2, 33), M(65, 2, 34))),
            ("StreamEndToken", (M(66, 3, 0), M(66, 3, 0))),
        ])

    def test_block_collections_and_document_end(self):
        self.check("- a\n- {b: c}\n...\n", [
            ("StreamStartToken", (M(0, 0, 0), M(0, 0, 0), None)),
            ("BlockSequenceStartToken", (M(0, 0, 0), M(0, 0, 0))),
            ("BlockEntryToken", (M(0, 0, 0), M(1, 0, 1))),
            ("ScalarToken", ("a", True, M(2, 0, 2), M(3, 0, 3), "")),
            ("BlockEntryToken", (M(4, 1, 0), M(5, 1, 1))),
            ("FlowMappingStartToken", (M(6, 1, 2), M(7, 1, 3))),
            ("KeyToken", (M(7, 1, 3), M(7, 1, 3))),
            ("ScalarToken", ("b", True, M(7, 1, 3), M(8, 1, 4), "")),
            ("ValueToken", (M(8, 1, 4), M(9, 1, 5))),
            ("ScalarToken", ("c", True, M(10, 1, 6), M(11, 1, 7), "")),
            ("FlowMappingEndToken", (M(11, 1, 7), M(12, 1, 8))),
            ("BlockEndToken", (M(13, 2, 0), M(13, 2, 0))),
            ("DocumentEndToken", (M(13, 2, 0), M(16, 2, 3))),
            ("StreamEndToken", (M(17, 3, 0), M(17, 3, 0))),
        ])

    def test_block_mapping(self):
        names = [type(t).__name__ for t in tokens("a: !!str b\n")]
        self.assertEqual(names, ["StreamStartToken", "BlockMappingStartToken", "KeyToken", "ScalarToken",
                                 "ValueToken", "TagToken", "ScalarToken", "BlockEndToken", "StreamEndToken"])
        self.assertEqual(tokens("a: !!str b\n")[5].value, ("!!", "str"))


class ScalarTest(unittest.TestCase):
    def test_plain_and_style(self):
        table = [("a", True, ""), ("'a'", False, "'"), ('"a"', False, '"'),
                 ("|\n a\n", False, "|"), (">\n a\n", False, ">")]
        for source, plain_flag, style in table:
            with self.subTest(source=source):
                token = tokens(source)[1]
                self.assertIs(token.plain, plain_flag)
                self.assertEqual(token.style, style)

    def test_value_keeps_nul_and_may_be_empty(self):
        self.assertEqual(tokens('"a\\0b"')[1].value, "a\0b")
        self.assertEqual(tokens("''")[1].value, "")


class LookAheadTest(unittest.TestCase):
    def test_peek_get(self):
        parser = yaml.CLoader("a")
        first = parser.peek_token()
        self.assertIs(parser.peek_token(), first)
        self.assertIs(parser.get_token(), first)
        self.assertIs(type(parser.get_token()), ext.ScalarToken)

    def test_after_stream_end(self):
        parser = yaml.CLoader("")
        self.assertEqual([type(parser.get_token()) for _ in range(2)],
                         [ext.StreamStartToken, ext.StreamEndToken])
        for _ in range(3):
            self.assertIsNone(parser.get_token())
            self.assertIsNone(parser.peek_token())
            self.assertIs(parser.check_token(), False)
            self.assertIs(parser.check_token(ext.StreamEndToken), False)

    def test_check_token_choices(self):
        class Sub(ext.ScalarToken):
            pass

        table = [((), True), ((ext.ScalarToken,), True), ((ext.KeyToken, ext.ScalarToken), True),
                 ((ext.KeyToken,), False), ((Sub,), False), ((yaml.tokens.Token,), False), ((None, 3), False)]
        for choices, expected in table:
            with self.subTest(choices=choices):
                parser = yaml.CLoader("a")
                parser.get_token()
                self.assertIs(parser.check_token(*choices), expected)
                self.assertIs(type(parser.get_token()), ext.ScalarToken)  # still in the slot


class RawScanTest(GlobalsTest):
    def test_counts(self):
        for source, count in (("", 2), ("a", 3), ("- a\n- b\n", 8), ("{a: b}", 8)):
            with self.subTest(source=source):
                parser = yaml.CLoader(source)
                self.assertEqual(parser.raw_scan(), count)
                self.assertEqual(parser.raw_scan(), 0)

    def test_count_of_a_long_stream_is_exact(self):
        # More tokens than a 16-bit count holds, streamed in small reads;
        # the count must equal the tokens the converting path delivers.
        data = b"[" + b", ".join(b"%d" % i for i in range(40000)) + b"]"
        count = yaml.Loader(ChunkedStream(data, chunk=4096)).raw_scan()
        self.assertIs(type(count), int)
        self.assertEqual(count, len(tokens(data)))
        # a scalar and an entry each but the last, in brackets, in a stream
        self.assertEqual(count, 2 * 40000 + 3)

    def test_builds_no_objects_and_leaves_the_slot(self):
        parser = yaml.CLoader("[a, b]")
        first = parser.peek_token()
        for name in TOKEN_CLASSES:
            self.raising(name, AssertionError(name))
        self.assertEqual(parser.raw_scan(), 6)
        self.assertIs(parser.get_token(), first)

    def test_failure(self):
        with self.assertRaises(yaml.scanner.ScannerError):
            yaml.CLoader("'a").raw_scan()


class FailureTest(GlobalsTest):
    SOURCES = {"StreamStartToken": "", "StreamEndToken": "", "DirectiveToken": "%YAML 1.1\n---",
               "DocumentStartToken": "---", "DocumentEndToken": "a\n...", "BlockSequenceStartToken": "- a",
               "BlockMappingStartToken": "a: b", "BlockEndToken": "- a", "FlowSequenceStartToken": "[]",
               "FlowMappingStartToken": "{}", "FlowSequenceEndToken": "[]", "FlowMappingEndToken": "{}",
               "KeyToken": "a: b", "ValueToken": "a: b", "BlockEntryToken": "- a", "FlowEntryToken": "[a, b]",
               "AliasToken": "*a", "AnchorToken": "&a a", "TagToken": "!t a", "ScalarToken": "a"}

    def test_each_class_raising_propagates_unchanged(self):
        for name in TOKEN_CLASSES:
            with self.subTest(name=name):
                error = KeyError(name)
                self.raising(name, error)
                parser = yaml.CLoader(self.SOURCES[name])
                with self.assertRaises(KeyError) as cm:
                    while parser.check_token():
                        parser.get_token()
                self.assertIs(cm.exception, error)
                self.doCleanups()

    def test_missing_class(self):
        self.unbind("ScalarToken")
        parser = yaml.CLoader("a")
        parser.get_token()
        with self.assertRaises(NameError) as cm:
            parser.peek_token()
        self.assertEqual(str(cm.exception), "name 'ScalarToken' is not defined")

    def test_argument_errors(self):
        parser = yaml.CLoader("")
        table = [
            (lambda: parser.get_token(1), "get_token() takes exactly 0 positional arguments (1 given)"),
            (lambda: parser.peek_token(1, 2), "peek_token() takes exactly 0 positional arguments (2 given)"),
            (lambda: parser.raw_scan(0), "raw_scan() takes exactly 0 positional arguments (1 given)"),
            (lambda: parser.get_token(a=1), "get_token() got an unexpected keyword argument 'a'"),
            (lambda: parser.peek_token(a=1), "peek_token() got an unexpected keyword argument 'a'"),
            (lambda: parser.raw_scan(a=1), "raw_scan() got an unexpected keyword argument 'a'"),
            (lambda: parser.check_token(ext.KeyToken, b=1), "check_token() got an unexpected keyword argument 'b'"),
        ]
        for call, message in table:
            with self.subTest(message=message):
                with self.assertRaises(TypeError) as cm:
                    call()
                self.assertEqual(str(cm.exception), message)
        self.assertIs(type(parser.get_token()), ext.StreamStartToken)


class RawToken(ctypes.Structure):
    _fields_ = [("bytes", ctypes.c_ubyte * 80)]

    def put(self, offset, ctype, value):
        ctype.from_buffer(self, offset).value = value


class RawRecordTest(unittest.TestCase):
    def setUp(self):
        self.convert = vtable_slot("_token_to_object", ctypes.py_object, ctypes.py_object,
                                   ctypes.POINTER(RawToken))
        self.parser = yaml.CLoader("")

    def token(self, type_value):
        token = RawToken()
        token.put(0, ctypes.c_int, type_value)
        return token

    def test_no_token_and_unknown_type(self):
        self.assertIsNone(self.convert(self.parser, ctypes.byref(self.token(0))))
        for value in (22, 99, -1):
            with self.subTest(type=value):
                with self.assertRaises(ValueError) as cm:
                    self.convert(self.parser, ctypes.byref(self.token(value)))
                self.assertEqual(str(cm.exception), "unknown token type")

    def test_any_encoding_and_any_style(self):
        self.assertIsNone(self.convert(self.parser, ctypes.byref(self.token(1))).encoding)
        value = ctypes.create_string_buffer(b"v")
        # Styles outside libyaml's enum are read as plain ints, never
        # loaded through the enum type (the sanitizer build checks that).
        table = [(0, False, None), (1, True, ""), (5, False, ">"), (6, False, None), (99, False, None),
                 (-1, False, None)]
        for style, plain_flag, style_text in table:
            with self.subTest(style=style):
                scalar = self.token(21)
                scalar.put(8, ctypes.c_void_p, ctypes.addressof(value))
                scalar.put(16, ctypes.c_size_t, 1)
                scalar.put(24, ctypes.c_int, style)
                token = self.convert(self.parser, ctypes.byref(scalar))
                self.assertEqual((token.value, token.plain, token.style), ("v", plain_flag, style_text))

    def test_encodings(self):
        table = [(1, None), (2, "utf-16-le"), (3, "utf-16-be"), (9, None)]
        for encoding, expected in table:
            with self.subTest(encoding=encoding):
                start = self.token(1)
                start.put(8, ctypes.c_int, encoding)
                self.assertEqual(self.convert(self.parser, ctypes.byref(start)).encoding, expected)


if __name__ == "__main__":
    unittest.main()
