#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "bench/tamrel-bench/BenchModes.h"
#include "bench/tamrel-bench/BenchSupport.h"
#include "core/index/DiskIndex.h"
#include "core/saved/SavedIndex.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"

namespace tamrel::bench {

namespace {

// The peer: the same bytes written with plain large writes to a new file of the same folder,
// renamed over the previous one as a save does.
bool plainWrite(const std::string& path, const std::byte* data, std::size_t bytes) {
    const std::string tmp = path + ".new";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = true;
    while (bytes > 0 && ok) {
        const ssize_t n = ::write(fd, data, std::min<std::size_t>(bytes, std::size_t{1} << 30));
        ok = n > 0;
        if (ok) {
            data += n;
            bytes -= static_cast<std::size_t>(n);
        }
    }
    return ::close(fd) == 0 && ok && ::rename(tmp.c_str(), path.c_str()) == 0;
}

}  // namespace

int saveMode(const std::vector<std::string>& given) {
    std::vector<std::string> args = given;
    const int repeat = static_cast<int>(takeNumber(args, "--repeat", 7));
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: tamrel-bench save PATH [--repeat N]\n");
        return 2;
    }
    ScratchDataHome home;
    ScanProgress progress;
    auto index = Scanner::scan(args[0], progress, defaultScanThreads());
    const double bytes = static_cast<double>(index->layout().total);
    std::vector<double> saves, peers;
    const std::string peerFile = home.path() + "/Tamrel/peer.bin";
    for (int k = 0; k < repeat; ++k) {
        saves.push_back(timed([&] { SavedIndex::save(*index); }));
        peers.push_back(timed([&] {
            if (!plainWrite(peerFile, index->region().data(), index->layout().total)) {
                std::fprintf(stderr, "tamrel-bench: cannot write %s\n", peerFile.c_str());
            }
        }));
    }
    ::unlink(peerFile.c_str());
    const double save = median(saves), peer = median(peers);
    std::printf(
        "nodes %u  file %.1f MB  save median %.1f ms (%.0f MB/s)  plain write and rename median "
        "%.1f ms "
        "(%.0f MB/s)  save/plain %.2f  repeat %d\n",
        index->count(), bytes / 1e6, save * 1e3, bytes / 1e6 / save, peer * 1e3, bytes / 1e6 / peer,
        save / peer, repeat);
    return 0;
}

}  // namespace tamrel::bench
