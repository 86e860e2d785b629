"""The representing stage: Python data as node graphs.

`represent_data` looks up the representer for the data's type: its exact
type in `yaml_representers`, else the first type of its MRO in
`yaml_multi_representers`, else the `None` entries. An object reached more
than once gives one node (the serializer then writes it once with an anchor
and aliases elsewhere), except where `ignore_aliases` says it is written in
full every time.

Collections nested deeper than a few dozen levels are filled after their
node is returned rather than during the call, from a list the outermost
`represent_data` works through, so data nested thousands deep needs no
Python frame per level; above that depth everything happens in the call.

The registries are class attributes that programs read and change directly;
they are looked up at every value, so every change counts at once.
"""

import base64
import collections
import copyreg
import datetime
import math
import types

from .error import YAMLError
from .nodes import MappingNode, ScalarNode, SequenceNode

__all__ = ["BaseRepresenter", "SafeRepresenter", "Representer",
           "RepresenterError"]

_TAG = "tag:yaml.org,2002:"

# Collections this many levels below the outermost represent_data are
# filled later (see the module's docstring).
_EAGER_DEPTH = 48


class RepresenterError(YAMLError):
    """A Python object that cannot be represented as a node."""


class BaseRepresenter:
    """Dispatches on the data's type to the registered representers; by
    itself it writes str, list, tuple and dict with their default tags."""

    yaml_representers = {}
    yaml_multi_representers = {}
    _nesting = 0

    def __init__(self, default_style=None, default_flow_style=False,
                 sort_keys=True):
        self.default_style = default_style
        self.default_flow_style = default_flow_style
        self.sort_keys = sort_keys
        self.represented_objects = {}
        self.object_keeper = []
        self.alias_key = None

    def represent(self, data):
        """Represents `data` and serializes it as one document."""
        try:
            node = self.represent_data(data)
        finally:
            self.represented_objects = {}
            self.object_keeper = []
            self.alias_key = None
            self._nesting = 0
            self._pending = []
        self.serialize(node)

    @classmethod
    def add_representer(cls, data_type, representer):
        """representer(dumper, data) -> node for objects of exactly
        `data_type` (None: the fallback for every other object). Only `cls`
        and its subclasses are affected; called on an instance, its
        class."""
        if "yaml_representers" not in cls.__dict__:
            cls.yaml_representers = cls.yaml_representers.copy()
        cls.yaml_representers[data_type] = representer

    @classmethod
    def add_multi_representer(cls, data_type, representer):
        """representer(dumper, data) -> node for instances of `data_type`
        and its subclasses that have no exact representer."""
        if "yaml_multi_representers" not in cls.__dict__:
            cls.yaml_multi_representers = cls.yaml_multi_representers.copy()
        cls.yaml_multi_representers[data_type] = representer

    def ignore_aliases(self, data):
        """True for objects written in full at every occurrence."""
        return False

    def represent_data(self, data):
        """The node for `data`; the same node for the same shared object."""
        outermost = self._nesting == 0
        if outermost:
            self._pending = []
        self._nesting += 1
        try:
            key = None if self.ignore_aliases(data) else id(data)
            if key is not None:
                if key in self.represented_objects:
                    node = self.represented_objects[key]
                    if node is None:
                        raise RepresenterError(
                            "cannot represent a recursive %s object: its "
                            "representer reached it again before making its "
                            "node" % type(data).__name__, data)
                    return node
                self.represented_objects[key] = None
                # Held so that the id stays unique until the document is done.
                self.object_keeper.append(data)
            representer = self._representer_for(data)
            saved, self.alias_key = self.alias_key, key
            try:
                node = representer(self, data)
            finally:
                self.alias_key = saved
            if key is not None and self.represented_objects.get(key) is None:
                self.represented_objects[key] = node
            if outermost:
                pending = self._pending
                while pending:
                    fill, node_, items, flow_style = pending.pop()
                    fill(self, node_, items, flow_style)
        finally:
            self._nesting -= 1
        return node

    def _representer_for(self, data):
        data_types = type(data).__mro__
        representers = self.yaml_representers
        if data_types[0] in representers:
            return representers[data_types[0]]
        multi = self.yaml_multi_representers
        for data_type in data_types:
            if data_type in multi:
                return multi[data_type]
        if None in multi:
            return multi[None]
        if None in representers:
            return representers[None]
        return type(self).represent_undefined

    def represent_undefined(self, data):
        raise RepresenterError("cannot represent an object", data)

    def _remember(self, node):
        # The node stands for the object being represented from now on, so
        # that the object's own contents can refer back to it.
        if self.alias_key is not None:
            self.represented_objects[self.alias_key] = node

    def represent_scalar(self, tag, value, style=None):
        if style is None:
            style = self.default_style
        if type(value) is not str and isinstance(value, str):
            # A str subclass (a str Enum, a marker class a representer
            # quotes) is written as its text: the emitter takes plain str.
            value = str.__str__(value)
        node = ScalarNode(tag, value, style=style)
        self._remember(node)
        return node

    def represent_sequence(self, tag, sequence, flow_style=None):
        node = SequenceNode(tag, [], flow_style=flow_style)
        self._remember(node)
        self._fill(_fill_sequence, node, sequence, flow_style)
        return node

    def represent_mapping(self, tag, mapping, flow_style=None):
        """`mapping` is anything with items() (its pairs sorted by key when
        `sort_keys` and the keys allow it) or an iterable of pairs, written
        in its own order."""
        node = MappingNode(tag, [], flow_style=flow_style)
        self._remember(node)
        if hasattr(mapping, "items"):
            mapping = list(mapping.items())
            if self.sort_keys:
                try:
                    mapping.sort(key=_first)
                except TypeError:
                    pass   # keys that do not compare: their own order
        self._fill(_fill_mapping, node, mapping, flow_style)
        return node

    def _fill(self, fill, node, items, flow_style):
        if self._nesting > _EAGER_DEPTH:
            self._pending.append((fill, node, list(items), flow_style))
        else:
            fill(self, node, items, flow_style)

    def _flow_style(self, node, flow_style, all_plain):
        if flow_style is None:
            if self.default_flow_style is not None:
                node.flow_style = self.default_flow_style
            else:
                node.flow_style = all_plain

    def represent_str(self, data):
        return self.represent_scalar(_TAG + "str", data)

    def represent_list(self, data):
        return self.represent_sequence(_TAG + "seq", data)

    def represent_dict(self, data):
        return self.represent_mapping(_TAG + "map", data)


def _first(pair):
    return pair[0]


def _plain(node):
    return isinstance(node, ScalarNode) and not node.style


def _fill_sequence(representer, node, sequence, flow_style):
    value = node.value
    all_plain = True
    for item in sequence:
        item_node = representer.represent_data(item)
        if all_plain and not _plain(item_node):
            all_plain = False
        value.append(item_node)
    representer._flow_style(node, flow_style, all_plain)


def _fill_mapping(representer, node, pairs, flow_style):
    value = node.value
    all_plain = True
    for item_key, item_value in pairs:
        key_node = representer.represent_data(item_key)
        value_node = representer.represent_data(item_value)
        if all_plain and not (_plain(key_node) and _plain(value_node)):
            all_plain = False
        value.append((key_node, value_node))
    representer._flow_style(node, flow_style, all_plain)


for _type, _method in ((str, "represent_str"), (list, "represent_list"),
                       (tuple, "represent_list"), (dict, "represent_dict")):
    BaseRepresenter.add_representer(_type, getattr(BaseRepresenter, _method))


_WRITTEN_IN_FULL = frozenset((str, bytes, bool, int, float))


class SafeRepresenter(BaseRepresenter):
    """The standard YAML 1.1 types; anything else is refused."""

    def ignore_aliases(self, data):
        if type(data) in _WRITTEN_IN_FULL or data is None:
            return True
        if isinstance(data, tuple) and data == ():
            return True
        return isinstance(data, (str, bytes, bool, int, float))

    def represent_none(self, data):
        return self.represent_scalar(_TAG + "null", "null")

    def represent_binary(self, data):
        text = base64.encodebytes(data).decode("ascii")
        return self.represent_scalar(_TAG + "binary", text, style="|")

    def represent_bool(self, data):
        return self.represent_scalar(_TAG + "bool",
                                     "true" if data else "false")

    def represent_int(self, data):
        return self.represent_scalar(_TAG + "int", str(data))

    def represent_float(self, data):
        if math.isnan(data):
            value = ".nan"
        elif data == math.inf:
            value = ".inf"
        elif data == -math.inf:
            value = "-.inf"
        else:
            value = repr(data).lower()
            # 1e+20 reads back as a str: the float pattern wants the dot.
            if "." not in value and "e" in value:
                value = value.replace("e", ".0e", 1)
        return self.represent_scalar(_TAG + "float", value)

    def represent_set(self, data):
        return self.represent_mapping(_TAG + "set", dict.fromkeys(data))

    def represent_date(self, data):
        return self.represent_scalar(_TAG + "timestamp", data.isoformat())

    def represent_datetime(self, data):
        offset = data.utcoffset()
        if offset is not None and (offset.seconds % 60 or offset.microseconds):
            # The timestamp form has no seconds in its zone: the text would
            # read back as a str.
            raise RepresenterError("cannot represent a datetime whose zone "
                                   "offset has seconds", data)
        return self.represent_scalar(_TAG + "timestamp",
                                     data.isoformat(" "))

    def represent_yaml_object(self, tag, data, cls, flow_style=None):
        """`data` as a mapping tagged `tag`: what its __getstate__ gives,
        else its attributes (those kept in __slots__ too)."""
        if hasattr(data, "__getstate__"):
            state = data.__getstate__()
        else:
            state = data.__dict__.copy()
        if state is None:
            state = {}
        elif (type(state) is tuple and len(state) == 2
                and isinstance(state[0], (dict, type(None)))
                and isinstance(state[1], dict)):
            # The default state of an object with __slots__: its __dict__
            # (or None) and its slots' values, written as one mapping.
            state = dict(state[0] or {}, **state[1])
        elif not hasattr(state, "items"):
            raise RepresenterError("cannot represent an object: its state "
                                   "is not a mapping", data)
        return self.represent_mapping(tag, state, flow_style=flow_style)

    def represent_undefined(self, data):
        raise RepresenterError("cannot represent an object", data)


# The stock table of the safe types, registered here once.
SAFE_REPRESENTERS = (
    (type(None), "represent_none"),
    (str, "represent_str"),
    (bytes, "represent_binary"),
    (bool, "represent_bool"),
    (int, "represent_int"),
    (float, "represent_float"),
    (list, "represent_list"),
    (tuple, "represent_list"),
    (dict, "represent_dict"),
    (set, "represent_set"),
    (datetime.date, "represent_date"),
    (datetime.datetime, "represent_datetime"),
    (None, "represent_undefined"),
)
for _type, _method in SAFE_REPRESENTERS:
    SafeRepresenter.add_representer(_type, getattr(SafeRepresenter, _method))


class Representer(SafeRepresenter):
    """Also Python's own types and any object, with `python/` tags that
    `UnsafeLoader` reads back."""

    def represent_complex(self, data):
        if data.imag == 0.0:
            value = repr(data.real)
        elif data.real == 0.0:
            value = "%rj" % data.imag
        elif data.imag > 0:
            value = "%r+%rj" % (data.real, data.imag)
        else:
            value = "%r%rj" % (data.real, data.imag)
        return self.represent_scalar(_TAG + "python/complex", value)

    def represent_tuple(self, data):
        return self.represent_sequence(_TAG + "python/tuple", data)

    def represent_name(self, data):
        name = "%s.%s" % (data.__module__, data.__qualname__)
        return self.represent_scalar(_TAG + "python/name:" + name, "")

    def represent_module(self, data):
        return self.represent_scalar(_TAG + "python/module:" + data.__name__,
                                     "")

    def represent_ordered_dict(self, data):
        data_type = type(data)
        tag = _TAG + "python/object/apply:%s.%s" % (data_type.__module__,
                                                    data_type.__qualname__)
        items = [[key, value] for key, value in data.items()]
        return self.represent_sequence(tag, [items])

    def represent_object(self, data):
        """Any other object, through the pickle protocol: its class and
        state, or the callable and arguments that rebuild it."""
        cls = type(data)
        if cls in copyreg.dispatch_table:
            reduce = copyreg.dispatch_table[cls](data)
        elif hasattr(data, "__reduce_ex__"):
            try:
                reduce = data.__reduce_ex__(2)
            except TypeError as exc:
                raise RepresenterError("cannot represent an object: %s" % exc,
                                       data) from None
        elif hasattr(data, "__reduce__"):
            reduce = data.__reduce__()
        else:
            raise RepresenterError("cannot represent an object", data)
        if not isinstance(reduce, tuple):
            raise RepresenterError("cannot represent an object", data)
        reduce = (list(reduce) + [None] * 5)[:5]
        function, args, state, listitems, dictitems = reduce
        args = list(args or ())
        if state is None:
            state = {}
        if listitems is not None:
            listitems = list(listitems)
        if dictitems is not None:
            dictitems = dict(dictitems)
        if getattr(function, "__name__", None) == "__newobj__":
            function = args[0]
            args = args[1:]
            tag = _TAG + "python/object/new:"
            newobj = True
        else:
            tag = _TAG + "python/object/apply:"
            newobj = False
        function_name = "%s.%s" % (function.__module__, function.__qualname__)
        if (not args and not listitems and not dictitems
                and isinstance(state, dict) and newobj):
            return self.represent_mapping(
                _TAG + "python/object:" + function_name, state)
        if not listitems and not dictitems and isinstance(state, dict) \
                and not state:
            return self.represent_sequence(tag + function_name, args)
        value = {}
        if args:
            value["args"] = args
        if state or not isinstance(state, dict):
            value["state"] = state
        if listitems:
            value["listitems"] = listitems
        if dictitems:
            value["dictitems"] = dictitems
        return self.represent_mapping(tag + function_name, value)


for _type, _method in (
        (complex, "represent_complex"),
        (tuple, "represent_tuple"),
        (type, "represent_name"),
        (types.FunctionType, "represent_name"),
        (types.BuiltinFunctionType, "represent_name"),
        (types.ModuleType, "represent_module"),
        (collections.OrderedDict, "represent_ordered_dict")):
    Representer.add_representer(_type, getattr(Representer, _method))
for _type, _method in ((type, "represent_name"), (object, "represent_object")):
    Representer.add_multi_representer(_type, getattr(Representer, _method))
del _type, _method
