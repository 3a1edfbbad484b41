#pragma once

#include <cstdint>
#include <string>

#include "platform/system/UniqueFd.h"

namespace varnolet {

// The file a movie is recorded into, from its reservation to its final name:
//   - open() reserves the final name (an empty file created exclusively, so two recordings
//     never take the same name) and opens a hidden file beside it, "." + name + ".recording",
//     locked while it is written;
//   - keep() cuts the hidden file back to the bytes known complete, flushes it to the disk and
//     renames it onto the reserved name. When the folder went away meanwhile, the movie is put
//     back at its name (the folder made again) or in the nearest folder above that still
//     exists, and when that fails too it stays where it lies; keptPath() says where.
//   - recover() does the same for a hidden file a killed recording left behind.
// Nothing is written outside the movie's own folder.
class RecordingFile
{
public:
    RecordingFile() = default;
    // Closes the file as it stands (as a kill would leave it) unless kept or discarded.
    ~RecordingFile();
    RecordingFile(const RecordingFile &) = delete;
    RecordingFile &operator=(const RecordingFile &) = delete;

    // 0 or errno (EEXIST when the name is taken; nothing is left behind on failure).
    int open(const std::string &path);
    bool isOpen() const { return m_fd.isValid(); }
    int descriptor() const { return m_fd.get(); }
    const std::string &path() const { return m_path; }
    const std::string &recordingPath() const { return m_recordingPath; }
    // Bytes in the file now.
    int64_t size() const;

    // Keeps the first length bytes as the movie and closes the file. 0 when the movie is at
    // path(); otherwise the errno of the first failure (ENOENT: the folder had gone).
    int keep(int64_t length);
    // Nothing to keep: the recording and the reservation both go.
    void discard();
    const std::string &keptPath() const { return m_keptPath; }

    // The hidden name a movie at path is recorded under, and back ("" when recordingPath is
    // not such a name).
    static std::string recordingPathFor(const std::string &path);
    static std::string finalPathFor(const std::string &recordingPath);

    // Finishes a recording file left by a recording that never ended (a kill, a crash, a
    // power loss): cut after its last complete movie fragment and renamed onto its final
    // name, or the next free "name-N" when that was taken by something else. A file still
    // locked by its recording is left alone, and so is one that is no movie. Any bytes are
    // handled.
    struct Recovery
    {
        enum class Outcome { Recovered, KeptInPlace, Removed, InUse, Failed };
        Outcome outcome = Outcome::Failed;
        std::string path; // where the movie now is (Recovered, KeptInPlace)
        int fragments = 0;
        int error = 0; // errno of the step that failed
    };
    static Recovery recover(const std::string &recordingPath);

private:
    void close();

    std::string m_path;
    std::string m_recordingPath;
    std::string m_keptPath;
    UniqueFd m_fd;
};

} // namespace varnolet
