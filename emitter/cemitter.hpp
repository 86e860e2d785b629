// CEmitter: one libyaml emitter writing to a Python stream, fed with event
// objects (emit) or node graphs (open / serialize / close).
#pragma once

#include <yaml.h>

#include "../module/output.hpp"
#include "../module/state.hpp"

namespace ymod {

struct CEmitterObject;

// Internal operations, in slot order, always called through `vtab`.
// `_emitter_error` gives a new reference or null with an exception set; the
// others return 0 or -1 with an exception set.
struct CEmitterVTable {
    PyObject* (*_emitter_error)(CEmitterObject* self);
    int (*_object_to_event)(CEmitterObject* self, PyObject* event_object, yaml_event_t* event);
    int (*_anchor_node)(CEmitterObject* self, PyObject* node);
    int (*_serialize_node)(CEmitterObject* self, PyObject* node, PyObject* parent, PyObject* index);
};

struct CEmitterObject {
    PyObject_HEAD
    CEmitterVTable* vtab;
    yaml_emitter_t emitter;
    OutputSink output;      // the stream written to, and whether it takes str
    int implicit_start;
    int implicit_end;
    PyObject* document_version;
    PyObject* document_tags;
    PyObject* emitted_nodes;
    PyObject* anchor_names;
    int anchor_counter;
    int serializer_state;
    PyObject* encoding_option;
    // Bookkeeping of our own, not part of the emitter's visible state.
    int ready;      // 1 once __init__ has run to its end; 0 while it runs and after it fails
    int busy;       // BusyGuard flag
    int depth;      // DepthGuard counter of the serializer passes
};

// The instance behind a method's `self`.
inline CEmitterObject* as_emitter(PyObject* o) noexcept { return reinterpret_cast<CEmitterObject*>(o); }

// Entry check of every emitting method: the libyaml emitter must be
// initialised and not running already (a callback re-entering it is refused).
class EmitterEntry {
public:
    explicit EmitterEntry(CEmitterObject* self) noexcept;
    explicit operator bool() const noexcept { return ok_; }

private:
    BusyGuard busy_;
    bool ok_;
};

// Hands `event` to libyaml (which takes it over, on success and failure
// alike); then a pending Python exception from the write callback wins, else
// a libyaml failure is translated by `_emitter_error`. 0 or -1.
int guarded_emit(CEmitterObject* self, yaml_event_t* event);

extern PyTypeObject CEmitterType;
extern CEmitterVTable cemitter_vtable;

// Fills the operation table and the type's slots (before PyType_Ready).
void prepare_cemitter_type();

}  // namespace ymod
