"""Turns composed node graphs into Python objects.

`BaseConstructor` builds str, list and dict from scalars, sequences and
mappings whatever their tags. `SafeConstructor` builds the standard YAML 1.1
types and refuses every other tag; no tag makes it import anything or call
code the program did not register itself.

Objects are kept per document in a memo keyed by node, so a node reached
through several aliases gives one shared object and an alias bomb costs
time linear in its text. Collections are built in two steps, the empty
container first and its contents afterwards, so a node that refers back to
an ancestor gets the very object being built. The built-in collections are
filled by an explicit work stack, not by recursion, so nesting as deep as
the parser accepts never exhausts the interpreter's stack.
"""

import base64
import binascii
import datetime
import math
import re
import types
import weakref

from .error import MarkedYAMLError
from .nodes import MappingNode, ScalarNode, SequenceNode
from .resolver import IMPLICIT_PATTERNS

_TAG = "tag:yaml.org,2002:"
_NOTHING = object()



def _first_yield(generator, node):
    """The object a two-step constructor yields before filling it in."""
    data = next(generator, _NOTHING)
    if data is _NOTHING:
        raise ConstructorError(None, None,
                               "the constructor for the tag %r yielded no object"
                               % (node.tag,), node.start_mark)
    return data

class ConstructorError(MarkedYAMLError):
    """A node that cannot be turned into a Python object."""


def _children(node):
    """Nodes a built-in collection needs before it is filled."""
    if isinstance(node, SequenceNode):
        return list(node.value)
    if isinstance(node, MappingNode):
        return [n for pair in node.value for n in pair]
    return []


def _pair_children(node):
    """The keys and values inside an omap's or pairs' one-entry mappings."""
    found = []
    if isinstance(node, SequenceNode):
        for item in node.value:
            if isinstance(item, MappingNode):
                found.extend(n for pair in item.value for n in pair)
    return found


def _two_step(children):
    """Marks a generator constructor whose node's `children(node)` are
    built by the work stack before the generator fills its object."""
    def mark(function):
        function.yaml_children = children
        return function
    return mark


class BaseConstructor:
    """Builds str, list and dict, whatever the tags say."""

    yaml_constructors = {}
    yaml_multi_constructors = {}

    def __init__(self):
        self.constructed_objects = {}
        self.recursive_objects = {}

    # -- documents ---------------------------------------------------------

    def check_data(self):
        """True while another document follows."""
        return self.check_node()

    def get_data(self):
        """The next document's data (None at the end of the stream)."""
        if self.check_node():
            return self.construct_document(self.get_node())
        return None

    def get_single_data(self):
        """The data of the stream's only document; None for no document."""
        node = self.get_single_node()
        if node is not None:
            return self.construct_document(node)
        return None

    def construct_document(self, node):
        try:
            return self.construct_object(node)
        finally:
            self.constructed_objects = {}
            self.recursive_objects = {}

    # -- registration ------------------------------------------------------

    @classmethod
    def add_constructor(cls, tag, constructor):
        """constructor(loader, node) -> object builds nodes tagged `tag`.

        A generator function may yield the (empty) object first and fill it
        afterwards: recursive documents then reach the object while it is
        filled. `tag` None registers the fallback for every unknown tag.
        Only `cls` and its subclasses are affected.
        """
        if "yaml_constructors" not in cls.__dict__:
            cls.yaml_constructors = dict(cls.yaml_constructors)
        cls.yaml_constructors[tag] = constructor
        _PLANS.clear()

    @classmethod
    def add_multi_constructor(cls, tag_prefix, multi_constructor):
        """multi_constructor(loader, tag_suffix, node) -> object builds nodes
        whose tag starts with `tag_prefix` (None: every unknown tag, the
        suffix then being the whole tag)."""
        if "yaml_multi_constructors" not in cls.__dict__:
            cls.yaml_multi_constructors = dict(cls.yaml_multi_constructors)
        cls.yaml_multi_constructors[tag_prefix] = multi_constructor
        _PLANS.clear()

    # -- objects -----------------------------------------------------------

    def _constructor_for(self, node):
        """A callable(node) for the node's tag."""
        tag = node.tag
        found = self.yaml_constructors.get(tag)
        if found is not None:
            return _bind(found, self)
        for prefix, multi in self.yaml_multi_constructors.items():
            if prefix is not None and isinstance(tag, str) and tag.startswith(prefix):
                return _bind_multi(multi, self, tag[len(prefix):])
        if None in self.yaml_multi_constructors:
            return _bind_multi(self.yaml_multi_constructors[None], self, tag)
        if None in self.yaml_constructors:
            return _bind(self.yaml_constructors[None], self)
        return _bind(type(self).construct_undefined, self)

    def construct_object(self, node, deep=False):
        """The object for `node`, built once per document.

        `deep` is accepted for callers written against the two-step API:
        objects come back complete except where the document loops back to
        an object still being built.
        """
        done = self.constructed_objects
        if node in done:
            return done[node]
        plan = _PLANS.get(type(self), _NOTHING)
        if plan is _NOTHING:
            plan = _plan(type(self))
        if plan is not None:
            return self._construct_planned(node, plan)
        stack = [(node, None)]
        while stack:
            current, filling = stack.pop()
            if filling is not None:
                for _ in filling:
                    pass
                del self.recursive_objects[current]
                continue
            if current in done:
                continue
            if current in self.recursive_objects:
                raise ConstructorError(None, None,
                                       "found unconstructable recursive node",
                                       current.start_mark)
            build = self._constructor_for(current)
            self.recursive_objects[current] = None
            data = build(current)
            if isinstance(data, types.GeneratorType):
                generator = data
                data = _first_yield(generator, current)
                done[current] = data
                children = getattr(build, "yaml_children", None)
                if children is not None:
                    stack.append((current, generator))
                    for child in reversed(children(current)):
                        if child not in done:
                            stack.append((child, None))
                    continue
                for _ in generator:
                    pass
            done[current] = data
            del self.recursive_objects[current]
        return done[node]

    def _construct_planned(self, node, plan):
        """construct_object for the stock classes' own constructors: the
        same objects built in the same order, with the work of the common
        tags done here rather than through a bound generator per node."""
        codes, default, merging = plan
        done = self.constructed_objects
        building = self.recursive_objects
        stack = [(node, None)]
        pop = stack.pop
        push = stack.append
        while stack:
            current, filling = pop()
            if filling is not None:
                if filling is _FILL_LIST:
                    done[current].extend([done[child] for child in current.value])
                elif filling is _FILL_DICT:
                    self._fill_dict(current, merging)
                else:
                    for _ in filling:
                        pass
                del building[current]
                continue
            if current in done:
                continue
            if current in building:
                raise ConstructorError(None, None,
                                       "found unconstructable recursive node",
                                       current.start_mark)
            code = codes.get(current.tag, default)
            kind = current.__class__
            if code is _ANY:
                code = _KIND_CODES.get(kind)
            if code is not None:
                if kind is ScalarNode:
                    value = current.value
                    if code is _STR:
                        done[current] = value
                        continue
                    if value.__class__ is not str:
                        pass
                    elif code is _INT:
                        if (value.isdigit() and value.isascii()
                                and (value[0] != "0" or value == "0")):
                            done[current] = int(value)
                            continue
                    elif code is _FLOAT:
                        if _SIMPLE_FLOAT(value):
                            done[current] = float(value)
                            continue
                    elif code is _BOOL:
                        found = _BOOL_TEXT.get(value)
                        if found is not None:
                            done[current] = found
                            continue
                    elif code is _NULL:
                        if value in _NULL_TEXT:
                            done[current] = None
                            continue
                elif kind is SequenceNode and code is _LIST:
                    done[current] = []
                    building[current] = None
                    push((current, _FILL_LIST))
                    for child in reversed(current.value):
                        if child not in done:
                            # A str scalar can neither fail nor run code, so
                            # building it now rather than in turn is the same.
                            if (child.__class__ is ScalarNode
                                    and codes.get(child.tag, default) in _PURE):
                                done[child] = child.value
                            else:
                                push((child, None))
                    continue
                elif kind is MappingNode and code is _DICT:
                    done[current] = {}
                    building[current] = None
                    push((current, _FILL_DICT))
                    for pair in reversed(current.value):
                        for child in reversed(pair):
                            if child not in done:
                                if (child.__class__ is ScalarNode
                                        and codes.get(child.tag, default) in _PURE):
                                    done[child] = child.value
                                else:
                                    push((child, None))
                    continue
            build = self._constructor_for(current)
            building[current] = None
            data = build(current)
            if isinstance(data, types.GeneratorType):
                generator = data
                data = _first_yield(generator, current)
                done[current] = data
                children = getattr(build, "yaml_children", None)
                if children is not None:
                    push((current, generator))
                    for child in reversed(children(current)):
                        if child not in done:
                            push((child, None))
                    continue
                for _ in generator:
                    pass
            done[current] = data
            del building[current]
        return done[node]

    def _fill_dict(self, node, merging):
        """Fills the dict made for a mapping node whose keys and values are
        all built, as construct_mapping would."""
        data = self.constructed_objects[node]
        pairs = node.value
        if merging:
            merge_tag = _TAG + "merge"
            for key_node, _ in pairs:
                if key_node.tag == merge_tag:
                    data.update(self.construct_mapping(node))
                    return
        done = self.constructed_objects
        filled = {}
        for key_node, value_node in pairs:
            key = done[key_node]
            try:
                filled[key] = done[value_node]
            except TypeError:
                self._check_hashable(node, key_node, key)
                raise
        data.update(filled)

    def construct_undefined(self, node):
        raise ConstructorError(None, None,
                               "could not determine a constructor for the tag %r"
                               % (node.tag,), node.start_mark)

    def construct_scalar(self, node):
        if not isinstance(node, ScalarNode):
            raise ConstructorError(None, None,
                                   "expected a scalar node, but found %s" % node.id,
                                   node.start_mark)
        return node.value

    def construct_sequence(self, node, deep=False):
        if not isinstance(node, SequenceNode):
            raise ConstructorError(None, None,
                                   "expected a sequence node, but found %s" % node.id,
                                   node.start_mark)
        return [self.construct_object(child) for child in node.value]

    def construct_pairs(self, node, deep=False):
        """A mapping node as a list of (key, value), repeats kept."""
        self._expect_mapping(node)
        return [(self.construct_object(k), self.construct_object(v))
                for k, v in node.value]

    def construct_mapping(self, node, deep=False):
        self._expect_mapping(node)
        mapping = {}
        for key_node, value_node in node.value:
            key = self.construct_object(key_node)
            self._check_hashable(node, key_node, key)
            mapping[key] = self.construct_object(value_node)
        return mapping

    def _expect_mapping(self, node):
        if not isinstance(node, MappingNode):
            raise ConstructorError(None, None,
                                   "expected a mapping node, but found %s" % node.id,
                                   node.start_mark)

    @staticmethod
    def _check_hashable(node, key_node, key):
        try:
            hash(key)
        except TypeError as exc:
            raise ConstructorError("while constructing a mapping", node.start_mark,
                                   "found unhashable key (%s)" % exc,
                                   key_node.start_mark) from exc

    # -- the fallback: structure only --------------------------------------

    @_two_step(_children)
    def construct_by_kind(self, node):
        """str, list or dict by the node's kind, whatever its tag."""
        if isinstance(node, ScalarNode):
            yield self.construct_scalar(node)
        elif isinstance(node, SequenceNode):
            data = []
            yield data
            data.extend(self.construct_sequence(node))
        else:
            data = {}
            yield data
            data.update(self.construct_mapping(node))


# What construct_object does for a node whose tag has one of the stock
# constructors, decided once per loader class: _PLANS maps the class to
# (tag -> code, code for other tags, whether mappings take merge keys), or to
# None where the class changes a method those constructors rely on, which
# sends every node down the general path. Any registration clears it.
# Weak: a loader or dumper class made on the fly must still be freed.
_PLANS = weakref.WeakKeyDictionary()
_STR, _INT, _FLOAT, _BOOL, _NULL, _LIST, _DICT, _ANY = (
    "str", "int", "float", "bool", "null", "list", "dict", "any")
# Codes whose scalar is its own text.
_PURE = frozenset((_STR, _ANY))
_FILL_LIST = object()
_FILL_DICT = object()
_KIND_CODES = {ScalarNode: _STR, SequenceNode: _LIST, MappingNode: _DICT}
_BOOL_TEXT = {"yes": True, "Yes": True, "YES": True, "true": True,
              "True": True, "TRUE": True, "on": True, "On": True, "ON": True,
              "no": False, "No": False, "NO": False, "false": False,
              "False": False, "FALSE": False, "off": False, "Off": False,
              "OFF": False}
_NULL_TEXT = frozenset(("~", "null", "Null", "NULL", ""))
# Floats that float() reads exactly as construct_yaml_float would.
_SIMPLE_FLOAT = re.compile(r"[-+]?[0-9]+\.[0-9]*").fullmatch

# The methods the inlined work stands for; a class that overrides one of
# them is built the general way.
_RELIED_ON = ("construct_object", "_constructor_for", "construct_scalar",
              "construct_sequence", "construct_mapping", "_check",
              "_check_hashable", "_expect_mapping", "_merge_sources",
              "construct_yaml_str", "construct_yaml_int",
              "construct_yaml_float", "construct_yaml_bool",
              "construct_yaml_null", "construct_yaml_seq",
              "construct_yaml_map", "construct_by_kind")


def _plan(cls):
    plan = None
    stock = SafeConstructor if issubclass(cls, SafeConstructor) else BaseConstructor
    if all(getattr(cls, name, None) is getattr(stock, name, None)
           for name in _RELIED_ON):
        functions = {
            SafeConstructor.construct_yaml_str: _STR,
            SafeConstructor.construct_yaml_int: _INT,
            SafeConstructor.construct_yaml_float: _FLOAT,
            SafeConstructor.construct_yaml_bool: _BOOL,
            SafeConstructor.construct_yaml_null: _NULL,
            SafeConstructor.construct_yaml_seq: _LIST,
            SafeConstructor.construct_yaml_map: _DICT,
            BaseConstructor.construct_by_kind: _ANY,
        }
        codes = {tag: functions.get(function)
                 for tag, function in cls.yaml_constructors.items()
                 if tag is not None}
        # Tags without an exact constructor: the fallback decides, unless a
        # multi-constructor may claim them first.
        default = None
        if not cls.yaml_multi_constructors:
            default = functions.get(cls.yaml_constructors.get(None))
        plan = (codes, default, stock is SafeConstructor)
    _PLANS[cls] = plan
    return plan


def _bind(function, loader):
    def bound(node):
        return function(loader, node)
    children = getattr(function, "yaml_children", None)
    if children is not None:
        bound.yaml_children = children
    return bound


def _bind_multi(function, loader, suffix):
    return lambda node: function(loader, suffix, node)


BaseConstructor.add_constructor(None, BaseConstructor.construct_by_kind)


class SafeConstructor(BaseConstructor):
    """The standard YAML 1.1 types; unknown tags are refused."""

    def _check(self, node, kind, text):
        """The scalar's text if it matches the implicit pattern of `kind`."""
        value = self.construct_scalar(node)
        if not IMPLICIT_PATTERNS[kind].fullmatch(value):
            raise ConstructorError("while constructing %s" % text, node.start_mark,
                                   "invalid value %r" % (value,), node.start_mark)
        return value

    def construct_yaml_null(self, node):
        self._check(node, "null", "a null")
        return None

    _BOOLS = {"yes": True, "Yes": True, "YES": True, "true": True,
              "True": True, "TRUE": True, "on": True, "On": True, "ON": True,
              "no": False, "No": False, "NO": False, "false": False,
              "False": False, "FALSE": False, "off": False, "Off": False,
              "OFF": False,
              # Taken only when tagged explicitly: see the resolver.
              "y": True, "Y": True, "n": False, "N": False}

    def construct_yaml_bool(self, node):
        value = self.construct_scalar(node)
        try:
            return self._BOOLS[value]
        except KeyError:
            raise ConstructorError("while constructing a boolean", node.start_mark,
                                   "invalid value %r" % (value,), node.start_mark) from None

    def construct_yaml_int(self, node):
        value = self._check(node, "int", "an integer").replace("_", "")
        sign = 1
        if value[0] in "+-":
            sign = -1 if value[0] == "-" else 1
            value = value[1:]
        if value.startswith("0b"):
            return sign * int(value[2:], 2)
        if value.startswith("0x"):
            return sign * int(value[2:], 16)
        if value.startswith("0o"):
            return sign * int(value[2:], 8)
        if value == "0":
            return 0
        if value.startswith("0"):
            return sign * int(value, 8)
        if ":" in value:
            return sign * _sexagesimal(value.split(":"))
        return sign * int(value)

    def construct_yaml_float(self, node):
        if IMPLICIT_PATTERNS["int"].fullmatch(self.construct_scalar(node)):
            return float(self.construct_yaml_int(node))   # !!float 1
        value = self._check(node, "float", "a float").replace("_", "").lower()
        sign = 1.0
        if value[0] in "+-":
            sign = -1.0 if value[0] == "-" else 1.0
            value = value[1:]
        if value == ".inf":
            return sign * math.inf
        if value == ".nan":
            return math.nan
        if ":" in value:
            digits = value.split(":")
            return sign * _sexagesimal(digits[:-1] + ["0"]) + sign * float(digits[-1])
        return sign * float(value)

    def construct_yaml_binary(self, node):
        value = self.construct_scalar(node)
        try:
            return base64.b64decode(value.encode("ascii"), validate=False)
        except (UnicodeEncodeError, binascii.Error, ValueError) as exc:
            raise ConstructorError("while constructing binary data", node.start_mark,
                                   "invalid base64 data: %s" % exc,
                                   node.start_mark) from None

    def construct_yaml_timestamp(self, node):
        value = self._check(node, "timestamp", "a timestamp")
        try:
            return _timestamp(value)
        except ValueError as exc:   # a day or hour out of range
            raise ConstructorError("while constructing a timestamp", node.start_mark,
                                   "invalid value %r (%s)" % (value, exc),
                                   node.start_mark) from None

    def construct_yaml_str(self, node):
        return self.construct_scalar(node)

    @_two_step(_children)
    def construct_yaml_seq(self, node):
        data = []
        yield data
        data.extend(self.construct_sequence(node))

    @_two_step(_children)
    def construct_yaml_map(self, node):
        data = {}
        yield data
        data.update(self.construct_mapping(node))

    @_two_step(_children)
    def construct_yaml_set(self, node):
        data = set()
        yield data
        data.update(self.construct_mapping(node))

    @_two_step(_pair_children)
    def construct_yaml_omap(self, node):
        """An ordered mapping: a dict in document order; keys are unique."""
        data = {}
        yield data
        for key_node, key, value in self._single_pairs(node, "an ordered map"):
            self._check_hashable(node, key_node, key)
            if key in data:
                raise ConstructorError("while constructing an ordered map",
                                       node.start_mark, "found a repeated key",
                                       key_node.start_mark)
            data[key] = value

    @_two_step(_pair_children)
    def construct_yaml_pairs(self, node):
        """Pairs: a list of (key, value) tuples in order, repeats kept."""
        data = []
        yield data
        data.extend((key, value) for _, key, value
                    in self._single_pairs(node, "pairs"))

    def _single_pairs(self, node, what):
        if not isinstance(node, SequenceNode):
            raise ConstructorError("while constructing %s" % what, node.start_mark,
                                   "expected a sequence, but found %s" % node.id,
                                   node.start_mark)
        found = []
        for item in node.value:
            if not isinstance(item, MappingNode):
                raise ConstructorError("while constructing %s" % what, node.start_mark,
                                       "expected a mapping of length 1, but found %s"
                                       % item.id, item.start_mark)
            if len(item.value) != 1:
                raise ConstructorError("while constructing %s" % what, node.start_mark,
                                       "expected a mapping of length 1, but found a "
                                       "mapping of length %d" % len(item.value),
                                       item.start_mark)
            ((key_node, value_node),) = item.value
            found.append((key_node, self.construct_object(key_node),
                          self.construct_object(value_node)))
        return found

    def construct_mapping(self, node, deep=False):
        """A dict, with `<<` merge keys applied: the mapping's own keys win
        over merged ones, and earlier merged mappings over later ones."""
        self._expect_mapping(node)
        merged = {}
        own = []
        for key_node, value_node in node.value:
            if key_node.tag == _TAG + "merge":
                for source in self._merge_sources(node, value_node):
                    for key, value in source.items():
                        merged.setdefault(key, value)
                continue
            key = self.construct_object(key_node)
            self._check_hashable(node, key_node, key)
            own.append((key, self.construct_object(value_node)))
        if not merged:
            return dict(own)
        merged.update(own)
        return merged

    def _merge_sources(self, node, value_node):
        if isinstance(value_node, MappingNode):
            nodes = [value_node]
        elif isinstance(value_node, SequenceNode):
            nodes = list(value_node.value)
        else:
            nodes = [value_node]
        sources = []
        for source_node in nodes:
            source = (self.construct_object(source_node)
                      if isinstance(source_node, MappingNode) else None)
            if not isinstance(source, dict):
                raise ConstructorError("while constructing a mapping", node.start_mark,
                                       "expected a mapping or list of mappings for "
                                       "merging, but found %s" % source_node.id,
                                       source_node.start_mark)
            sources.append(source)
        return sources

    def construct_undefined(self, node):
        raise ConstructorError(None, None,
                               "could not determine a constructor for the tag %r"
                               % (node.tag,), node.start_mark)


def _sexagesimal(parts):
    total = 0
    for part in parts:
        total = total * 60 + int(part)
    return total


def _timestamp(value):
    """A date, or a datetime (naive without a zone, aware with one)."""
    if len(value) == 10:
        return datetime.date(int(value[0:4]), int(value[5:7]), int(value[8:10]))
    date_part, _, rest = value.replace("t", "T").partition("T")
    if not rest:
        date_part, rest = value.split(None, 1)
    year, month, day = (int(p) for p in date_part.split("-"))
    rest = rest.strip()
    zone = None
    for i, ch in enumerate(rest):
        if ch in "Z+-":
            rest, zone = rest[:i].rstrip(), rest[i:]
            break
    clock, _, fraction = rest.partition(".")
    hour, minute, second = (int(p) for p in clock.split(":"))
    micro = int((fraction + "000000")[:6]) if fraction else 0
    tzinfo = None
    if zone == "Z":
        tzinfo = datetime.timezone.utc
    elif zone:
        sign = -1 if zone[0] == "-" else 1
        hours, _, minutes = zone[1:].partition(":")
        offset = datetime.timedelta(hours=int(hours), minutes=int(minutes or 0))
        tzinfo = datetime.timezone(sign * offset)
    return datetime.datetime(year, month, day, hour, minute, second, micro,
                             tzinfo=tzinfo)


for _suffix, _method in (
        ("null", SafeConstructor.construct_yaml_null),
        ("bool", SafeConstructor.construct_yaml_bool),
        ("int", SafeConstructor.construct_yaml_int),
        ("float", SafeConstructor.construct_yaml_float),
        ("binary", SafeConstructor.construct_yaml_binary),
        ("timestamp", SafeConstructor.construct_yaml_timestamp),
        ("omap", SafeConstructor.construct_yaml_omap),
        ("pairs", SafeConstructor.construct_yaml_pairs),
        ("set", SafeConstructor.construct_yaml_set),
        ("str", SafeConstructor.construct_yaml_str),
        ("seq", SafeConstructor.construct_yaml_seq),
        ("map", SafeConstructor.construct_yaml_map),
        # Outside a mapping key the two markers are just their text.
        ("merge", SafeConstructor.construct_yaml_str),
        ("value", SafeConstructor.construct_yaml_str)):
    SafeConstructor.add_constructor(_TAG + _suffix, _method)
SafeConstructor.add_constructor(None, SafeConstructor.construct_undefined)
del _suffix, _method
