"""Turns Python data into node graphs for the serializer.

An object reached more than once (a shared or recursive list, dict or set)
gives one node, which the serializer then writes once with an anchor and
aliases elsewhere. Scalars are never shared: equal strings need no anchors.
"""

import base64
import datetime
import itertools
import math
import weakref

from .error import YAMLError
from .nodes import MappingNode, ScalarNode, SequenceNode

_TAG = "tag:yaml.org,2002:"


class RepresenterError(YAMLError):
    """A Python object that cannot be represented as a node.

    Built with one message str.
    """


class BaseRepresenter:
    """Dispatches on the data's type to the registered representers; by
    itself it knows str, list, tuple and dict."""

    yaml_representers = {}
    yaml_multi_representers = {}

    def __init__(self, default_style=None, default_flow_style=False,
                 sort_keys=True):
        self.default_style = default_style
        self.default_flow_style = default_flow_style
        self.sort_keys = sort_keys
        self._reset()

    def _reset(self):
        self.represented_objects = {}
        self.object_keeper = []
        self.alias_key = None

    def represent(self, data):
        """Represents `data` and serializes it as one document."""
        try:
            node = self.represent_data(data)
        finally:
            self._reset()
        self.serialize(node)

    @classmethod
    def add_representer(cls, data_type, representer):
        """representer(dumper, data) -> node for objects of exactly
        `data_type` (None: the fallback for every other object)."""
        if "yaml_representers" not in cls.__dict__:
            cls.yaml_representers = dict(cls.yaml_representers)
        cls.yaml_representers[data_type] = representer
        _SCALAR_PLANS.clear()

    @classmethod
    def add_multi_representer(cls, data_type, representer):
        """representer(dumper, data) -> node for instances of `data_type`
        and its subclasses that have no exact representer."""
        if "yaml_multi_representers" not in cls.__dict__:
            cls.yaml_multi_representers = dict(cls.yaml_multi_representers)
        cls.yaml_multi_representers[data_type] = representer
        _SCALAR_PLANS.clear()

    def ignore_aliases(self, data):
        """True for objects that are written in full at every occurrence."""
        return False

    def represent_data(self, data):
        """The node for `data`; the same node for the same shared object.

        Lists, tuples, dicts and sets under the stock representers are
        filled from a work stack rather than by recursion, so data nested
        as deep as a document may be loads and dumps alike.
        """
        node, frame = self._start(data)
        if frame is None:
            return node
        scalars = _SCALAR_PLANS.get(type(self), _NO_KEY)
        if scalars is _NO_KEY:
            scalars = _scalar_plan(type(self))
        start = self._start
        stack = [frame]
        while stack:
            frame = stack[-1]
            item = next(frame[1], _END)
            if item is _END:
                frame[0].flow_style = self._flow_style(frame[2])
                stack.pop()
                continue
            make = scalars.get(item.__class__)
            if make is not None:
                # Read each time, as represent_scalar does: a representer
                # may change it between two values.
                style = self.default_style
                child = ScalarNode(make[0], make[1](item), None, None, style)
                child_plain = not style   # what _plain_scalar would say
                child_frame = None
            else:
                child, child_frame = start(item)
                child_plain = None
            if frame[2]:
                frame[2] = (_plain_scalar(child) if child_plain is None
                            else child_plain)
            if frame[3] is None:
                frame[0].value.append(child)
            elif frame[3] is _NO_KEY:
                frame[3] = child
            else:
                frame[0].value.append((frame[3], child))
                frame[3] = _NO_KEY
            if child_frame is not None:
                stack.append(child_frame)
        return node

    def _start(self, data):
        """(node, None) for a finished node, or (node, frame) for a stock
        collection whose contents the frame still has to add."""
        key = None if self.ignore_aliases(data) else id(data)
        if key is not None:
            if key in self.represented_objects:
                node = self.represented_objects[key]
                if node is None:
                    raise RepresenterError(
                        "cannot represent a recursive %s object: its representer "
                        "reached it again before making its node"
                        % type(data).__name__)
                return node, None
            self.represented_objects[key] = None
            # Held so that the id stays unique until the document is done.
            self.object_keeper.append(data)
        representer = self._representer_for(data)
        stock = _STOCK_COLLECTIONS.get(representer)
        if stock is not None:
            node, frame = stock(self, data)
            if key is not None:
                self.represented_objects[key] = node
            return node, frame
        saved, self.alias_key = self.alias_key, key
        try:
            node = representer(self, data)
        finally:
            self.alias_key = saved
        if key is not None:
            self.represented_objects[key] = node
        return node, None

    def _representer_for(self, data):
        types = type(data).__mro__
        found = self.yaml_representers.get(types[0])
        if found is not None:
            return found
        for data_type in types:
            found = self.yaml_multi_representers.get(data_type)
            if found is not None:
                return found
        if None in self.yaml_multi_representers:
            return self.yaml_multi_representers[None]
        if None in self.yaml_representers:
            return self.yaml_representers[None]
        return type(self).represent_undefined

    def represent_undefined(self, data):
        raise RepresenterError("cannot represent an object of type %s: %s"
                               % (type(data).__qualname__, _short_repr(data)))

    def represent_scalar(self, tag, value, style=None):
        if style is None:
            style = self.default_style
        return ScalarNode(tag, value, style=style)

    def represent_sequence(self, tag, sequence, flow_style=None):
        value = []
        node = SequenceNode(tag, value, flow_style=flow_style)
        if self.alias_key is not None:
            self.represented_objects[self.alias_key] = node
        all_plain = True
        for item in sequence:
            item_node = self.represent_data(item)
            all_plain = all_plain and _plain_scalar(item_node)
            value.append(item_node)
        if flow_style is None:
            node.flow_style = self._flow_style(all_plain)
        return node

    def represent_mapping(self, tag, mapping, flow_style=None):
        value = []
        node = MappingNode(tag, value, flow_style=flow_style)
        if self.alias_key is not None:
            self.represented_objects[self.alias_key] = node
        all_plain = True
        for item_key, item_value in self._ordered_items(mapping):
            key_node = self.represent_data(item_key)
            value_node = self.represent_data(item_value)
            all_plain = (all_plain and _plain_scalar(key_node)
                         and _plain_scalar(value_node))
            value.append((key_node, value_node))
        if flow_style is None:
            node.flow_style = self._flow_style(all_plain)
        return node

    def represent_str(self, data):
        return self.represent_scalar(_TAG + "str", data)

    def represent_list(self, data):
        return self.represent_sequence(_TAG + "seq", data)

    def represent_dict(self, data):
        return self.represent_mapping(_TAG + "map", data)

    def _ordered_items(self, mapping):
        items = list(mapping.items())
        if self.sort_keys:
            try:
                items.sort(key=lambda item: item[0])
            except TypeError:
                pass   # keys of mixed types: keep their own order
        return items

    def _flow_style(self, all_plain):
        if self.default_flow_style is not None:
            return bool(self.default_flow_style)
        return all_plain


_END = object()
_NO_KEY = object()
_chain_pairs = itertools.chain.from_iterable


# A collection node whose contents are still being added: [node, iterator
# over the items (keys and values alternating for a mapping), all items plain
# scalars so far, None for a sequence or else the key node waiting for its
# value (_NO_KEY when none is)].

def _sequence_frame(representer, data):
    node = SequenceNode(_TAG + "seq", [], flow_style=None)
    return node, [node, iter(data), True, None]


def _mapping_frame(tag, representer, mapping):
    node = MappingNode(tag, [], flow_style=None)
    items = _chain_pairs(representer._ordered_items(mapping))
    return node, [node, items, True, _NO_KEY]


# Per dumper class: exact type -> (tag, text of the value) for the scalar
# types whose stock representer the class still uses, where the class
# also keeps the stock ignore_aliases and represent_scalar; such values
# never get an anchor, so their node is made on the spot. Registration
# clears it.
# Weak: a loader or dumper class made on the fly must still be freed.
_SCALAR_PLANS = weakref.WeakKeyDictionary()


def _scalar_plan(cls):
    plan = {}
    if (cls.ignore_aliases is SafeRepresenter.ignore_aliases
            and cls.represent_scalar is BaseRepresenter.represent_scalar
            and cls._start is BaseRepresenter._start
            and cls._representer_for is BaseRepresenter._representer_for):
        stock = {
            (str, BaseRepresenter.represent_str): (_TAG + "str", _same),
            (int, SafeRepresenter.represent_int): (_TAG + "int", int.__repr__),
            (bool, SafeRepresenter.represent_bool): (_TAG + "bool", _bool_text),
            (type(None), SafeRepresenter.represent_none): (_TAG + "null", _null_text),
        }
        for (data_type, function), make in stock.items():
            if cls.yaml_representers.get(data_type) is function:
                plan[data_type] = make
    _SCALAR_PLANS[cls] = plan
    return plan


def _same(data):
    return data


def _bool_text(data):
    return "true" if data else "false"


def _null_text(data):
    return "null"


def _plain_scalar(node):
    return isinstance(node, ScalarNode) and not node.style


def _short_repr(data):
    try:
        text = repr(data)
    except Exception:   # a broken __repr__ must not hide the real error
        text = "<unprintable>"
    return text if len(text) <= 200 else text[:197] + "..."


class SafeRepresenter(BaseRepresenter):
    """The standard YAML 1.1 types; anything else is refused."""

    def ignore_aliases(self, data):
        return data is None or isinstance(
            data, (str, bytes, bool, int, float, tuple, datetime.date))

    def represent_none(self, data):
        return self.represent_scalar(_TAG + "null", "null")

    def represent_binary(self, data):
        text = base64.encodebytes(data).decode("ascii")
        return self.represent_scalar(_TAG + "binary", text, style="|")

    def represent_bool(self, data):
        return self.represent_scalar(_TAG + "bool", "true" if data else "false")

    def represent_int(self, data):
        return self.represent_scalar(_TAG + "int", str(data))

    def represent_float(self, data):
        if math.isnan(data):
            text = ".nan"
        elif math.isinf(data):
            text = ".inf" if data > 0 else "-.inf"
        else:
            # repr is the shortest text that reads back as the same float;
            # it always has a "." or an exponent, so it resolves as a float.
            text = repr(data)
        return self.represent_scalar(_TAG + "float", text)

    def represent_set(self, data):
        return self.represent_mapping(_TAG + "set", dict.fromkeys(data))

    def represent_date(self, data):
        return self.represent_scalar(_TAG + "timestamp", data.isoformat())

    def represent_datetime(self, data):
        offset = data.utcoffset()
        if offset is not None and (offset.seconds % 60 or offset.microseconds):
            raise RepresenterError(
                "cannot represent a datetime whose zone offset has seconds: %s"
                % _short_repr(data))
        return self.represent_scalar(_TAG + "timestamp", data.isoformat(" "))


for _type, _method in (
        (str, BaseRepresenter.represent_str),
        (list, BaseRepresenter.represent_list),
        (tuple, BaseRepresenter.represent_list),
        (dict, BaseRepresenter.represent_dict)):
    BaseRepresenter.add_representer(_type, _method)

# The stock collection representers, by identity, and how the work stack
# builds their nodes in their place.
_STOCK_COLLECTIONS = {
    BaseRepresenter.represent_list: _sequence_frame,
    BaseRepresenter.represent_dict:
        lambda r, data: _mapping_frame(_TAG + "map", r, data),
    SafeRepresenter.represent_set:
        lambda r, data: _mapping_frame(_TAG + "set", r, dict.fromkeys(data)),
}

for _type, _method in (
        (type(None), SafeRepresenter.represent_none),
        (bytes, SafeRepresenter.represent_binary),
        (bool, SafeRepresenter.represent_bool),
        (int, SafeRepresenter.represent_int),
        (float, SafeRepresenter.represent_float),
        (set, SafeRepresenter.represent_set),
        (datetime.date, SafeRepresenter.represent_date),
        (datetime.datetime, SafeRepresenter.represent_datetime)):
    SafeRepresenter.add_representer(_type, _method)
del _type, _method
