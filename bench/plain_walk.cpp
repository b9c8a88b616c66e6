// The reference walk for the benchmark: the fastest plain way to read a tree on Linux, against
// which the search's own walk is measured. It reads every folder with getdents64 and uses the
// entry type that comes with each name, never a stat; hidden names are left out and links are
// not followed, as in the search. It only counts: no names are kept, matched or sorted. With
// --stamp it also takes each folder's stamp (statx on the open folder) before reading it, as a
// search that keeps listings does: the floor of such a walk.
//
// Usage: plain_walk ROOT [RUNS] [--stamp]   prints entries, folders and the median time of RUNS
// walks.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

struct Counts {
    long entries = 0;
    long folders = 0;
};

bool stamping = false;

struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

void walk(int parent, const char* name, Counts& counts) {
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return; // unreadable: left out, as the search leaves it out
    ++counts.folders;
    if (stamping) {
        struct statx stamp {};
        statx(fd, "", AT_EMPTY_PATH,
              STATX_TYPE | STATX_INO | STATX_CTIME | STATX_MTIME | STATX_MNT_ID, &stamp);
    }
    alignas(LinuxDirent64) char buffer[32 * 1024]; // on the stack: one per level of the tree
    for (;;) {
        const long bytes = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (bytes <= 0)
            break;
        for (long offset = 0; offset < bytes;) {
            const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + offset);
            offset += entry->d_reclen;
            if (entry->d_name[0] == '.')
                continue;
            ++counts.entries;
            if (entry->d_type == DT_DIR)
                walk(fd, entry->d_name, counts);
        }
    }
    close(fd);
}

double seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[argc - 1], "--stamp") == 0) {
        stamping = true;
        --argc;
    }
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: plain_walk ROOT [RUNS] [--stamp]\n");
        return 2;
    }
    const int runs = std::max(1, argc == 3 ? std::atoi(argv[2]) : 1);
    std::vector<double> times;
    Counts counts;
    for (int run = 0; run < runs; ++run) {
        counts = Counts{};
        const double start = seconds();
        walk(AT_FDCWD, argv[1], counts);
        times.push_back(seconds() - start);
    }
    std::sort(times.begin(), times.end());
    const double median = times.size() % 2
                              ? times[times.size() / 2]
                              : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    std::printf("entries=%ld folders=%ld seconds=%.4f entries_per_second=%.0f\n", counts.entries,
                counts.folders, median, double(counts.entries) / median);
    return 0;
}
