#pragma once

// Runs one step of a handler whose failing steps are skipped silently, the next step running
// as if the failed one had not been there.

#include "platform/RuntimeError.h"

template <typename Step> void resumeNext(Step&& step) {
    try {
        step();
    } catch (const RuntimeError&) {
    }
}
