#pragma once

// The folders the browser benchmarks read: 5-megapixel photos saved as the programs save
// them, and crowded folders of program-named files.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/media/JpegEncoder.h"

namespace benchfolders {

// A microscope-like picture as BGR rows: smooth shading, round cell-like spots and sensor
// grain.
inline std::vector<uint8_t> slideBgr(int width, int height, uint32_t seed)
{
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
    std::minstd_rand random(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t *pixel = &bgr[(static_cast<size_t>(y) * width + x) * 3];
            const int cx = (x % 240) - 120;
            const int cy = (y % 240) - 120;
            const int spot = cx * cx + cy * cy < 70 * 70 ? 50 : 0;
            const int grain = static_cast<int>(random() % 8) + spot;
            pixel[0] = static_cast<uint8_t>((x * 200 / width + grain) & 0xFF);
            pixel[1] = static_cast<uint8_t>((y * 180 / height + grain) & 0xFF);
            pixel[2] = static_cast<uint8_t>(((x + y) * 90 / (width + height) + 120 + grain) & 0xFF);
        }
    }
    return bgr;
}

// Bottom-up BGR rows as a JPEG of quality 100, as the programs save photos.
inline std::vector<uint8_t> encodePhoto(const std::vector<uint8_t> &bgr, int width, int height)
{
    varnolet::JpegEncoder encoder;
    if (!encoder.encode(bgr.data(), width, height).ok())
        std::abort();
    return std::vector<uint8_t>(encoder.data(), encoder.data() + encoder.size());
}

inline void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// count one-byte files "<prefix><number><extension>": every tenth a movie, every tenth
// after it a text file, the others photos.
inline void makeCrowdedFolder(const std::string &folder, const std::string &prefix, int first,
                              int count, const char *movieExtension)
{
    for (int i = 0; i < count; ++i) {
        const char *extension = i % 10 == 0 ? movieExtension : (i % 10 == 1 ? ".txt" : ".jpg");
        std::ofstream(folder + "/" + prefix + std::to_string(first + i) + extension) << "x";
    }
}

// A folder of count photos "<prefix><1000 + i>.jpg" made by make(i), kept in the system's
// temporary folder under `name` across runs (making fifty 5-megapixel photos takes longer
// than measuring them). A folder is used again only when its completion mark is there;
// otherwise it is made anew, each photo written under a hidden name and renamed.
inline std::string cachedPhotoFolder(const std::string &name, const std::string &prefix, int count,
                                     const std::function<std::vector<uint8_t>(int)> &make)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / name;
    const std::filesystem::path mark = folder / ".complete";
    if (std::filesystem::exists(mark))
        return folder.string();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        const std::string file = prefix + std::to_string(1000 + i) + ".jpg";
        writeBytes((folder / ("." + file)).string(), make(i));
        std::filesystem::rename(folder / ("." + file), folder / file);
    }
    std::ofstream(mark.string()) << count << "\n";
    return folder.string();
}

} // namespace benchfolders
