// CRC-32 of a generated 1 GB set of files against reading the same files
// without computing anything: MB/s of both and their ratio. The files go to
// a temporary folder and are deleted at the end. Each pass runs twice and
// the faster run counts, so both compare on warm caches.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "app/crc_table.h"
#include "repair/crc32.h"

enum { FileCount = 64, FileBytes = 16 << 20, BlockBytes = 16384 };

static std::vector<std::string> MakeFiles(const std::string& folder)
{
    std::vector<std::string> paths;
    std::vector<unsigned char> data(FileBytes);
    uint32_t seed = 12345;
    for (int f = 0; f < FileCount; f++) {
        for (size_t i = 0; i < data.size(); i++) {
            seed = seed * 1103515245u + 12345u;
            data[i] = (unsigned char)(seed >> 24);
        }
        std::string path = folder + "/crc" + std::to_string(f) + ".bin";
        FILE* out = std::fopen(path.c_str(), "wb");
        if (!out || std::fwrite(data.data(), 1, data.size(), out) != data.size()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            std::exit(1);
        }
        std::fclose(out);
        paths.push_back(path);
    }
    return paths;
}

// Reads every file in 16 KB blocks, as the file check does; with crc set,
// feeds each block to Crc32Update. Returns seconds; sum keeps the work.
static double Pass(const std::vector<std::string>& paths, bool crc, uint64_t* sum)
{
    static char block[BlockBytes];
    auto start = std::chrono::steady_clock::now();
    for (const std::string& path : paths) {
        int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0)
            continue;
        uint32_t value = 0;
        if (crc)
            Crc32Update(nullptr, 0);
        ssize_t got;
        while ((got = read(fd, block, sizeof block)) > 0) {
            if (crc)
                value = Crc32Update(block, (int32_t)got);
            else
                value += (unsigned char)block[got - 1];
        }
        close(fd);
        *sum += value;
    }
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return took.count();
}

int main()
{
    char folder[] = "/tmp/bench_crc_XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    MakeCrcTable();
    std::vector<std::string> paths = MakeFiles(folder);
    double megabytes = (double)FileCount * FileBytes / (1024.0 * 1024.0);
    uint64_t sum = 0;
    double readBest = 1e9, crcBest = 1e9;
    for (int round = 0; round < 2; round++) {
        double r = Pass(paths, false, &sum);
        double c = Pass(paths, true, &sum);
        readBest = r < readBest ? r : readBest;
        crcBest = c < crcBest ? c : crcBest;
    }
    std::printf("files: %d x %d MB = %.0f MB (check %llx)\n", FileCount, FileBytes >> 20, megabytes,
                (unsigned long long)sum);
    std::printf("read only:      %8.1f MB/s\n", megabytes / readBest);
    std::printf("read and CRC-32: %7.1f MB/s\n", megabytes / crcBest);
    std::printf("ratio (CRC time / read time): %.2f (goal <= 1.5)\n", crcBest / readBest);
    for (const std::string& path : paths)
        unlink(path.c_str());
    rmdir(folder);
    FreeCrcTable();
    return 0;
}
