#pragma once

#include <chrono>
#include <functional>
#include <string>

#include <QString>
#include <QTemporaryDir>

namespace varnolet::test {

// A temporary folder removed with the object; path() has no trailing "/".
class TempFolder
{
public:
    TempFolder();
    const std::string &path() const { return m_path; }
    // path() + "/" + relative
    std::string file(const std::string &relative) const;
    // Writes a file (creating its parent folders) and answers its full path.
    std::string write(const std::string &relative, const std::string &content) const;
    void makeFolder(const std::string &relative) const;

private:
    QTemporaryDir m_dir;
    std::string m_path;
};

// Runs the Qt event loop until the predicate holds or the timeout passes; answers the
// predicate's last value.
bool processEventsUntil(const std::function<bool()> &predicate,
                        std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// Runs the event loop for the given time.
void processEventsFor(std::chrono::milliseconds duration);

std::string readFile(const std::string &path);
bool fileExists(const std::string &path);

// What ffprobe decodes of a movie's first video stream (-count_frames): the frames it
// read and the stream's duration in seconds; -1 for what it did not say.
struct FfprobeCount
{
    long frames = -1;
    double duration = -1;
};
FfprobeCount ffprobeCount(const std::string &path);

// Where a test saves a screenshot of a window to look at: the file `name` in
// $VARNOLET_SCREENSHOT_DIR, or in /tmp/varnolet-screenshots (the folder is made).
QString screenshotPath(const QString &name);

} // namespace varnolet::test
