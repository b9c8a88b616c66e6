// Writes the benchmark's test tree: a deterministic folder tree of mixed-case names with a mix
// of extensions, some hidden entries, a few links and a few very large folders. The same
// arguments always give the same tree. At the end every time stamp is moved an hour back, so
// that the folder cache keeps the listings of the tree's folders (it does not keep a listing
// of a folder modified in the last moments).
//
// Usage: make_tree OUTPUT [--variant N] [--levels N] [--fanout MIN MAX] [--files N]
//                         [--big-folders N] [--big-size N]

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Settings {
    std::string output;
    uint64_t variant = 1;
    int levels = 5; // the root and four levels below it
    int minFanout = 8;
    int maxFanout = 12;
    long files = 200000; // every visible regular file, the big folders' included
    int bigFolders = 4;
    int bigSize = 5000;
};

// splitmix64: tiny, fast and the same on every machine.
class Random {
public:
    explicit Random(uint64_t start) : m_state(start) {}
    uint64_t next() {
        uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // A whole number from `low` to `high`, both included.
    long between(long low, long high) { return low + long(next() % uint64_t(high - low + 1)); }
    bool chance(int perMille) { return between(0, 999) < perMille; }

private:
    uint64_t m_state;
};

// Extensions with their weights in thousandths; "*.log" in any case matches about 5 % of the
// files, so that it finds about 10,000 in the default tree.
struct Extension {
    const char* text;
    int weight;
};
constexpr Extension Extensions[] = {
    {".txt", 140}, {".TXT", 30},    {".c", 70},   {".h", 60},    {".H", 10},      {".cpp", 60},
    {".Cpp", 10},  {".jpg", 70},    {".JPG", 40}, {".png", 60},  {".log", 35},    {".LOG", 10},
    {".Log", 5},   {".tar.gz", 30}, {".md", 40},  {".json", 40}, {".dat", 50},    {".html", 40},
    {".pdf", 40},  {".Doc", 20},    {"", 80},     {".", 5},      {".log.old", 5},
};
constexpr int HiddenPerMille = 40; // files whose names begin with a dot

const char* const Syllables[] = {"ra", "port", "data", "ki",   "lo",   "ex", "sam", "pel", "to",
                                 "mi", "fil",  "ny",   "ett",  "bok",  "al", "ord", "ver", "sto",
                                 "nu", "pro",  "jekt", "bild", "sang", "zu", "qua", "vi"};

std::string caseStyled(std::string word, Random& random) {
    switch (random.between(0, 3)) {
    case 0:
        break; // lower case
    case 1:
        word[0] = char(std::toupper(static_cast<unsigned char>(word[0])));
        break;
    case 2:
        for (char& c : word)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        break;
    default:
        for (char& c : word)
            if (random.chance(400))
                c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    return word;
}

std::string word(Random& random) {
    std::string text;
    const long syllables = random.between(1, 4);
    for (long i = 0; i < syllables; ++i)
        text += Syllables[random.between(0, long(std::size(Syllables)) - 1)];
    return caseStyled(text, random);
}

const char* extension(Random& random) {
    long pick = random.between(0, 999);
    for (const Extension& extension : Extensions) {
        pick -= extension.weight;
        if (pick < 0)
            return extension.text;
    }
    return "";
}

// The number makes every name of a folder unique, whatever the words.
std::string fileName(Random& random, long number) {
    std::string name = word(random) + "_" + std::to_string(number) + extension(random);
    if (random.chance(HiddenPerMille))
        name.insert(0, ".");
    return name;
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "make_tree: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

class TreeWriter {
public:
    explicit TreeWriter(const Settings& settings)
        : m_settings(settings), m_random(startFrom(settings)) {}

    void write() {
        makeFolder(m_settings.output);
        m_folders.push_back({m_settings.output, 1});
        // Breadth first, so that the folder list is in level order and the same every time.
        for (size_t i = 0; i < m_folders.size(); ++i) {
            const Folder folder = m_folders[i];
            if (folder.level >= m_settings.levels)
                continue;
            const long fanout = m_random.between(m_settings.minFanout, m_settings.maxFanout);
            for (long n = 0; n < fanout; ++n) {
                const std::string path =
                    folder.path + "/" + word(m_random) + "_" + std::to_string(n);
                makeFolder(path);
                m_folders.push_back({path, folder.level + 1});
            }
        }
        fillBigFolders();
        fillFolders();
        addHiddenFoldersAndLinks();
        age();
        std::printf("%zu folders, %ld visible files (%ld match *.log), %ld hidden files, "
                    "%ld hidden folders, %ld links\n",
                    m_folders.size(), m_visibleFiles, m_logFiles, m_hiddenFiles, m_hiddenFolders,
                    m_links);
    }

private:
    struct Folder {
        std::string path;
        int level;
    };

    static uint64_t startFrom(const Settings& s) {
        uint64_t mixed = s.variant;
        for (uint64_t value : {uint64_t(s.levels), uint64_t(s.minFanout), uint64_t(s.maxFanout),
                               uint64_t(s.files), uint64_t(s.bigFolders), uint64_t(s.bigSize)})
            mixed = mixed * 1000003ULL + value;
        return mixed;
    }

    void makeFolder(const std::string& path) {
        if (mkdir(path.c_str(), 0755) != 0)
            fail(path);
        m_paths.push_back(path);
    }

    void makeFile(const std::string& folder, const std::string& name) {
        const std::string path = folder + "/" + name;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0)
            fail(path);
        close(fd);
        m_paths.push_back(path);
        count(name);
    }

    void count(const std::string& name) {
        if (name[0] == '.') {
            ++m_hiddenFiles;
            return;
        }
        ++m_visibleFiles;
        const size_t dot = name.rfind('.');
        if (dot != std::string::npos && strcasecmp(name.c_str() + dot, ".log") == 0)
            ++m_logFiles;
    }

    void fillFolder(const std::string& folder, long files, long& number) {
        for (long i = 0; i < files; ++i)
            makeFile(folder, fileName(m_random, number++));
    }

    // A few folders below the first level hold thousands of files each.
    void fillBigFolders() {
        long number = 0;
        for (int i = 0; i < m_settings.bigFolders && m_folders.size() > 1; ++i) {
            const size_t index = size_t(m_random.between(1, long(m_folders.size()) - 1));
            fillFolder(m_folders[index].path, m_settings.bigSize, number);
        }
        m_bigFileNumbers = number;
    }

    // The other files are spread over all folders, between none and twice the average; the
    // average allows for the hidden ones, so that the visible files come to the number asked.
    void fillFolders() {
        const long rest = std::max(0L, m_settings.files - m_visibleFiles);
        const long averageThousandths =
            rest * 1000 * 1000 / (long(m_folders.size()) * (1000 - HiddenPerMille));
        long number = m_bigFileNumbers;
        for (const Folder& folder : m_folders)
            fillFolder(folder.path, (m_random.between(0, 2 * averageThousandths) + 500) / 1000,
                       number);
    }

    // Hidden folders with matching files in them (a search must leave them out), links to
    // files (listed as files), links to folders (never walked into) and dangling links.
    void addHiddenFoldersAndLinks() {
        long number = 0;
        for (const Folder& folder : m_folders) {
            if (m_random.chance(30)) {
                const std::string hidden = folder.path + "/." + word(m_random);
                makeFolder(hidden);
                ++m_hiddenFolders;
                for (int i = 0; i < 5; ++i)
                    makeFileUncounted(hidden, word(m_random) + "_" + std::to_string(i) + ".log");
            }
            if (m_random.chance(10)) {
                const std::string suffix = "_" + std::to_string(number++);
                makeLink(folder.path, "FileLink" + suffix + ".log", linkTargetIn(folder.path));
                makeLink(folder.path, "upLink" + suffix, "..");
                makeLink(folder.path, "Dangling" + suffix + ".log", "nowhere" + suffix);
            }
        }
    }

    void makeFileUncounted(const std::string& folder, const std::string& name) {
        const std::string path = folder + "/" + name;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0)
            fail(path);
        close(fd);
        m_paths.push_back(path);
    }

    // A file of the folder to point at; the link then counts as one more visible file.
    std::string linkTargetIn(const std::string& folder) {
        const std::string name = "LinkTarget_" + std::to_string(m_links) + ".txt";
        makeFile(folder, name);
        return name;
    }

    void makeLink(const std::string& folder, const std::string& name, const std::string& target) {
        const std::string path = folder + "/" + name;
        if (symlink(target.c_str(), path.c_str()) != 0)
            fail(path);
        m_paths.push_back(path);
        ++m_links;
        if (name.rfind("FileLink", 0) == 0)
            count(name);
    }

    // Files first and the root last, so that no folder is changed after its time is set.
    void age() {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        const timespec hourAgo{now.tv_sec - 3600, 0};
        const timespec times[2] = {hourAgo, hourAgo};
        for (auto it = m_paths.rbegin(); it != m_paths.rend(); ++it)
            if (utimensat(AT_FDCWD, it->c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
                fail(*it);
    }

    const Settings& m_settings;
    Random m_random;
    std::vector<Folder> m_folders;
    std::vector<std::string> m_paths; // in the order of creation
    long m_bigFileNumbers = 0;
    long m_visibleFiles = 0;
    long m_logFiles = 0;
    long m_hiddenFiles = 0;
    long m_hiddenFolders = 0;
    long m_links = 0;
};

long number(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0) {
        std::fprintf(stderr, "make_tree: not a number: %s\n", text);
        std::exit(2);
    }
    return value;
}

Settings parse(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--variant" && hasValue)
            settings.variant = uint64_t(number(argv[++i]));
        else if (argument == "--levels" && hasValue)
            settings.levels = int(number(argv[++i]));
        else if (argument == "--fanout" && i + 2 < argc) {
            settings.minFanout = int(number(argv[++i]));
            settings.maxFanout = int(number(argv[++i]));
        } else if (argument == "--files" && hasValue)
            settings.files = number(argv[++i]);
        else if (argument == "--big-folders" && hasValue)
            settings.bigFolders = int(number(argv[++i]));
        else if (argument == "--big-size" && hasValue)
            settings.bigSize = int(number(argv[++i]));
        else if (settings.output.empty() && argument[0] != '-')
            settings.output = argument;
        else {
            settings.output.clear();
            break;
        }
    }
    if (settings.output.empty() || settings.levels < 1 || settings.minFanout > settings.maxFanout) {
        std::fprintf(stderr,
                     "usage: make_tree OUTPUT [--variant N] [--levels N] [--fanout MIN MAX] "
                     "[--files N] [--big-folders N] [--big-size N]\n"
                     "OUTPUT must not exist yet.\n");
        std::exit(2);
    }
    return settings;
}

} // namespace

int main(int argc, char** argv) {
    const Settings settings = parse(argc, argv);
    TreeWriter(settings).write();
    return 0;
}
