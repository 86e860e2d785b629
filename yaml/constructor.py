"""The constructing stage: node graphs as Python objects.

`BaseConstructor` builds str, list and dict whatever the tags say;
`SafeConstructor` the standard YAML 1.1 types, refusing every other tag;
`FullConstructor` also the builtin values of the `python/` tags;
`UnsafeConstructor` (old name `Constructor`) also any Python object, module
or callable a document names. Only the first three are fit for input that
is not trusted: none of them imports a module or calls anything a document
names.

Objects are built in two steps. `construct_object` looks up the node's
constructor; a plain function returns the object, a generator yields the
(empty) object first and fills it afterwards. The rest of a generator runs
at once when the object is wanted deep (`deep=True`), else when the document
is done (`construct_document` runs the pending generators round by round).
So a node that refers back to an ancestor gets the very object being built,
and stock sequences and mappings nested thousands deep are built without a
Python frame per level. Objects are kept per document by node, so aliases
give the same object and an alias bomb costs time linear in its text.

The registries are class attributes that programs read and change directly;
they are looked up at every node, so every change counts at once.
"""

import base64
import binascii
import datetime
import math
import re
import sys
import types

from .error import MarkedYAMLError
from .nodes import MappingNode, ScalarNode, SequenceNode

__all__ = ["BaseConstructor", "SafeConstructor", "FullConstructor",
           "UnsafeConstructor", "Constructor", "ConstructorError"]

_TAG = "tag:yaml.org,2002:"


class ConstructorError(MarkedYAMLError):
    """A node that cannot be turned into a Python object."""


class BaseConstructor:
    """Builds str, list and dict, whatever the tags say (plus what is
    registered on the class)."""

    yaml_constructors = {}
    yaml_multi_constructors = {}

    def __init__(self):
        self.constructed_objects = {}
        self.recursive_objects = {}
        self.state_generators = []
        self.deep_construct = False

    # -- documents ---------------------------------------------------------

    def check_data(self):
        """True while another document follows."""
        try:
            return self.check_node()
        except MarkedYAMLError as exc:
            raise _placed(self, exc)

    def get_data(self):
        """The next document's data (None at the end of the stream)."""
        try:
            if self.check_node():
                return self.construct_document(self.get_node())
        except MarkedYAMLError as exc:
            raise _placed(self, exc)
        return None

    def get_single_data(self):
        """The data of the stream's only document; None for no document."""
        try:
            node = self.get_single_node()
            if node is not None:
                return self.construct_document(node)
        except MarkedYAMLError as exc:
            raise _placed(self, exc)
        return None

    def construct_document(self, node):
        """The object for a document's root, every pending generator run."""
        try:
            data = self.construct_object(node)
            while self.state_generators:
                state_generators = self.state_generators
                self.state_generators = []
                for generator in state_generators:
                    for _ in generator:
                        pass
            return data
        finally:
            self.constructed_objects = {}
            self.recursive_objects = {}
            self.state_generators = []
            self.deep_construct = False

    # -- registration ------------------------------------------------------

    @classmethod
    def add_constructor(cls, tag, constructor):
        """constructor(loader, node) builds nodes tagged `tag` (None: the
        fallback for tags nothing else claims). Only `cls` and its
        subclasses are affected; called on an instance, its class."""
        if "yaml_constructors" not in cls.__dict__:
            cls.yaml_constructors = cls.yaml_constructors.copy()
        cls.yaml_constructors[tag] = constructor

    @classmethod
    def add_multi_constructor(cls, tag_prefix, multi_constructor):
        """multi_constructor(loader, tag_suffix, node) builds nodes whose
        tag starts with `tag_prefix` (None: every tag nothing else claims,
        the suffix then being the whole tag)."""
        if "yaml_multi_constructors" not in cls.__dict__:
            cls.yaml_multi_constructors = cls.yaml_multi_constructors.copy()
        cls.yaml_multi_constructors[tag_prefix] = multi_constructor

    # -- objects -----------------------------------------------------------

    def construct_object(self, node, deep=False):
        """The object for `node`, built once per document; with `deep`,
        complete before it is returned (except where it loops back to an
        object still being built)."""
        if node in self.constructed_objects:
            return self.constructed_objects[node]
        if node in self.recursive_objects:
            raise ConstructorError(None, None,
                                   "found unconstructable recursive node",
                                   node.start_mark)
        if deep:
            old_deep = self.deep_construct
            self.deep_construct = True
        self.recursive_objects[node] = None
        try:
            # The lookup order of the registries, inline: this runs per node.
            tag = node.tag
            constructors = self.yaml_constructors
            if tag in constructors:
                data = constructors[tag](self, node)
            else:
                data = self._fallback(node, tag, constructors)
            if data.__class__ is types.GeneratorType:
                generator = data
                data = next(generator, _NOTHING)
                if data is _NOTHING:
                    raise ConstructorError(
                        None, None, "the constructor for the tag %r yielded "
                        "no object" % (tag,), node.start_mark)
                if self.deep_construct:
                    self.constructed_objects[node] = data
                    for _ in generator:
                        pass
                else:
                    self.state_generators.append(generator)
            self.constructed_objects[node] = data
        finally:
            del self.recursive_objects[node]
            if deep:
                self.deep_construct = old_deep
        return data

    def _fallback(self, node, tag, constructors):
        multi = self.yaml_multi_constructors
        for prefix in multi:
            if prefix is not None and tag.startswith(prefix):
                return multi[prefix](self, tag[len(prefix):], node)
        if None in multi:
            return multi[None](self, tag, node)
        if None in constructors:
            return constructors[None](self, node)
        if isinstance(node, ScalarNode):
            return self.construct_scalar(node)
        if isinstance(node, SequenceNode):
            if type(self).construct_sequence is BaseConstructor.construct_sequence:
                return self._two_step_sequence(node)
            return self.construct_sequence(node)
        if isinstance(node, MappingNode):
            if type(self).construct_mapping is BaseConstructor.construct_mapping:
                return self._two_step_mapping(node)
            return self.construct_mapping(node)
        raise ConstructorError(None, None, "expected a node, but found %r"
                               % (node,), None)

    def _two_step_sequence(self, node):
        # What construct_sequence gives, in two steps: nesting costs no
        # Python frame per level and a sequence may contain itself.
        data = []
        yield data
        data.extend(self.construct_sequence(node))

    def _two_step_mapping(self, node):
        data = {}
        yield data
        data.update(self.construct_mapping(node))

    def construct_scalar(self, node):
        """The text of a scalar node."""
        if not isinstance(node, ScalarNode):
            raise ConstructorError(None, None,
                                   "expected a scalar node, but found %s"
                                   % node.id, node.start_mark)
        return node.value

    def construct_sequence(self, node, deep=False):
        """The list of a sequence node's items."""
        if not isinstance(node, SequenceNode):
            raise ConstructorError(None, None,
                                   "expected a sequence node, but found %s"
                                   % node.id, node.start_mark)
        return [self.construct_object(child, deep=deep)
                for child in node.value]

    def construct_mapping(self, node, deep=False):
        """The dict of a mapping node; a later equal key replaces an
        earlier one."""
        if not isinstance(node, MappingNode):
            raise ConstructorError(None, None,
                                   "expected a mapping node, but found %s"
                                   % node.id, node.start_mark)
        mapping = {}
        for key_node, value_node in node.value:
            key = self.construct_object(key_node, deep=deep)
            try:
                hash(key)
            except TypeError:
                raise ConstructorError("while constructing a mapping",
                                       node.start_mark, "found unhashable key",
                                       key_node.start_mark) from None
            mapping[key] = self.construct_object(value_node, deep=deep)
        return mapping

    def construct_pairs(self, node, deep=False):
        """A mapping node as a list of (key, value), repeats kept."""
        if not isinstance(node, MappingNode):
            raise ConstructorError(None, None,
                                   "expected a mapping node, but found %s"
                                   % node.id, node.start_mark)
        return [(self.construct_object(key_node, deep=deep),
                 self.construct_object(value_node, deep=deep))
                for key_node, value_node in node.value]


_NOTHING = object()


def _placed(loader, error):
    text = getattr(loader, "input_text", None)
    if text is not None:
        text.place(error)
    return error


class SafeConstructor(BaseConstructor):
    """The standard YAML 1.1 types; any other tag is refused."""

    bool_values = {"yes": True, "no": False, "true": True, "false": False,
                   "on": True, "off": False}

    timestamp_regexp = re.compile(
        r"""^(?P<year>[0-9][0-9][0-9][0-9])
            -(?P<month>[0-9][0-9]?)
            -(?P<day>[0-9][0-9]?)
            (?:(?:[Tt]|[ \t]+)
            (?P<hour>[0-9][0-9]?)
            :(?P<minute>[0-9][0-9])
            :(?P<second>[0-9][0-9])
            (?:\.(?P<fraction>[0-9]*))?
            (?:[ \t]*(?P<tz>Z|(?P<tz_sign>[-+])(?P<tz_hour>[0-9][0-9]?)
            (?::(?P<tz_minute>[0-9][0-9]))?))?)?$""", re.X)

    def construct_scalar(self, node):
        if node.__class__ is ScalarNode:
            return node.value
        if isinstance(node, MappingNode):
            # A mapping whose `=` key holds its value stands for that value.
            for key_node, value_node in node.value:
                if key_node.tag == _TAG + "value":
                    return self.construct_scalar(value_node)
        return BaseConstructor.construct_scalar(self, node)

    def flatten_mapping(self, node):
        """Replaces the merge keys (`<<: *a`, `<<: [*a, *b]`) of a mapping
        node by the pairs they merge, placed before the node's own; of a
        list of mappings the earlier ones win."""
        merge = []
        index = 0
        while index < len(node.value):
            key_node, value_node = node.value[index]
            if key_node.tag == _TAG + "merge":
                del node.value[index]
                if isinstance(value_node, MappingNode):
                    self.flatten_mapping(value_node)
                    merge.extend(value_node.value)
                elif isinstance(value_node, SequenceNode):
                    submerge = []
                    for subnode in value_node.value:
                        if not isinstance(subnode, MappingNode):
                            raise ConstructorError(
                                "while constructing a mapping", node.start_mark,
                                "expected a mapping or list of mappings for "
                                "merging, but found %s" % subnode.id,
                                subnode.start_mark)
                        self.flatten_mapping(subnode)
                        submerge.append(subnode.value)
                    for value in reversed(submerge):
                        merge.extend(value)
                else:
                    raise ConstructorError(
                        "while constructing a mapping", node.start_mark,
                        "expected a mapping or list of mappings for merging, "
                        "but found %s" % value_node.id, value_node.start_mark)
            elif key_node.tag == _TAG + "value":
                key_node.tag = _TAG + "str"
                index += 1
            else:
                index += 1
        if merge:
            node.value = merge + node.value

    def construct_mapping(self, node, deep=False):
        if isinstance(node, MappingNode):
            self.flatten_mapping(node)
        return super().construct_mapping(node, deep=deep)

    def construct_yaml_null(self, node):
        self.construct_scalar(node)
        return None

    def construct_yaml_bool(self, node):
        value = self.construct_scalar(node)
        try:
            return self.bool_values[value.lower()]
        except KeyError:
            raise _bad_value(node, "a boolean", value) from None

    def construct_yaml_int(self, node):
        text = self.construct_scalar(node)
        try:
            return _integer(text)
        except (ValueError, IndexError) as exc:
            raise _bad_value(node, "an integer", text, exc) from None

    def construct_yaml_float(self, node):
        text = self.construct_scalar(node)
        try:
            return _float(text)
        except (ValueError, IndexError, OverflowError) as exc:
            raise _bad_value(node, "a float", text, exc) from None

    def construct_yaml_binary(self, node):
        value = self.construct_scalar(node)
        try:
            return base64.decodebytes(value.encode("ascii"))
        except (UnicodeEncodeError, binascii.Error) as exc:
            raise ConstructorError("while constructing binary data",
                                   node.start_mark, "invalid base64 data: %s"
                                   % exc, node.start_mark) from None

    def construct_yaml_timestamp(self, node):
        value = self.construct_scalar(node)
        match = self.timestamp_regexp.match(value)
        if match is None:
            raise _bad_value(node, "a timestamp", value)
        try:
            return _timestamp(match.groupdict())
        except (ValueError, OverflowError) as exc:
            raise _bad_value(node, "a timestamp", value, exc) from None

    def construct_yaml_omap(self, node):
        omap = []
        yield omap
        omap.extend(self._single_pairs(node, "an ordered map"))

    def construct_yaml_pairs(self, node):
        pairs = []
        yield pairs
        pairs.extend(self._single_pairs(node, "pairs"))

    def _single_pairs(self, node, what):
        context = "while constructing %s" % what
        if not isinstance(node, SequenceNode):
            raise ConstructorError(context, node.start_mark,
                                   "expected a sequence, but found %s"
                                   % node.id, node.start_mark)
        pairs = []
        for subnode in node.value:
            if not isinstance(subnode, MappingNode):
                raise ConstructorError(context, node.start_mark,
                                       "expected a mapping of length 1, but "
                                       "found %s" % subnode.id,
                                       subnode.start_mark)
            if len(subnode.value) != 1:
                raise ConstructorError(context, node.start_mark,
                                       "expected a mapping of length 1, but "
                                       "found a mapping of length %d"
                                       % len(subnode.value),
                                       subnode.start_mark)
            key_node, value_node = subnode.value[0]
            pairs.append((self.construct_object(key_node),
                          self.construct_object(value_node)))
        return pairs

    def construct_yaml_set(self, node):
        data = set()
        yield data
        data.update(self.construct_mapping(node))

    def construct_yaml_str(self, node):
        return self.construct_scalar(node)

    def construct_yaml_seq(self, node):
        data = []
        yield data
        data.extend(self.construct_sequence(node))

    def construct_yaml_map(self, node):
        data = {}
        yield data
        data.update(self.construct_mapping(node))

    def construct_yaml_object(self, node, cls):
        """An instance of `cls` made without calling it, its state (the
        node's mapping) set through __setstate__, else into its slots and
        its __dict__ (neither through __setattr__)."""
        data = cls.__new__(cls)
        yield data
        if hasattr(data, "__setstate__"):
            data.__setstate__(self.construct_mapping(node, deep=True))
            return
        state = self.construct_mapping(node)
        for name in [key for key in state if isinstance(key, str) and
                     isinstance(getattr(cls, key, None),
                                types.MemberDescriptorType)]:
            object.__setattr__(data, name, state.pop(name))
        if state:
            try:
                data.__dict__.update(state)
            except AttributeError:
                raise ConstructorError(
                    "while constructing an object of %s" % cls.__name__,
                    node.start_mark, "found attributes it cannot hold: %s"
                    % ", ".join(sorted(map(repr, state))),
                    node.start_mark) from None

    def construct_undefined(self, node):
        raise ConstructorError(None, None,
                               "could not determine a constructor for the tag "
                               "%r" % (node.tag,), node.start_mark)


def _bad_value(node, what, value, exc=None):
    problem = "invalid value %r" % (value,)
    if exc is not None and str(exc):
        problem += " (%s)" % exc
    return ConstructorError("while constructing %s" % what, node.start_mark,
                            problem, node.start_mark)


def _sexagesimal(parts, number):
    value = number(0)
    for part in parts:
        value = value * 60 + number(part)
    return value


def _integer(text):
    if not text.isascii():   # int() would take other scripts' digits
        raise ValueError("digits must be ASCII")
    value = text.replace("_", "")
    sign = -1 if value[0] == "-" else 1
    if value[0] in "+-":
        value = value[1:]
    if value == "0":
        return 0
    if value.startswith("0b"):
        return sign * int(value[2:], 2)
    if value.startswith("0x"):
        return sign * int(value[2:], 16)
    if value[0] == "0":
        return sign * int(value, 8)
    if ":" in value:
        return sign * _sexagesimal(value.split(":"), int)
    return sign * int(value)


def _float(text):
    if not text.isascii():
        raise ValueError("digits must be ASCII")
    value = text.replace("_", "").lower()
    sign = -1 if value[0] == "-" else 1
    if value[0] in "+-":
        value = value[1:]
    if value == ".inf":
        return sign * math.inf
    if value == ".nan":
        return math.nan
    if ":" in value:
        return sign * _sexagesimal(value.split(":"), float)
    return sign * float(value)


def _timestamp(values):
    """A date, or a datetime (naive without a zone, aware with one)."""
    year, month, day = (int(values[key]) for key in ("year", "month", "day"))
    if not values["hour"]:
        return datetime.date(year, month, day)
    hour, minute, second = (int(values[key])
                            for key in ("hour", "minute", "second"))
    fraction = 0
    if values["fraction"]:
        fraction = int(values["fraction"][:6].ljust(6, "0"))
    tzinfo = None
    if values["tz_sign"]:
        offset = datetime.timedelta(hours=int(values["tz_hour"]),
                                    minutes=int(values["tz_minute"] or 0))
        if values["tz_sign"] == "-":
            offset = -offset
        tzinfo = datetime.timezone(offset)
    elif values["tz"]:
        tzinfo = datetime.timezone.utc
    return datetime.datetime(year, month, day, hour, minute, second, fraction,
                             tzinfo=tzinfo)


# The stock table of the safe types, registered here once.
SAFE_CONSTRUCTORS = (
    ("null", "construct_yaml_null"),
    ("bool", "construct_yaml_bool"),
    ("int", "construct_yaml_int"),
    ("float", "construct_yaml_float"),
    ("binary", "construct_yaml_binary"),
    ("timestamp", "construct_yaml_timestamp"),
    ("omap", "construct_yaml_omap"),
    ("pairs", "construct_yaml_pairs"),
    ("set", "construct_yaml_set"),
    ("str", "construct_yaml_str"),
    ("seq", "construct_yaml_seq"),
    ("map", "construct_yaml_map"),
    # Outside a mapping key the two markers are just their text.
    ("merge", "construct_yaml_str"),
    ("value", "construct_yaml_str"),
)


def _register(cls, table, multi=()):
    for suffix, method in table:
        cls.add_constructor(_TAG + suffix, getattr(cls, method))
    for prefix, method in multi:
        cls.add_multi_constructor(_TAG + prefix, getattr(cls, method))


_register(SafeConstructor, SAFE_CONSTRUCTORS)
SafeConstructor.add_constructor(None, SafeConstructor.construct_undefined)


class FullConstructor(SafeConstructor):
    """The safe types plus the builtin values of the `python/` tags
    (none, bool, str, bytes, int, float, complex, list, tuple, dict). Names
    of modules, classes or functions are refused like any unknown tag."""

    def construct_python_str(self, node):
        return self.construct_scalar(node)

    def construct_python_unicode(self, node):
        return self.construct_scalar(node)

    def construct_python_bytes(self, node):
        return self.construct_yaml_binary(node)

    def construct_python_long(self, node):
        return self.construct_yaml_int(node)

    def construct_python_complex(self, node):
        text = self.construct_scalar(node)
        try:
            return complex(text)
        except ValueError as exc:
            raise _bad_value(node, "a complex number", text, exc) from None

    def construct_python_tuple(self, node):
        return tuple(self.construct_sequence(node))


FULL_CONSTRUCTORS = (
    ("python/none", "construct_yaml_null"),
    ("python/bool", "construct_yaml_bool"),
    ("python/str", "construct_python_str"),
    ("python/unicode", "construct_python_unicode"),
    ("python/bytes", "construct_python_bytes"),
    ("python/int", "construct_yaml_int"),
    ("python/long", "construct_python_long"),
    ("python/float", "construct_yaml_float"),
    ("python/complex", "construct_python_complex"),
    ("python/list", "construct_yaml_seq"),
    ("python/tuple", "construct_python_tuple"),
    ("python/dict", "construct_yaml_map"),
)
_register(FullConstructor, FULL_CONSTRUCTORS)


class UnsafeConstructor(FullConstructor):
    """Everything `Representer` writes, objects included: imports the
    modules and calls the callables a document names. Never for input that
    is not trusted."""

    def find_python_module(self, name, mark):
        if not name:
            raise ConstructorError("while constructing a Python module", mark,
                                   "expected non-empty name appended to the "
                                   "tag", mark)
        try:
            __import__(name)
        except ImportError as exc:
            raise ConstructorError("while constructing a Python module", mark,
                                   "cannot find module %r (%s)" % (name, exc),
                                   mark) from None
        return sys.modules[name]

    def find_python_name(self, name, mark):
        """The object a dotted name gives: the longest importable module
        prefix, then attributes (so nested classes resolve too)."""
        if not name:
            raise ConstructorError("while constructing a Python object", mark,
                                   "expected non-empty name appended to the "
                                   "tag", mark)
        parts = name.split(".")
        for split in range(len(parts) - 1, 0, -1):
            module_name = ".".join(parts[:split])
            try:
                __import__(module_name)
            except ImportError:
                continue
            found = sys.modules[module_name]
            attributes = parts[split:]
            break
        else:
            found, attributes = sys.modules["builtins"], parts
        for attribute in attributes:
            try:
                found = getattr(found, attribute)
            except AttributeError:
                raise ConstructorError("while constructing a Python object",
                                       mark, "cannot find %r in the module %r"
                                       % (attribute, getattr(found, "__name__",
                                                             found)),
                                       mark) from None
        return found

    def construct_python_name(self, suffix, node):
        value = self.construct_scalar(node)
        if value:
            raise ConstructorError("while constructing a Python name",
                                   node.start_mark, "expected the empty value, "
                                   "but found %r" % value, node.start_mark)
        return self.find_python_name(suffix, node.start_mark)

    def construct_python_module(self, suffix, node):
        value = self.construct_scalar(node)
        if value:
            raise ConstructorError("while constructing a Python module",
                                   node.start_mark, "expected the empty value, "
                                   "but found %r" % value, node.start_mark)
        return self.find_python_module(suffix, node.start_mark)

    def make_python_instance(self, suffix, node, args=None, kwds=None,
                             newobj=False):
        cls = self.find_python_name(suffix, node.start_mark)
        args = args or []
        kwds = kwds or {}
        if newobj and isinstance(cls, type):
            return cls.__new__(cls, *args, **kwds)
        return cls(*args, **kwds)

    def set_python_instance_state(self, instance, state):
        if hasattr(instance, "__setstate__"):
            instance.__setstate__(state)
            return
        slotstate = {}
        if isinstance(state, tuple) and len(state) == 2:
            state, slotstate = state
        if hasattr(instance, "__dict__"):
            instance.__dict__.update(state or {})
        elif state:
            slotstate.update(state)
        for key, value in (slotstate or {}).items():
            setattr(instance, key, value)

    def construct_python_object(self, suffix, node):
        # !!python/object:module.Class {state}
        instance = self.make_python_instance(suffix, node, newobj=True)
        yield instance
        deep = hasattr(instance, "__setstate__")
        self.set_python_instance_state(
            instance, self.construct_mapping(node, deep=deep))

    def construct_python_object_apply(self, suffix, node, newobj=False):
        # !!python/object/apply:callable [args] or {args, kwds, state,
        # listitems, dictitems}
        if isinstance(node, SequenceNode):
            args = self.construct_sequence(node, deep=True)
            kwds, state, listitems, dictitems = {}, {}, [], {}
        else:
            value = self.construct_mapping(node, deep=True)
            args = value.get("args", [])
            kwds = value.get("kwds", {})
            state = value.get("state", {})
            listitems = value.get("listitems", [])
            dictitems = value.get("dictitems", {})
        instance = self.make_python_instance(suffix, node, args, kwds, newobj)
        if state:
            self.set_python_instance_state(instance, state)
        if listitems:
            instance.extend(listitems)
        for key in dictitems or ():
            instance[key] = dictitems[key]
        return instance

    def construct_python_object_new(self, suffix, node):
        return self.construct_python_object_apply(suffix, node, newobj=True)


UNSAFE_MULTI_CONSTRUCTORS = (
    ("python/name:", "construct_python_name"),
    ("python/module:", "construct_python_module"),
    ("python/object:", "construct_python_object"),
    ("python/object/new:", "construct_python_object_new"),
    ("python/object/apply:", "construct_python_object_apply"),
)
_register(UnsafeConstructor, (), UNSAFE_MULTI_CONSTRUCTORS)

# The old name.
Constructor = UnsafeConstructor
