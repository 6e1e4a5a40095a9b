// Declaring a class: the call path of every constructor, method, function
// and property, generated from the typed implementation behind it.
//
// An implementation is a plain function on plain values. Its parameters say
// how the arguments convert (Converter<T>); for a method, the first
// parameter is the receiver's payload, `const P&` for a shared borrow and
// `P&` for an exclusive one. It returns a value, a Result<T> of the core, or
// `Made` when it builds its Python result itself.
//
//     constexpr Params vector_new{"Vector3D", "__new__", "x", "y", "z"};
//     Vector3D make_vector(double x, double y, double z);
//
//     template <>
//     const ClassDef& class_def<Vector3D>() {
//         static const ClassDef def = define_class<Vector3D>({
//             .name = "Vector3D",
//             .sentence = "Standard 3D vector representation.",
//             .constructor = constructor<make_vector, vector_new>(),
//             .properties = {field<&Vector3D::x>("x"), ...},
//         });
//         return def;
//     }
#pragma once

#include <array>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>

#include "binding/arguments.hpp"
#include "binding/classes.hpp"
#include "binding/convert.hpp"
#include "binding/errors.hpp"
#include "binding/record.hpp"
#include "core/error.hpp"

namespace velmarin::binding {

// A result the implementation made as a Python object itself; empty when
// it failed with the interpreter's error indicator set.
struct Made {
    PyRef object;
};

namespace detail {

template <class F>
struct Function;
template <class R, class... A>
struct Function<R (*)(A...)> {
    using Return = R;
    using Args = std::tuple<A...>;
};
template <class R, class... A>
struct Function<R (*)(A...) noexcept> : Function<R (*)(A...)> {};

template <class M>
struct Member;
template <class T, class P>
struct Member<T P::*> {
    using Value = T;
    using Record = P;
};

template <class T>
struct IsResult : std::false_type {};
template <class T>
struct IsResult<Result<T>> : std::true_type {};

template <class Tuple>
struct Stored;
template <class... A>
struct Stored<std::tuple<A...>> {
    using Type = std::tuple<std::remove_cvref_t<A>...>;
};

// The receiver of a method, split from its other parameters.
template <class Tuple>
struct Receiver;
template <class First, class... Rest>
struct Receiver<std::tuple<First, Rest...>> {
    using Record = std::remove_cvref_t<First>;
    static constexpr bool exclusive = !std::is_const_v<std::remove_reference_t<First>>;
    using Args = std::tuple<Rest...>;
};

PyObject* none();

// A Python object from what an implementation returned.
template <class R>
PyObject* finish(R&& result) {
    using T = std::remove_cvref_t<R>;
    if constexpr (std::is_same_v<T, Made>) {
        return result.object.release();
    } else if constexpr (IsResult<T>::value) {
        if (!result.ok()) {
            raise_error(result.error());
            return nullptr;
        }
        if constexpr (std::is_same_v<T, Result<void>>) {
            return none();
        } else {
            return finish(std::move(result).value());
        }
    } else {
        return Converter<T>::cast(std::forward<R>(result));
    }
}

// Converts the bound arguments in parameter order; the first failure stops.
template <class Values, std::size_t N>
bool load_all(Values& values, const std::array<PyObject*, N>& slots, const Params<N>& params) {
    static_assert(std::tuple_size_v<Values> == N, "parameter table and implementation disagree");
    return [&]<std::size_t... I>(std::index_sequence<I...>) {
        return (load_argument(slots[I], std::get<I>(values), params.names[I]) && ...);
    }(std::make_index_sequence<N>{});
}

// Calls the implementation and turns its result into an object.
template <auto Impl, class... Front, class Values>
PyObject* invoke(Values&& values, Front&... front) {
    using R = typename Function<decltype(Impl)>::Return;
    auto call = [&](auto&&... args) -> decltype(auto) { return Impl(front..., std::move(args)...); };
    if constexpr (std::is_void_v<R>) {
        std::apply(call, std::move(values));
        return none();
    } else {
        return finish(std::apply(call, std::move(values)));
    }
}

// Binds the call's arguments to the table and converts them to the types of
// the implementation's parameters (`Args`); empty with the error set.
template <class Args, const auto& P>
std::optional<typename Stored<Args>::Type> bind_and_load(PyObject* args, PyObject* kwargs) {
    std::array<PyObject*, P.size()> slots;
    if (!bind_arguments(P, args, kwargs, slots)) return std::nullopt;
    std::optional<typename Stored<Args>::Type> values(std::in_place);
    if (!load_all(*values, slots, P)) return std::nullopt;
    return values;
}

}  // namespace detail

// --- entry points -----------------------------------------------------------

template <auto Impl, const auto& P>
PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
    return guarded(
        [&]() -> PyObject* {
            using F = detail::Function<decltype(Impl)>;
            auto values = detail::bind_and_load<typename F::Args, P>(args, kwargs);
            if (!values) return nullptr;
            auto made = std::apply(Impl, std::move(*values));
            if constexpr (detail::IsResult<decltype(made)>::value) {
                if (!made.ok()) {
                    raise_error(made.error());
                    return nullptr;
                }
                return new_instance_of(type, std::move(made).value());
            } else {
                return new_instance_of(type, std::move(made));
            }
        },
        static_cast<PyObject*>(nullptr));
}

template <auto Impl, const auto& P>
PyObject* call_method(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    return guarded(
        [&]() -> PyObject* {
            using F = detail::Function<decltype(Impl)>;
            using R = detail::Receiver<typename F::Args>;
            std::array<PyObject*, P.size()> slots;
            if (!bind_arguments(P, args, kwargs, slots)) return nullptr;
            Instance<typename R::Record>* receiver = instance_of<typename R::Record>(self);
            auto borrow = Borrow<R::exclusive>::take(receiver->borrow);
            if (!borrow) return nullptr;
            typename detail::Stored<typename R::Args>::Type values;
            if (!detail::load_all(values, slots, P)) return nullptr;
            return detail::invoke<Impl>(std::move(values), receiver->payload);
        },
        static_cast<PyObject*>(nullptr));
}

template <auto Impl>
PyObject* call_method_without_arguments(PyObject* self, PyObject*) noexcept {
    return guarded(
        [&]() -> PyObject* {
            using R = detail::Receiver<typename detail::Function<decltype(Impl)>::Args>;
            Instance<typename R::Record>* receiver = instance_of<typename R::Record>(self);
            auto borrow = Borrow<R::exclusive>::take(receiver->borrow);
            if (!borrow) return nullptr;
            return detail::invoke<Impl>(std::tuple<>{}, receiver->payload);
        },
        static_cast<PyObject*>(nullptr));
}

// Static methods and module functions: no receiver.
template <auto Impl, const auto& P>
PyObject* call_function(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded(
        [&]() -> PyObject* {
            using F = detail::Function<decltype(Impl)>;
            auto values = detail::bind_and_load<typename F::Args, P>(args, kwargs);
            if (!values) return nullptr;
            return detail::invoke<Impl>(std::move(*values));
        },
        static_cast<PyObject*>(nullptr));
}

// A getter is a data member pointer or a function of the const payload.
template <auto Get>
PyObject* get_property(PyObject* self, void*) noexcept {
    return guarded(
        [&]() -> PyObject* {
            if constexpr (std::is_member_object_pointer_v<decltype(Get)>) {
                using P = typename detail::Member<decltype(Get)>::Record;
                Instance<P>* object = instance_of<P>(self);
                auto borrow = SharedBorrow::take(object->borrow);
                if (!borrow) return nullptr;
                return detail::finish(object->payload.*Get);
            } else {
                using R = detail::Receiver<typename detail::Function<decltype(Get)>::Args>;
                Instance<typename R::Record>* object = instance_of<typename R::Record>(self);
                auto borrow = SharedBorrow::take(object->borrow);
                if (!borrow) return nullptr;
                return detail::finish(Get(object->payload));
            }
        },
        static_cast<PyObject*>(nullptr));
}

int refuse_deletion();

// A setter is a data member pointer or a function (P&, T). The new value is
// converted completely before the object is borrowed.
template <auto Set>
int set_property(PyObject* self, PyObject* value, void* name) noexcept {
    return guarded(
        [&]() -> int {
            if (!value) return refuse_deletion();
            if constexpr (std::is_member_object_pointer_v<decltype(Set)>) {
                using M = detail::Member<decltype(Set)>;
                typename M::Value converted{};
                if (!load_argument(value, converted, static_cast<const char*>(name))) return -1;
                Instance<typename M::Record>* object = instance_of<typename M::Record>(self);
                auto borrow = ExclusiveBorrow::take(object->borrow);
                if (!borrow) return -1;
                object->payload.*Set = std::move(converted);
            } else {
                using Args = typename detail::Function<decltype(Set)>::Args;
                using P = std::remove_cvref_t<std::tuple_element_t<0, Args>>;
                std::remove_cvref_t<std::tuple_element_t<1, Args>> converted{};
                if (!load_argument(value, converted, static_cast<const char*>(name))) return -1;
                Instance<P>* object = instance_of<P>(self);
                auto borrow = ExclusiveBorrow::take(object->borrow);
                if (!borrow) return -1;
                Set(object->payload, std::move(converted));
            }
            return 0;
        },
        -1);
}

// --- table entries ------------------------------------------------------------

template <auto Get>
PyGetSetDef property(const char* name) {
    return {name, &get_property<Get>, nullptr, nullptr, nullptr};
}

template <auto Get, auto Set>
PyGetSetDef property(const char* name) {
    return {name, &get_property<Get>, &set_property<Set>, nullptr, const_cast<char*>(name)};
}

// A data member that Python can read and write.
template <auto Member>
PyGetSetDef field(const char* name) {
    return property<Member, Member>(name);
}

std::string method_doc(const char* name, ParameterList parameters, bool with_self, const char* sentence);

template <auto Impl, const auto& P>
PyMethodDef method(const char* sentence = "") {
    const char* doc = lasting(method_doc(P.name, P.list(), true, sentence));
    if constexpr (P.size() == 0) {
        return {P.name, reinterpret_cast<PyCFunction>(&call_method_without_arguments<Impl>), METH_NOARGS, doc};
    } else {
        return {P.name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&call_method<Impl, P>)),
                METH_VARARGS | METH_KEYWORDS, doc};
    }
}

template <auto Impl, const auto& P>
PyMethodDef static_method(const char* sentence) {
    return {P.name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&call_function<Impl, P>)),
            METH_VARARGS | METH_KEYWORDS | METH_STATIC, lasting(method_doc(P.name, P.list(), false, sentence))};
}

// A module-level function.
template <auto Impl, const auto& P>
PyMethodDef function(const char* sentence) {
    return {P.name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&call_function<Impl, P>)),
            METH_VARARGS | METH_KEYWORDS, lasting(method_doc(P.name, P.list(), false, sentence))};
}

struct Constructor {
    newfunc entry = nullptr;  // nullptr: Python cannot construct the class
    std::string signature;
};

template <auto Impl, const auto& P>
Constructor constructor() {
    return {&construct<Impl, P>, signature_line(P.owner, P.list(), false)};
}

struct ClassSpec {
    const char* name;
    const char* sentence;
    Constructor constructor = {};
    std::vector<PyGetSetDef> properties = {};
    std::vector<PyMethodDef> methods = {};
};

ClassDef make_class_def(ClassSpec spec, Py_ssize_t basic_size, destructor dealloc);

template <class P>
ClassDef define_class(ClassSpec spec) {
    return make_class_def(std::move(spec), sizeof(Instance<P>), &dealloc_instance<P>);
}

}  // namespace velmarin::binding
