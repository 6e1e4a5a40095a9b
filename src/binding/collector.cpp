#include "binding/collector.hpp"

namespace velmarin::binding {

CollectorPause::CollectorPause() {
    PyRef gc = PyRef::steal(PyImport_ImportModule("gc"));
    PyRef running = gc ? PyRef::steal(PyObject_CallMethod(gc.get(), "isenabled", nullptr)) : PyRef();
    if (running.get() == Py_True) {
        PyRef paused = PyRef::steal(PyObject_CallMethod(gc.get(), "disable", nullptr));
        if (paused) gc_ = std::move(gc);
    }
    if (PyErr_Occurred()) PyErr_Clear();
}

CollectorPause::~CollectorPause() {
    if (!gc_) return;
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    PyRef resumed = PyRef::steal(PyObject_CallMethod(gc_.get(), "enable", nullptr));
    if (!resumed) PyErr_Clear();
    PyErr_Restore(type, value, traceback);
}

}  // namespace velmarin::binding
