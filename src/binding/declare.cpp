#include "binding/declare.hpp"

#include <deque>

namespace velmarin::binding {

const char* lasting(std::string text) {
    static std::deque<std::string> texts;
    return texts.emplace_back(std::move(text)).c_str();
}

PyObject* detail::none() {
    Py_INCREF(Py_None);
    return Py_None;
}

int refuse_deletion() {
    PyErr_SetString(PyExc_AttributeError, "property has no deleter");
    return -1;
}

std::string method_doc(const char* name, ParameterList parameters, bool with_self, const char* sentence) {
    return signature_line(name, parameters, with_self) + "\n--\n\n" + sentence;
}

ClassDef make_class_def(ClassSpec spec, Py_ssize_t basic_size, destructor dealloc) {
    std::string doc =
        spec.constructor.entry ? spec.constructor.signature + "\n--\n\n" + spec.sentence : std::string(spec.sentence);
    return ClassDef{
        .name = spec.name,
        .doc = std::move(doc),
        .basic_size = basic_size,
        .constructor = spec.constructor.entry,
        .dealloc = dealloc,
        .properties = std::move(spec.properties),
        .methods = std::move(spec.methods),
    };
}

}  // namespace velmarin::binding
