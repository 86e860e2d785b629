"""Tag resolution called back by the parser and the emitter.

The extension calls these methods on the Loader or Dumper instance:
descend_resolver/ascend_resolver bracket every non-alias node, and
resolve(kind, value, implicit) names the tag an untagged node gets.
"""

from .nodes import MappingNode, ScalarNode, SequenceNode


class BaseResolver:
    """Gives every node the default tag of its kind."""

    DEFAULT_SCALAR_TAG = "tag:yaml.org,2002:str"
    DEFAULT_SEQUENCE_TAG = "tag:yaml.org,2002:seq"
    DEFAULT_MAPPING_TAG = "tag:yaml.org,2002:map"

    def descend_resolver(self, current_node, current_index):
        """Enter a node below current_node; nothing to track yet."""
        return None

    def ascend_resolver(self):
        """Leave the node entered last; nothing to track yet."""
        return None

    def resolve(self, kind, value, implicit):
        """Return the tag for a node of class `kind` (compared by identity)."""
        if kind is ScalarNode:
            return self.DEFAULT_SCALAR_TAG
        if kind is SequenceNode:
            return self.DEFAULT_SEQUENCE_TAG
        if kind is MappingNode:
            return self.DEFAULT_MAPPING_TAG
        raise TypeError("unknown node kind: %r" % (kind,))


Resolver = BaseResolver
