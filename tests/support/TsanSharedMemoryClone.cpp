// clang 14's ThreadSanitizer takes every clone() for a fork: it readies its state for a child
// before the call and mends it in the child and in the parent after. A clone that shares the
// parent's memory (CLONE_VM, as QProcess starts its children, vfork-like) shares that state
// too, so the child's mending undoes the parent's, and the runtime stops the parent with a
// failed check. Such a child runs Qt's code only, which is not watched, until it calls exec, so
// it is handed to the C library's clone() directly, as gcc's runtime does with every clone; any
// other clone still goes through the runtime. Linked into the suites of the race detector's
// build with clang 14 only.

#include <cstdarg>
#include <dlfcn.h>
#include <sched.h>
#include <sys/types.h>

extern "C" {

using CloneFunction = int (*)(int (*)(void*), void*, int, void*, ...);

int __interceptor_clone(int (*function)(void*), void* stack, int flags, void* argument, ...);

__attribute__((no_sanitize("thread"))) int clone(int (*function)(void*), void* stack, int flags,
                                                 void* argument, ...) {
    va_list rest;
    va_start(rest, argument);
    pid_t* parentTid = va_arg(rest, pid_t*);
    void* tls = va_arg(rest, void*);
    pid_t* childTid = va_arg(rest, pid_t*);
    va_end(rest);
    if (flags & CLONE_VM) {
        static const auto systemClone = reinterpret_cast<CloneFunction>(dlsym(RTLD_NEXT, "clone"));
        return systemClone(function, stack, flags, argument, parentTid, tls, childTid);
    }
    return __interceptor_clone(function, stack, flags, argument, parentTid, tls, childTid);
}
}
