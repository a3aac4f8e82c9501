// The file work of one 1024-byte transfer chunk: reopening the temporary file for every chunk
// against keeping it open between chunks, as the server does. Compare with the time of one
// request/answer round trip that repository_bench reports.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/platform/files.h"

namespace {

using namespace zelt;

constexpr std::size_t kChunk = 1024;
constexpr std::int64_t kFileSize = 64 << 20;

struct Scratch {
    Scratch() {
        char pattern[] = "/tmp/zelt-chunk-XXXXXX";
        dir = ::mkdtemp(pattern);
        path = dir + "/copy.tmp";
        std::vector<char> data(kFileSize, 'x');
        if (!files::writeFileAtomic(path, data.data(), data.size())) std::abort();
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
    std::string dir;
    std::string path;
};

std::int64_t nextOffset(std::int64_t& offset) {
    const std::int64_t at = offset;
    offset = (offset + kChunk) % kFileSize;
    return at;
}

void ReadReopened(benchmark::State& state) {
    Scratch s;
    char buffer[kChunk];
    std::int64_t offset = 0;
    for (auto _ : state) {
        const files::OpenFile file = files::OpenFile::forReading(s.path);
        benchmark::DoNotOptimize(file.readAt(nextOffset(offset), buffer, kChunk));
    }
}

void ReadKeptOpen(benchmark::State& state) {
    Scratch s;
    const files::OpenFile file = files::OpenFile::forReading(s.path);
    char buffer[kChunk];
    std::int64_t offset = 0;
    for (auto _ : state) benchmark::DoNotOptimize(file.readAt(nextOffset(offset), buffer, kChunk));
}

// An upload grows its file chunk by chunk.
void WriteReopened(benchmark::State& state) {
    Scratch s;
    const char data[kChunk] = {};
    std::int64_t offset = 0;
    for (auto _ : state) {
        if (offset >= kFileSize) offset = 0;
        files::OpenFile file = files::OpenFile::forWriting(s.path, false);
        benchmark::DoNotOptimize(file.writeAt(offset, data, kChunk));
        offset += kChunk;
    }
}

void WriteKeptOpen(benchmark::State& state) {
    Scratch s;
    files::OpenFile file = files::OpenFile::forWriting(s.path, false);
    const char data[kChunk] = {};
    std::int64_t offset = 0;
    for (auto _ : state) {
        if (offset >= kFileSize) offset = 0;
        benchmark::DoNotOptimize(file.writeAt(offset, data, kChunk));
        offset += kChunk;
    }
}

BENCHMARK(ReadReopened);
BENCHMARK(ReadKeptOpen);
BENCHMARK(WriteReopened);
BENCHMARK(WriteKeptOpen);

}  // namespace

BENCHMARK_MAIN();
