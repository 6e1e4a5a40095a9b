// The cyclic garbage collector paused while a call makes many container
// objects at once (the lists a build leaves to be made when first read).
// Each new list counts towards the collector's next pass, and the passes
// that hundreds of thousands of them set off walk every object of the
// process: making a 100,000-room graph's lists took three times as long
// with the collector running. The 3.9 limited API has no PyGC_Disable, so
// the guard calls the gc module.
#pragma once

#include "binding/python.hpp"

namespace velmarin::binding {

class CollectorPause {
public:
    // Pauses the collector if it runs. A failure to do so only leaves it
    // running: the error is cleared and the work goes on.
    CollectorPause();
    // Lets it run again, keeping any pending error as it is.
    ~CollectorPause();

    CollectorPause(const CollectorPause&) = delete;
    CollectorPause& operator=(const CollectorPause&) = delete;

private:
    PyRef gc_;  // the gc module while the guard holds the collector paused
};

}  // namespace velmarin::binding
