// Owned references to Python objects.
//
// Rules of use:
//  - `Ref` owns exactly one reference or nothing. It is move-only; it never
//    converts to `PyObject*` implicitly.
//  - `Ref::steal(p)` adopts a new reference (the result of a C API call that
//    returns one); an empty result means "an exception is set".
//  - `Ref::borrow(p)` takes a new reference to a borrowed pointer.
//  - `get()` lends the pointer; `release()` hands the reference to the caller
//    (for returning from a slot or giving it to a stealing API).
//  - Raw `PyObject*` appear in signatures only as borrowed parameters.
//  - Internal functions report failure by returning an empty `Ref`, -1 or
//    false with the Python exception set; no C++ exception ever crosses the
//    module.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace ymod {

class Ref {
public:
    Ref() noexcept = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    Ref& operator=(Ref&& other) noexcept {
        if (this != &other) {
            PyObject* old = p_;
            p_ = other.p_;
            other.p_ = nullptr;
            Py_XDECREF(old);
        }
        return *this;
    }
    ~Ref() { Py_XDECREF(p_); }

    // Adopts a new reference (may be null: an exception is then set).
    static Ref steal(PyObject* p) noexcept { return Ref(p); }
    // Takes a new reference to a borrowed pointer (may be null).
    static Ref borrow(PyObject* p) noexcept {
        Py_XINCREF(p);
        return Ref(p);
    }
    static Ref none() noexcept { return borrow(Py_None); }

    PyObject* get() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // Hands the reference over; the Ref is empty afterwards.
    [[nodiscard]] PyObject* release() noexcept {
        PyObject* p = p_;
        p_ = nullptr;
        return p;
    }
    void reset() noexcept {
        PyObject* old = p_;
        p_ = nullptr;
        Py_XDECREF(old);
    }

private:
    explicit Ref(PyObject* p) noexcept : p_(p) {}
    PyObject* p_ = nullptr;
};

// Replaces an owned object field with a new reference, releasing the old one
// only after the field holds the new value (the release may run arbitrary
// code that looks at the field).
inline void replace_field(PyObject*& field, Ref value) noexcept {
    PyObject* old = field;
    field = value.release();
    Py_XDECREF(old);
}

// Same for a borrowed value (a new reference is taken).
inline void assign_field(PyObject*& field, PyObject* value) noexcept {
    Py_XINCREF(value);
    PyObject* old = field;
    field = value;
    Py_XDECREF(old);
}

// Sets an object field to None, releasing what it held (GC clear).
inline void clear_field(PyObject*& field) noexcept { assign_field(field, Py_None); }

}  // namespace ymod
