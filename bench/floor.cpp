// The physical floor of a scan: getdents64 and one statx per entry on N threads, and nothing
// else (no names kept, no index built). tamrel-bench scan is measured against it.

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// An open folder, closed when the last pending subfolder job lets it go.
struct Dir {
    explicit Dir(int f) : fd(f) {}
    ~Dir() { ::close(fd); }
    int fd;
};

struct Job {
    std::shared_ptr<Dir> parent;
    std::string name;
};

std::mutex mutex;
std::condition_variable cond;
std::vector<Job> stack;
int busy = 0;
std::atomic<std::uint64_t> entries{0};
std::atomic<std::uint64_t> bytes{0};

void list(const std::shared_ptr<Dir>& dir, char* buf, std::vector<Job>& found) {
    std::uint64_t n = 0, b = 0;
    for (;;) {
        const ssize_t got = ::getdents64(dir->fd, buf, 256 * 1024);
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* d = reinterpret_cast<const dirent64*>(buf + at);
            at += d->d_reclen;
            if (d->d_name[0] == '.' &&
                (d->d_name[1] == 0 || (d->d_name[1] == '.' && d->d_name[2] == 0))) {
                continue;
            }
            struct statx sx;
            if (::statx(
                    dir->fd, d->d_name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC,
                    STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_MTIME | STATX_BLOCKS,
                    &sx) != 0) {
                continue;
            }
            ++n;
            if (S_ISDIR(sx.stx_mode)) {
                found.push_back(Job{dir, d->d_name});
            } else {
                b += sx.stx_blocks * 512;
            }
        }
    }
    entries += n;
    bytes += b;
}

void work() {
    std::unique_ptr<char[]> buf(new char[256 * 1024]);
    std::vector<Job> found;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex);
            cond.wait(lock, [] { return !stack.empty() || busy == 0; });
            if (stack.empty()) {
                cond.notify_all();
                return;
            }
            job = std::move(stack.back());
            stack.pop_back();
            ++busy;
        }
        const int fd = ::openat(job.parent->fd, job.name.c_str(),
                                O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        job.parent.reset();
        if (fd >= 0) list(std::make_shared<Dir>(fd), buf.get(), found);
        {
            std::lock_guard lock(mutex);
            for (auto it = found.rbegin(); it != found.rend(); ++it)
                stack.push_back(std::move(*it));
            --busy;
        }
        found.clear();
        cond.notify_all();
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    int threads = 8;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            threads = std::max(1, std::atoi(argv[++i]));
        } else {
            root = argv[i];
        }
    }
    if (root.empty()) {
        std::fprintf(stderr, "usage: floor PATH [--threads N]\n");
        return 2;
    }
    rlimit lim{};
    ::getrlimit(RLIMIT_NOFILE, &lim);
    lim.rlim_cur = std::min<rlim_t>(lim.rlim_max, 65536);
    ::setrlimit(RLIMIT_NOFILE, &lim);

    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(root.c_str());
        return 1;
    }
    {
        std::unique_ptr<char[]> buf(new char[256 * 1024]);
        list(std::make_shared<Dir>(fd), buf.get(), stack);
        std::reverse(stack.begin(), stack.end());
    }
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i)
        pool.emplace_back(work);
    for (auto& t : pool)
        t.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("entries %llu  bytes %llu  seconds %.3f  entries/s %.0f  threads %d\n",
                static_cast<unsigned long long>(entries.load()),
                static_cast<unsigned long long>(bytes.load()), seconds, entries / seconds, threads);
    return 0;
}
