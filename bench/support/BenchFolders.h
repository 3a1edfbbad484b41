#pragma once

// The folders the browser benchmarks read: 5-megapixel photos saved as the programs save
// them, and crowded folders of program-named files.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/media/JpegEncoder.h"

namespace benchfolders {

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

} // namespace benchfolders
