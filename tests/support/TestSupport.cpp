#include "TestSupport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

namespace varnolet::test {

TempFolder::TempFolder()
    : m_path(m_dir.path().toStdString())
{
}

std::string TempFolder::file(const std::string &relative) const
{
    return m_path + "/" + relative;
}

std::string TempFolder::write(const std::string &relative, const std::string &content) const
{
    const std::string full = file(relative);
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out << content;
    return full;
}

void TempFolder::makeFolder(const std::string &relative) const
{
    std::filesystem::create_directories(file(relative));
}

bool processEventsUntil(const std::function<bool()> &predicate, std::chrono::milliseconds timeout)
{
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (timer.elapsed() > timeout.count())
            return predicate();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void processEventsFor(std::chrono::milliseconds duration)
{
    processEventsUntil([] { return false; }, duration);
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool fileExists(const std::string &path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

FfprobeCount ffprobeCount(const std::string &path)
{
    FfprobeCount count;
    const std::string command =
        "timeout 60 ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=nb_read_frames,duration -of default=nw=1 '" +
        path + "' 2>/dev/null";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return count;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
        if (std::sscanf(line, "nb_read_frames=%ld", &count.frames) != 1)
            std::sscanf(line, "duration=%lf", &count.duration);
    }
    ::pclose(pipe);
    return count;
}

QString screenshotPath(const QString &name)
{
    const QByteArray folder = qgetenv("VARNOLET_SCREENSHOT_DIR");
    const QString path = folder.isEmpty() ? QStringLiteral("/tmp/varnolet-screenshots")
                                          : QString::fromLocal8Bit(folder);
    QDir().mkpath(path);
    return path + "/" + name;
}

} // namespace varnolet::test
