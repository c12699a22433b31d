// The costs of the build record on their own: the digest's throughput, from
// memory and from a file, and for records of flat builds of 10,000 and 100,000
// targets the time to load, look up and save them and the memory they hold.
//
//     cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release -DTARVO_BUILD_BENCH=ON
//     cmake --build build-rel --target tarvo_record_bench && build-rel/bench/tarvo_record_bench
#include "containers/ContentHash.h"
#include "exec/BuildRecord.h"
#include "platform/Platform.h"
#include "platform/SystemPlatform.h"

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

namespace {

// Live heap bytes, as the allocator sizes the blocks.
std::size_t liveBytes = 0;

double seconds() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

// The best of a few runs of `work`, in seconds.
template <typename Work> double best(int runs, Work work) {
    double fastest = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double start = seconds();
        work();
        fastest = std::min(fastest, seconds() - start);
    }
    return fastest;
}

volatile std::uint64_t sink;

void hashThroughput() {
    std::printf("| input | ContentHash GB/s |\n|---|---|\n");
    for (const std::size_t size : {std::size_t(16), std::size_t(64), std::size_t(4096),
                                   std::size_t(1) << 20, std::size_t(64) << 20}) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>(i * 131 + (i >> 9));
        }
        const std::size_t repeat = std::max<std::size_t>(1, (std::size_t(256) << 20) / size);
        const double time = best(5, [&] {
            for (std::size_t i = 0; i < repeat; ++i) {
                sink = ContentHash::of(bytes, i);
            }
        });
        std::printf("| %zu bytes | %.2f |\n", size, double(size) * double(repeat) / time / 1e9);
    }
    // Through the platform, from the page cache: read in chunks and hashed.
    const std::string path =
        (std::filesystem::temp_directory_path() / "tarvo-digest-bench").string();
    {
        std::string bytes(std::size_t(64) << 20, 'x');
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    SystemPlatform platform;
    const double time = best(5, [&] { sink = platform.fileDigest(path)->digest; });
    std::printf("| 64 MB file, fileDigest | %.2f |\n\n", double(64 << 20) / time / 1e9);
    std::remove(path.c_str());
}

// Files without a file system: every name is a file whose content is its name,
// written long before it is read.
class MemoryPlatform : public Platform {
  public:
    std::uint32_t runProcess(const std::string&, FoundPrograms&) override { std::abort(); }
    std::uint64_t startProcess(const std::string&, FoundPrograms&) override { std::abort(); }
    EndedProcess waitForProcess() override { std::abort(); }
    FileTime fileTime(const std::string&) override { return kWritten; }
    FileStamp fileStamp(const std::string& path) override {
        return {kWritten, ContentHash::of(path) | 1};
    }
    std::optional<FileDigest> fileDigest(const std::string& path) override {
        ++reads;
        return FileDigest{fileStamp(path), ContentHash::of(path),
                          kWritten + 3600 * kFileTimeUnitsPerSecond};
    }
    EntryKind entryKind(const std::string&) override { return EntryKind::File; }
    bool removeFile(const std::string&) override { std::abort(); }
    bool setFileTime(const std::string&, FileTime) override { std::abort(); }
    TemporaryFile createTemporaryFile(TemporaryFile::Content) override { std::abort(); }
    TemporaryFile createPrivateTemporaryFile(TemporaryFile::Content) override { std::abort(); }
    std::string freeTemporaryName() override { std::abort(); }
    void sweepTemporaries() override { std::abort(); }

    std::size_t reads = 0;

  private:
    static constexpr FileTime kWritten = 1000 * kFileTimeUnitsPerSecond;
};

std::vector<std::string> names(const char* format, std::size_t n) {
    std::vector<std::string> result;
    char name[32];
    for (std::size_t k = 1; k <= n; ++k) {
        std::snprintf(name, sizeof name, format, k);
        result.emplace_back(name);
    }
    return result;
}

// A flat build: N objects each made from its source, and app.exe from all
// objects, as bench/gen.py writes it.
void flatRecord(std::size_t n, const std::string& path) {
    const std::vector<std::string> sources = names("s%zu.c", n);
    const std::vector<std::string> objects = names("s%zu.obj", n);
    MemoryPlatform platform;
    std::remove(path.c_str());
    {
        BuildRecord record(path, true);
        record.load();
        InputsDigest app;
        for (std::size_t i = 0; i < n; ++i) {
            InputsDigest inputs;
            inputs.add(
                sources[i],
                record.contentOf(sources[i], platform.fileStamp(sources[i]), platform)->digest);
            const auto made =
                record.contentOf(objects[i], platform.fileStamp(objects[i]), platform);
            record.update(objects[i], BuildRecord::commandDigest("touch " + objects[i]),
                          inputs.value(), made->digest);
            app.add(objects[i], made->digest);
        }
        record.update("app.exe", BuildRecord::commandDigest("touch app.exe"), app.value(),
                      record.contentOf("app.exe", platform.fileStamp("app.exe"), platform)->digest);
        record.save();
        record.compact();
    }
    const auto fileSize = std::filesystem::file_size(path);

    // What a no-op asks: every target, and the content of every file, unread.
    const auto noop = [&](BuildRecord& record) {
        std::size_t known = 0;
        for (std::size_t i = 0; i < n; ++i) {
            known += record.target(objects[i]).has_value();
            known +=
                record.contentOf(sources[i], platform.fileStamp(sources[i]), platform).has_value();
            known +=
                record.contentOf(objects[i], platform.fileStamp(objects[i]), platform).has_value();
        }
        return known;
    };
    double loadTime = 1e30;
    double noopTime = 1e30;
    double saveTime = 1e30;
    std::size_t held = 0;
    for (int run = 0; run < 5; ++run) {
        const std::size_t before = liveBytes;
        auto* record = new BuildRecord(path, true);
        double start = seconds();
        record->load();
        loadTime = std::min(loadTime, seconds() - start);
        held = liveBytes - before;
        platform.reads = 0;
        start = seconds();
        const std::size_t known = noop(*record);
        noopTime = std::min(noopTime, seconds() - start);
        if (known != 3 * n || platform.reads != 0) {
            std::fprintf(stderr, "the record did not hold what was made\n");
            std::exit(1);
        }
        start = seconds();
        record->save();
        saveTime = std::min(saveTime, seconds() - start);
        delete record;
    }
    std::printf("| %zu | %.1f | %.2f | %.2f | %.2f | %zu | %.1f |\n", n + 1,
                double(fileSize) / double(n + 1), loadTime * 1e3, noopTime * 1e3, saveTime * 1e3,
                held, double(held) / double(n + 1));
    std::remove(path.c_str());
    std::remove((path + ".lock").c_str());
}

} // namespace

void* operator new(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    liveBytes += malloc_usable_size(block);
    return block;
}

void operator delete(void* block) noexcept {
    if (block != nullptr) {
        liveBytes -= malloc_usable_size(block);
        std::free(block);
    }
}

void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}

// "record" alone: the records only.
int main(int argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) != "record") {
        hashThroughput();
    }
    const std::string path =
        (std::filesystem::temp_directory_path() / "tarvo-record-bench").string();
    std::printf("| targets | record bytes per target | load ms | no-op lookups ms | save ms | "
                "heap bytes held | per target |\n|---|---|---|---|---|---|---|\n");
    for (const std::size_t n : {std::size_t(10000), std::size_t(100000)}) {
        flatRecord(n, path);
    }
    return 0;
}
