#!/usr/bin/env python3
"""Reads `perf script -F comm,tid,time,period,ip,sym,dso` with call chains on standard input and
prints where the samples went: by thread (the window's, the walk, the readers) and by kind of
work, each as a share of all samples, then the functions that most samples ended in.

A sample counts for the first kind whose mark it finds in its call chain, looked for in the
order of KINDS: system calls first (their kernel frames are always there), then our functions
and Qt's."""

import collections
import sys

# System calls, told by their kernel frames or the C library's wrappers (a sample taken as the
# call enters the kernel may lack the kernel's frames): the first kind with a mark anywhere in
# the chain. The waits and wakes of locks come before the raw syscall() that reads folders.
SYSTEM_CALLS = [
    ("kernel: getdents64 (reading folders)", ["__x64_sys_getdents64"]),
    ("kernel: openat (opening folders)", ["__x64_sys_openat", "__libc_openat64"]),
    ("kernel: close", ["__x64_sys_close", "__GI___close", "__close"]),
    ("kernel: stat (links, unknown types)",
     ["__do_sys_newfstatat", "__x64_sys_newfstatat", "__GI___fstatat64", "fstatat"]),
    ("handoff: futex (a thread waits or wakes one)",
     ["__x64_sys_futex", "futex_wait", "futex_wake", "__futex_abstimed_wait",
      "__GI___lll_lock_wait", "__GI___lll_lock_wake", "__lll_lock_wait", "__lll_lock_wake"]),
    ("handoff: eventfd, poll (the window woken)",
     ["__x64_sys_poll", "__x64_sys_ppoll", "__x64_sys_write", "__x64_sys_read", "__GI___poll",
      "__GI___libc_write", "__GI___libc_read"]),
    ("kernel: memory (page faults, mmap)",
     ["asm_exc_page_fault", "__x64_sys_mmap", "__x64_sys_munmap", "__x64_sys_madvise",
      "__x64_sys_brk", "__x64_sys_mprotect", "__GI_mprotect", "__GI___mmap", "__GI___munmap",
      "__brk"]),
    ("kernel: thread start and end",
     ["__x64_sys_clone", "__x64_sys_exit", "__x64_sys_set_robust"]),
    ("handoff: thread switches", ["finish_task_switch", "__schedule", "schedule"]),
    ("kernel: getdents64 (reading folders)", ["syscall"]),
]
# Work in the program, told by the frame nearest the sample that carries a mark: memory and
# locks where they are called from, painting wherever in the window it happens.
USER_WORK = [
    ("memory: malloc, free", ["malloc", "_int_malloc", "_int_free", "cfree", "free",
                              "operator new", "operator delete", "__libc_malloc", "realloc",
                              "_int_realloc", "malloc_consolidate", "tcache"]),
    ("handoff: locks (user side)", ["pthread_mutex", "pthread_cond", "__lll_lock",
                                    "std::condition_variable", "___pthread_mutex",
                                    "__pthread_mutex", "std::mutex"]),
    ("window: painting", ["QWidgetRepaintManager", "QWidgetPrivate::drawWidget",
                          "QWidgetPrivate::paintSiblingsRecursive", "QListView::paintEvent",
                          "QPainter", "QTextEngine", "QStyle", "QCommonStyle", "QFusionStyle"]),
    ("window: taking entries (model, list, count)",
     ["ResultEntries::", "RunControl::takeEntries", "QListView::rowsInserted",
      "QAbstractItemView::rowsInserted", "QLabel::setText", "QListView::doItemsLayout",
      "QListViewPrivate", "QAbstractItemViewPrivate"]),
    ("search: read gate", ["ReadGate::", "ReadPass::"]),
    ("search: making entries (decode, QString)", ["Search::Walk::handOut", "EntryText::",
                                                  "FileNames::decode", "QString"]),
    ("search: listing (parse, match, sort)", ["FolderReader::", "NamePattern::"]),
    ("search: requests and hand-over", ["Search::", "std::_Hashtable", "std::vector"]),
]


def kind_of(chain):
    for kind, marks in SYSTEM_CALLS:
        if any(frame.startswith(mark) for frame in chain for mark in marks):
            return kind
    for frame in chain:
        for kind, marks in USER_WORK:
            if any(frame.startswith(mark) for mark in marks):
                return kind
    return None


def thread_of(comm, tid, window_tid):
    if comm.startswith("trovan-walk"):
        return "walk"
    if comm.startswith("trovan-read"):
        return "readers"
    if tid == window_tid:
        return "window"
    return "other threads"


def main():
    samples = []  # (comm, tid, period, chain of (symbol, dso))
    header = None
    chain = []
    for line in sys.stdin:
        if not line.strip():
            if header:
                samples.append((*header, chain))
            header, chain = None, []
            continue
        if not line.startswith((" ", "\t")):
            parts = line.split()
            # comm may hold spaces ("Thread (pooled)"): the tid is the first number field
            index = next(i for i, part in enumerate(parts) if part.isdigit())
            comm = " ".join(parts[:index])
            period = int(parts[index + 2]) if len(parts) > index + 2 and parts[index + 2].isdigit() else 1
            header = (comm, int(parts[index]), period)
            continue
        fields = line.split(None, 1)
        if len(fields) < 2:
            continue
        rest = fields[1].rstrip()
        dso = rest[rest.rfind("(") + 1:-1] if rest.endswith(")") else ""
        symbol = rest[: rest.rfind("(")].strip() if "(" in rest else rest
        symbol = symbol.split("+0x")[0]
        chain.append((symbol, dso))
    if header:
        samples.append((*header, chain))
    if not samples:
        print("no samples in the search's time")
        return
    window_tid = min(tid for comm, tid, _, _ in samples if comm.startswith("bench_search"))
    total = sum(period for _, _, period, _ in samples)
    by_thread = collections.Counter()
    by_kind = collections.Counter()
    by_thread_kind = collections.Counter()
    leaves = collections.Counter()
    leaves_by_kind = collections.defaultdict(collections.Counter)
    kernel_share = 0
    for comm, tid, period, chain in samples:
        thread = thread_of(comm, tid, window_tid)
        names = [symbol for symbol, _ in chain]
        kind = kind_of(names)
        in_kernel = bool(chain) and chain[0][1].startswith("[kernel")
        if kind is None:
            kind = "kernel: other" if in_kernel else "user: other"
        if in_kernel:
            kernel_share += period
        by_thread[thread] += period
        by_kind[kind] += period
        by_thread_kind[(thread, kind)] += period
        leaves[(names[0] if names else "?", chain[0][1] if chain else "?")] += period
        user = [name for (name, dso) in chain if not dso.startswith("[kernel")][:2]
        leaves_by_kind[kind][" < ".join(n[:50] for n in user)] += period

    def share(value):
        return f"{100.0 * value / total:5.1f} %"

    print(f"{len(samples)} samples in the search's time; {share(kernel_share)} in the kernel")
    print("\nBy thread:")
    for thread, value in by_thread.most_common():
        print(f"  {share(value)}  {thread}")
    print("\nBy kind of work (and the threads it ran on):")
    for kind, value in by_kind.most_common():
        threads = ", ".join(f"{thread} {100.0 * v / total:.1f}"
                            for (thread, k), v in by_thread_kind.most_common() if k == kind)
        print(f"  {share(value)}  {kind}  [{threads}]")
    if "--detail" in sys.argv:
        print("\nEach kind's samples by their first two frames outside the kernel:")
        for kind, value in by_kind.most_common():
            print(f"  {kind}")
            for frames, v in leaves_by_kind[kind].most_common(6):
                print(f"    {share(v)}  {frames}")
    if "--window" in sys.argv:
        print("\nThe window's samples by the first frames of the program or Qt:")
        stacks = collections.Counter()
        for comm, tid, period, chain in samples:
            if thread_of(comm, tid, window_tid) != "window":
                continue
            frames = [symbol for symbol, dso in chain
                      if not dso.startswith("[kernel") and symbol != "[unknown]"][:6]
            stacks[" < ".join(frame[:40] for frame in frames)] += period
        for stack, value in stacks.most_common(25):
            print(f"  {share(value)}  {stack}")
    print("\nFunctions the samples ended in:")
    for (symbol, dso), value in leaves.most_common(25):
        print(f"  {share(value)}  {symbol[:90]}  ({dso.rsplit('/', 1)[-1]})")


main()
