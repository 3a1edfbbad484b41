#include "BrowserTestFixture.h"

#include "win/panes/CResourcesBrowserDlg.h"

#include "platform/media/AviMpeg4Writer.h"
#include "platform/media/JpegEncoder.h"
#include "win/common/CSettingParams.h"
#include "win/common/ResourceNaming.h"

#include <filesystem>
#include <fstream>

#include <QCoreApplication>

namespace {

// A bottom-up BGR frame: the colour with a diagonal gradient, so scaled pictures differ.
std::vector<uint8_t> Frame(int width, int height, QColor colour)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int shade = (x + y) * 40 / (width + height);
            uint8_t *pixel = &pixels[(static_cast<size_t>(y) * width + x) * 3];
            pixel[0] = static_cast<uint8_t>(std::clamp(colour.blue() + shade, 0, 255));
            pixel[1] = static_cast<uint8_t>(std::clamp(colour.green() + shade, 0, 255));
            pixel[2] = static_cast<uint8_t>(std::clamp(colour.red() + shade, 0, 255));
        }
    }
    return pixels;
}

} // namespace

ShellOpener::Handler BrowserTestFixture::Opener()
{
    return [this](const std::string &path, ShellOpener::Verb verb) {
        m_opened.emplace_back(path, verb);
        return m_openAnswer;
    };
}

void BrowserTestFixture::UseSettings(bool perDayFolders, const std::string &location)
{
    m_temp.makeFolder(location);
    SettingValues values = m_services.Settings().GetUsingSettings();
    SetSavingLocation(values, m_temp.file(location));
    values.autoCreatingFolder = perDayFolders ? 1 : 0;
    m_services.Settings().ApplySettings(values);
    m_root = values.resourcesRoot;
    for (const char *category : {"Single Shots", "Timed Shots", "Movies"})
        std::filesystem::create_directories(m_root + "/" + category);
}

std::string BrowserTestFixture::WriteJpeg(const std::string &relative, int width, int height,
                                          QColor colour)
{
    const std::string path = InRoot(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    varnolet::JpegEncoder encoder(90);
    const std::vector<uint8_t> frame = Frame(width, height, colour);
    EXPECT_TRUE(encoder.encode(frame.data(), width, height).ok());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(encoder.data()),
               static_cast<std::streamsize>(encoder.size()));
    return path;
}

std::string BrowserTestFixture::WriteDamaged(const std::string &relative)
{
    const std::string path = InRoot(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << "\xFF\xD8\xFF\xE0 this is not a picture";
    return path;
}

std::string BrowserTestFixture::WriteMovie(const std::string &relative, int width, int height)
{
    const std::string path = InRoot(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    varnolet::AviMpeg4Writer writer;
    EXPECT_EQ(writer.open(path, width, height), 0);
    const std::vector<uint8_t> frame = Frame(width, height, QColor(200, 60, 40));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(writer.writeFrame(frame.data()), 0);
    EXPECT_EQ(writer.close(), 0);
    return path;
}

void BrowserTestFixture::PaintSettled(CResourcesBrowserDlg &panel)
{
    // Paint, let the decoders fill the cache, paint again from it.
    for (int pass = 0; pass < 3; ++pass) {
        panel.repaint();
        panel.WaitForThumbnails(std::chrono::seconds(10));
        QCoreApplication::processEvents();
    }
    panel.repaint();
}

// Under ThreadSanitizer: Qt's raster engine splits large fills over its own pool threads,
// and Qt itself is not instrumented, so its internal synchronisation is invisible and those
// threads' accesses are reported as races. Races whose accesses happen inside the Qt
// libraries are suppressed; races in this program's own (instrumented) code still fail.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:libQt6Gui.so\n"
           "race:libQt6Core.so\n";
}
