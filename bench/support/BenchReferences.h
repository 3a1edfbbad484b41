#pragma once

// The reference runs the browser benchmarks measure against: the bare libraries on the
// same input, in the same process.
#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <turbojpeg.h>

namespace benchreference {

// One full-size decode of the JPEG with bare libturbojpeg per iteration.
inline void fullDecode(benchmark::State &state, const std::vector<uint8_t> &jpeg, int width,
                       int height)
{
    tjhandle handle = tjInitDecompress();
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
    for (auto _ : state) {
        if (tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                          pixels.data(), width, 0, height, TJPF_BGR, 0) != 0)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(pixels.data());
    }
    tjDestroy(handle);
}

// One bare readdir of the folder, keeping the names, per iteration.
inline void readdirNames(benchmark::State &state, const std::string &folder)
{
    for (auto _ : state) {
        std::vector<std::string> names;
        DIR *dir = opendir(folder.c_str());
        while (const dirent *entry = readdir(dir))
            names.emplace_back(entry->d_name);
        closedir(dir);
        benchmark::DoNotOptimize(names.data());
    }
}

} // namespace benchreference
