// orba-album: composes, renders and encodes the demo album, one mp3 per day.
// Files that already exist are kept; each new file is written under a
// hidden temporary name and moved into place only when complete.
#include "Encoder.h"
#include "Song.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kDays = 30;

struct SOptions
{
    std::string m_Out = "Tamm_songs";
    uint64_t m_Seed = 1;
    double m_Seconds = 0.0;
    int m_First = 1, m_Last = kDays;
    int m_Jobs = 2;
    bool m_List = false;
};

void Usage(FILE* to)
{
    std::fprintf(to,
                 "usage: orba-album [--out DIR] [--seed N] [--seconds S] [--days a-b] [--jobs N] [--list]\n"
                 "  --out DIR     folder for \"tamm - dayN.mp3\" (default Tamm_songs)\n"
                 "  --seed N      composition seed (default 1)\n"
                 "  --seconds S   force every piece to S seconds (0.5 to 600), for tests\n"
                 "  --days a-b    only these days (1 to 30), or one day\n"
                 "  --jobs N      files encoded at once (1 to 16, default 2)\n"
                 "  --list        describe the pieces without writing anything\n");
}

bool ParseInt(const char* text, long long lo, long long hi, long long& value)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi)
        return false;
    value = v;
    return true;
}

bool ParseArgs(int argc, char** argv, SOptions& o)
{
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        long long n = 0;
        if (a == "--list") {
            o.m_List = true;
            continue;
        }
        if (a == "--help" || a == "-h") {
            Usage(stdout);
            std::exit(0);
        }
        if (!v) {
            std::fprintf(stderr, "orba-album: %s needs a value\n", a.c_str());
            return false;
        }
        ++i;
        if (a == "--out") {
            if (!*v) {
                std::fprintf(stderr, "orba-album: empty --out\n");
                return false;
            }
            o.m_Out = v;
        } else if (a == "--seed") {
            char* end = nullptr;
            errno = 0;
            unsigned long long s = std::strtoull(v, &end, 10);
            if (errno != 0 || *end != '\0' || !*v || *v == '-') {
                std::fprintf(stderr, "orba-album: bad --seed '%s'\n", v);
                return false;
            }
            o.m_Seed = s;
        } else if (a == "--seconds") {
            char* end = nullptr;
            double s = std::strtod(v, &end);
            if (!*v || *end != '\0' || !(s >= 0.5 && s <= 600.0)) {
                std::fprintf(stderr, "orba-album: --seconds must be 0.5 to 600, not '%s'\n", v);
                return false;
            }
            o.m_Seconds = s;
        } else if (a == "--days") {
            std::string d = v;
            size_t dash = d.find('-');
            long long a1 = 0, b1 = 0;
            bool ok = dash == std::string::npos
                          ? ParseInt(d.c_str(), 1, kDays, a1) && (b1 = a1, true)
                          : ParseInt(d.substr(0, dash).c_str(), 1, kDays, a1) &&
                                ParseInt(d.substr(dash + 1).c_str(), 1, kDays, b1);
            if (!ok || a1 > b1) {
                std::fprintf(stderr, "orba-album: --days must be a-b within 1-30, not '%s'\n", v);
                return false;
            }
            o.m_First = int(a1);
            o.m_Last = int(b1);
        } else if (a == "--jobs") {
            if (!ParseInt(v, 1, 16, n)) {
                std::fprintf(stderr, "orba-album: --jobs must be 1 to 16, not '%s'\n", v);
                return false;
            }
            o.m_Jobs = int(n);
        } else {
            std::fprintf(stderr, "orba-album: unknown option '%s'\n", a.c_str());
            return false;
        }
    }
    return true;
}

std::string DayName(int day) { return "tamm - day" + std::to_string(day) + ".mp3"; }

// Anything under the name counts as taken, a dangling link included.
bool Taken(const fs::path& p)
{
    std::error_code ec;
    return fs::symlink_status(p, ec).type() != fs::file_type::not_found;
}

// Moves the finished file into place unless something appeared there in the
// meantime: a user's file is never replaced.
bool PlaceFile(const fs::path& from, const fs::path& to, bool& existed)
{
    existed = false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EEXIST) {
        existed = true;
        return false;
    }
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the no-replace rename: a hard link fails on an
    // existing name just the same.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    existed = errno == EEXIST;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    SOptions o;
    if (!ParseArgs(argc, argv, o)) {
        Usage(stderr);
        return 2;
    }
    if (o.m_List) {
        for (int day = o.m_First; day <= o.m_Last; ++day)
            std::printf("%s\n", album::CSong(o.m_Seed, day, o.m_Seconds).Describe().c_str());
        return 0;
    }

    const fs::path out = o.m_Out;
    std::error_code ec;
    fs::create_directories(out, ec);
    if (!fs::is_directory(out, ec)) {
        std::fprintf(stderr, "orba-album: cannot use folder '%s'\n", o.m_Out.c_str());
        return 1;
    }

    std::vector<int> todo;
    for (int day = o.m_First; day <= o.m_Last; ++day) {
        if (Taken(out / DayName(day)))
            std::printf("day %d: %s exists, kept\n", day, DayName(day).c_str());
        else
            todo.push_back(day);
    }
    std::fflush(stdout);

    std::atomic<size_t> next{0};
    std::atomic<int> failures{0};
    std::mutex printLock;
    auto worker = [&]() {
        album::SRenderSpace space;
        std::vector<float> left, right;
        for (size_t i = next++; i < todo.size(); i = next++) {
            int day = todo[i];
            album::CSong song(o.m_Seed, day, o.m_Seconds);
            song.Render(left, right, space);
            const fs::path final = out / DayName(day);
            const fs::path part = out / ("." + DayName(day) + ".part");
            std::string error;
            bool ok = album::EncodeMp3(left, right, part.string(), day, error);
            bool existed = false;
            if (ok && !PlaceFile(part, final, existed)) {
                ok = false;
                error = existed ? "appeared meanwhile, kept" : "cannot move into place: " + std::string(std::strerror(errno));
            }
            if (!ok) {
                std::error_code ignore;
                fs::remove(part, ignore);
            }
            std::lock_guard<std::mutex> lock(printLock);
            if (ok) {
                std::printf("%s\n", song.Describe().c_str());
            } else if (existed) {
                std::printf("day %d: %s %s\n", day, DayName(day).c_str(), error.c_str());
            } else {
                std::fprintf(stderr, "orba-album: day %d: %s\n", day, error.c_str());
                ++failures;
            }
            std::fflush(stdout);
        }
    };
    int jobs = std::min<int>(o.m_Jobs, int(todo.size()));
    std::vector<std::thread> threads;
    for (int j = 1; j < jobs; ++j)
        threads.emplace_back(worker);
    worker();
    for (auto& t : threads)
        t.join();
    return failures > 0 ? 1 : 0;
}
