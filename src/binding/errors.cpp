#include "binding/errors.hpp"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include "binding/names.hpp"
#include "binding/once.hpp"

namespace velmarin::binding {

namespace {

constexpr const char* internal_fault_doc =
    "\n"
    "The exception raised when native code called from Python meets an internal fault:\n"
    "a broken invariant of the extension itself, never a problem with the input.\n"
    "\n"
    "Like SystemExit, this exception derives from BaseException, so that it is\n"
    "not caught by `except Exception:` and typically propagates all the way up\n"
    "and ends the interpreter.\n";

void write_fault_diagnostic(const InternalFault& fault) {
    std::fprintf(stderr, "velmarin: internal fault at %s:%u: %s\n", fault.where().file_name(),
                 static_cast<unsigned>(fault.where().line()), fault.message().c_str());
}

void raise_internal_fault(const char* message) {
    PyObject* type = internal_fault_type();
    if (!type) return;  // creating the class failed and said why
    PyErr_SetString(type, message);
}

}  // namespace

void raise_error(const Error& error) {
    PyObject* type = error.kind == ErrorKind::Index ? PyExc_IndexError : PyExc_ValueError;
    PyErr_SetString(type, error.text.c_str());
}

std::string type_name_of(PyObject* object) {
    std::string name = "<failed to extract type name>";
    PyObject* attribute = interned_qualname();
    PyRef qualname =
        PyRef::steal(attribute ? PyObject_GetAttr(reinterpret_cast<PyObject*>(Py_TYPE(object)), attribute) : nullptr);
    PyRef bytes;
    if (qualname && PyUnicode_Check(qualname.get())) {
        if (const std::optional<std::string_view> utf8 = utf8_view(qualname.get(), bytes)) name.assign(*utf8);
    }
    PyErr_Clear();
    return name;
}

void raise_not_instance(PyObject* object, std::string_view class_name) {
    std::string text;
    if (object == Py_None) {
        text = "'None' is not an instance of '";
    } else {
        text.append("'").append(type_name_of(object)).append("' object is not an instance of '");
    }
    text.append(class_name).append("'");
    PyErr_SetString(PyExc_TypeError, text.c_str());
}

void note_argument(const char* parameter) {
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    if (!type) return;
    PyErr_NormalizeException(&type, &value, &traceback);
    PyObject* fault_type = internal_fault_type();
    if (value && fault_type && PyErr_GivenExceptionMatches(type, fault_type)) {
        // Python code that the conversion called met an internal fault: it
        // ends this call as a fault of our own would, diagnostic included
        // (its traceback stands for the source position).
        PySys_WriteStderr("velmarin: internal fault raised by Python code while processing '%s':\n", parameter);
        PyErr_Display(type, value, traceback);
    } else if (value && fault_type) {
        PyObject* name = interned_add_note();
        PyRef add_note = PyRef::steal(name ? PyObject_GetAttr(value, name) : nullptr);
        if (add_note) {
            std::string note = std::string("while processing '") + parameter + "'";
            PyRef text = text_object(note);
            PyRef done =
                PyRef::steal(text ? PyObject_CallFunctionObjArgs(add_note.get(), text.get(), nullptr) : nullptr);
        }
        PyErr_Clear();  // interpreters before 3.11 have no notes: report without one
    }
    if (traceback && value) PyException_SetTraceback(value, traceback);
    PyErr_Restore(type, value, traceback);
}

PyObject* internal_fault_type() {
    static GilSafeOnce<PyObject*> cell;
    PyObject** type = cell.get([]() -> std::optional<PyObject*> {
        PyObject* made =
            PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", internal_fault_doc, PyExc_BaseException, nullptr);
        if (!made) return std::nullopt;
        return made;
    });
    return type ? *type : nullptr;
}

void translate_current_exception() noexcept {
    try {
        try {
            throw;
        } catch (const InternalFault& fault) {
            write_fault_diagnostic(fault);
            raise_internal_fault(fault.message().c_str());
        } catch (const std::bad_alloc&) {
            PyErr_NoMemory();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "velmarin: internal fault: %s\n", error.what());
            raise_internal_fault(error.what());
        } catch (...) {
            std::fprintf(stderr, "velmarin: internal fault: unknown exception\n");
            raise_internal_fault("unknown exception");
        }
    } catch (...) {
        std::fputs("uncaught panic at ffi boundary\n", stderr);
        std::abort();
    }
}

}  // namespace velmarin::binding
