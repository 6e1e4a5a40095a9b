// The interpreter lock given up for a stretch of native work that touches
// no Python object, so that other Python threads run meanwhile.
#pragma once

#include "binding/python.hpp"

namespace velmarin::binding {

// Taken back when the stretch ends, by return or by exception.
class ReleasedLock {
public:
    ReleasedLock() : state_(PyEval_SaveThread()) {}
    ~ReleasedLock() { PyEval_RestoreThread(state_); }
    ReleasedLock(const ReleasedLock&) = delete;
    ReleasedLock& operator=(const ReleasedLock&) = delete;

private:
    PyThreadState* state_;
};

}  // namespace velmarin::binding
