// Feeds damaged saved index files to SavedIndex::load and walks whatever it accepts: a file that
// loads must be safe to read everywhere, and the check of its checksum must tell an edited file
// from the one that was saved. An input starting with 'T' is a whole file; any other input is a
// list of 6-byte edits (offset, value, operation) of a small valid saved index.
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "core/index/DiskIndex.h"
#include "core/index/IndexWriter.h"
#include "core/saved/SavedIndex.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"

namespace {

using tamrel::DiskIndex;
using tamrel::IndexWriter;
using tamrel::NodeId;
using tamrel::SavedIndex;
using tamrel::Scanner;

void touch(const std::string& path, int bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const std::string data(bytes, 'x');
    if (fd >= 0 && ::write(fd, data.data(), data.size()) < 0) std::abort();
    ::close(fd);
}

std::string scratch;

int removeEntry(const char* path, const struct stat*, int type, struct FTW*) {
    return type == FTW_DP ? ::rmdir(path) : ::unlink(path);
}

// The folder this run made, removed when libFuzzer ends the process normally.
void removeScratch() {
    ::nftw(scratch.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

struct Setup {
    std::string root;
    std::string file;
    std::string baseline;

    Setup() {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string home = std::string(base) + "/tamrel-fuzz-XXXXXX";
        if (!::mkdtemp(home.data())) std::abort();
        scratch = home;
        std::atexit(removeScratch);
        ::setenv("XDG_DATA_HOME", home.c_str(), 1);
        root = home + "/tree";
        for (const char* d : {"", "/a", "/a/y", "/c", "/c/deep", "/c/deep/er"})
            ::mkdir((root + d).c_str(), 0755);
        for (const char* f : {"/a/x", "/a/y/z", "/b", "/c/deep/er/f", "/c/-g"})
            touch(root + f, 5000);
        tamrel::ScanProgress progress;
        auto index = Scanner::scan(root, progress, 2);
        IndexWriter::markRemoved(*index, *index->lookup(root + "/a/y"));
        SavedIndex::save(*index);
        file = SavedIndex::cacheURL(root);
        std::ifstream in(file, std::ios::binary);
        baseline.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

std::string edited(const std::string& baseline, const std::uint8_t* data, std::size_t size) {
    std::string bytes = baseline;
    for (std::size_t k = 0; k + 6 <= size; k += 6) {
        std::uint32_t offset;
        std::memcpy(&offset, data + k, 4);
        const std::uint8_t value = data[k + 4];
        if (bytes.empty()) break;
        offset %= bytes.size();
        switch (data[k + 5] % 4) {
            case 0:
                bytes[offset] = static_cast<char>(value);
                break;
            case 1:
                bytes[offset] = static_cast<char>(bytes[offset] ^ (1 << (value % 8)));
                break;
            case 2:
                bytes.resize(offset);
                break;
            case 3:
                bytes.push_back(static_cast<char>(value));
                break;
        }
    }
    return bytes;
}

// Reads everything a caller may read of an index, and builds from it as a refresh would.
void exercise(DiskIndex& index) {
    std::uint64_t sum = 0;
    for (NodeId i = 0; i < index.count(); ++i) {
        const std::string path = index.path(i);
        sum += index.name(i).size() + index.isGone(i) + index.isHidden(i) + index.size(i);
        for (NodeId c : index.subtree(i))
            sum += index.kind(c);
        sum += index.sortedChildren(i).size() + index.ancestry(i).size();
        sum += index.lookup(path).value_or(0);
    }
    tamrel::IndexWriter writer(index.count(), index.nameOff(index.count()));
    writer.add(index.rootPath(), 1, 0, 0, tamrel::NONE);
    writer.copySubtree(index, 0, 0);
    auto copy = writer.finish(index.rootPath());
    if (copy->count() != index.count()) std::abort();
    if (index.count() > 1) IndexWriter::markRemoved(index, index.count() - 1);
    if (sum == 1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Setup setup;
    const bool whole = size > 0 && data[0] == 'T';
    const std::string bytes = whole ? std::string(reinterpret_cast<const char*>(data), size)
                                    : edited(setup.baseline, data, size);
    {
        std::ofstream out(setup.file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    if (auto index = SavedIndex::load(setup.root)) {
        // Edits that leave every byte as it was are the only ones whose file is intact.
        const bool intact = SavedIndex::savedFileIntact(*index);
        if (!whole && intact != (bytes == setup.baseline)) std::abort();
        exercise(*index);
    } else if (!whole && bytes == setup.baseline) {
        std::abort();  // the file as saved must load
    }
    SavedIndex::cachedDate(setup.root);
    return 0;
}
