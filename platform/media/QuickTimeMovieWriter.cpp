#include "QuickTimeMovieWriter.h"

#include "QuickTimeFragmentScan.h"

#include <cerrno>
#include <cstdio>
#include <string_view>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

namespace varnolet {

namespace {

constexpr std::string_view kRecordingSuffix = ".recording";
constexpr int kIoBufferSize = 64 * 1024;

struct FileCloser
{
    int fd;
    ~FileCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

std::string folderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Makes the folder and the folders above it that are missing. 0 or errno.
int makeFolders(const std::string &folder)
{
    if (folder.empty() || folder == "/" || folder == ".")
        return 0;
    struct stat info
    {
    };
    if (::stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (const int error = makeFolders(folderOf(folder)); error != 0)
        return error;
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

bool isEmptyRegularFile(const std::string &path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
}

bool exists(const std::string &path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0;
}

// Renames without replacing what is there; 0 or errno (EEXIST when the name is taken).
int renameKeepingExisting(const std::string &from, const std::string &to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

// Copies the whole of an open file to a new file at path. 0 or errno.
int copyOut(int fd, const std::string &path)
{
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0)
        return errno;
    FileCloser closer{out};
    std::vector<uint8_t> buffer(1 << 20);
    off_t offset = 0;
    while (true) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            ::unlink(path.c_str());
            return error;
        }
        if (got == 0)
            break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0) {
                const int error = errno;
                ::unlink(path.c_str());
                return error;
            }
            done += put;
        }
        offset += got;
    }
    if (::fsync(out) != 0 && errno != EINVAL) {
        const int error = errno;
        ::unlink(path.c_str());
        return error;
    }
    return 0;
}

AVDictionary *muxerOptions()
{
    AVDictionary *options = nullptr;
    const std::string scale = std::to_string(QuickTimeMovieWriter::kTimeScale);
    av_dict_set(&options, "video_track_timescale", scale.c_str(), 0);
    av_dict_set(&options, "movie_timescale", scale.c_str(), 0);
    // The movie header comes first and holds no samples; the frames follow in fragments
    // that are written out when asked for (flushFragment).
    av_dict_set(&options, "movflags", "frag_custom+empty_moov", 0);
    return options;
}

} // namespace

std::string QuickTimeMovieWriter::recordingPathFor(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + std::string(kRecordingSuffix);
}

std::string QuickTimeMovieWriter::finalPathFor(const std::string &recordingPath)
{
    const size_t slash = recordingPath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : recordingPath.substr(0, slash + 1);
    const std::string name =
        slash == std::string::npos ? recordingPath : recordingPath.substr(slash + 1);
    if (name.size() <= kRecordingSuffix.size() + 1 || name[0] != '.' ||
        name.compare(name.size() - kRecordingSuffix.size(), kRecordingSuffix.size(),
                     kRecordingSuffix) != 0)
        return {};
    const std::string finalName = name.substr(1, name.size() - 1 - kRecordingSuffix.size());
    if (finalName.empty() || finalName == "." || finalName == "..")
        return {};
    return folder + finalName;
}

QuickTimeMovieWriter::~QuickTimeMovieWriter()
{
    if (m_fd >= 0 && !m_finished)
        finish(-1);
    closeMovie();
}

int QuickTimeMovieWriter::fail(int error)
{
    if (m_error == 0)
        m_error = error;
    return m_error;
}

int QuickTimeMovieWriter::start(const std::string &path)
{
    if (isStarted())
        return AVERROR(EBUSY);
    if (path.empty())
        return AVERROR(ENOENT);
    // The reservation: an empty file under the final name that nobody else can take.
    const int reserved = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (reserved < 0)
        return AVERROR(errno);
    ::close(reserved);
    const std::string recording = recordingPathFor(path);
    const int fd = ::open(recording.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        ::unlink(path.c_str());
        return AVERROR(error);
    }
    // Held for the whole recording, so that a recovery run elsewhere leaves this file alone.
    ::flock(fd, LOCK_EX | LOCK_NB);
    m_path = path;
    m_recordingPath = recording;
    m_fd = fd;
    return 0;
}

int QuickTimeMovieWriter::writeOut(void *opaque, uint8_t *data, int size)
{
    auto *self = static_cast<QuickTimeMovieWriter *>(opaque);
    int done = 0;
    while (done < size) {
        const ssize_t written = ::write(self->m_fd, data + done, static_cast<size_t>(size - done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return self->fail(AVERROR(errno));
        }
        if (written == 0)
            return self->fail(AVERROR(EIO));
        done += static_cast<int>(written);
    }
    return size;
}

int64_t QuickTimeMovieWriter::seekOut(void *opaque, int64_t offset, int whence)
{
    auto *self = static_cast<QuickTimeMovieWriter *>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat info
        {
        };
        return ::fstat(self->m_fd, &info) == 0 ? static_cast<int64_t>(info.st_size)
                                               : AVERROR(errno);
    }
    const off_t position = ::lseek(self->m_fd, offset, whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(errno) : static_cast<int64_t>(position);
}

int QuickTimeMovieWriter::openMovie(int width, int height)
{
    auto *buffer = static_cast<uint8_t *>(av_malloc(kIoBufferSize));
    if (!buffer)
        return AVERROR(ENOMEM);
    m_io = avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &writeOut, &seekOut);
    if (!m_io) {
        av_free(buffer);
        return AVERROR(ENOMEM);
    }
    AVFormatContext *raw = nullptr;
    int result = avformat_alloc_output_context2(&raw, nullptr, "mov", m_recordingPath.c_str());
    if (result < 0 || !raw)
        return result < 0 ? result : AVERROR(ENOMEM);
    m_format.reset(raw);
    m_format->pb = m_io;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    m_stream = avformat_new_stream(m_format.get(), nullptr);
    if (!m_stream)
        return AVERROR(ENOMEM);
    m_stream->time_base = AVRational{1, kTimeScale};

    Mpeg4FrameEncoder::Settings settings;
    settings.width = width;
    settings.height = height;
    settings.timeBase = AVRational{1, kTimeScale};
    settings.codecTag = kCodecTag;
    settings.globalHeader = (m_format->oformat->flags & AVFMT_GLOBALHEADER) != 0;
    result = m_encoder.open(settings);
    if (result < 0)
        return result;
    result = avcodec_parameters_from_context(m_stream->codecpar, m_encoder.context());
    if (result < 0)
        return result;
    m_stream->codecpar->codec_tag = kCodecTag;
    AVDictionary *options = muxerOptions();
    result = avformat_write_header(m_format.get(), &options);
    av_dict_free(&options);
    if (result < 0)
        return result;
    avio_flush(m_io);
    if (m_error != 0)
        return m_error;
    m_held.reset(av_packet_alloc());
    if (!m_held)
        return AVERROR(ENOMEM);
    m_width = width;
    m_height = height;
    m_durableEnd = fileSize();
    return 0;
}

int64_t QuickTimeMovieWriter::fileSize() const
{
    struct stat info
    {
    };
    return ::fstat(m_fd, &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
}

void QuickTimeMovieWriter::closeMovie()
{
    if (m_format)
        m_format->pb = nullptr; // the context is ours, not the format's
    m_format.reset();
    m_stream = nullptr;
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    m_encoder = Mpeg4FrameEncoder();
    m_held.reset();
    m_holding = false;
}

int QuickTimeMovieWriter::writeHeldPacket(int64_t duration)
{
    if (!m_holding)
        return 0;
    m_holding = false;
    AVPacket *packet = m_held.get();
    packet->duration = std::max<int64_t>(1, duration);
    av_packet_rescale_ts(packet, AVRational{1, kTimeScale}, m_stream->time_base);
    const int64_t end = av_rescale_q(packet->pts + packet->duration, m_stream->time_base,
                                     AVRational{1, kTimeScale});
    const int size = packet->size;
    const int result = av_write_frame(m_format.get(), packet);
    av_packet_unref(packet);
    if (result < 0)
        return fail(result);
    ++m_pendingFrames;
    m_pendingBytes += static_cast<uint64_t>(size);
    // A fragment ends after a second of movie, or sooner when its frames are large: the
    // muxer holds a fragment in memory until it is written.
    if (end - m_fragmentStart >= kFragmentUnits || m_pendingBytes >= kFragmentBytes) {
        m_fragmentStart = end;
        return flushFragment();
    }
    return m_error;
}

int QuickTimeMovieWriter::flushFragment()
{
    if (m_pendingFrames == 0)
        return m_error;
    const int result = av_write_frame(m_format.get(), nullptr);
    if (result < 0)
        return fail(result);
    avio_flush(m_io);
    if (m_io->error < 0)
        fail(m_io->error);
    if (m_error != 0)
        return m_error;
    // Flushed through to the disk, so a power loss keeps it too. File systems that cannot
    // sync (EINVAL) hold nothing back.
    if (::fdatasync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        return fail(AVERROR(errno));
    m_durableEnd = fileSize();
    m_durableFrames += m_pendingFrames;
    m_pendingFrames = 0;
    m_pendingBytes = 0;
    return 0;
}

int QuickTimeMovieWriter::addFrame(const uint8_t *bgr, int width, int height, bool bottomUp)
{
    return addFrame(bgr, width, height, bottomUp,
                    static_cast<int64_t>(m_framesAdded) * kFrameDuration);
}

int QuickTimeMovieWriter::addFrame(const uint8_t *bgr, int width, int height, bool bottomUp,
                                   int64_t time)
{
    if (m_error != 0)
        return m_error;
    if (m_finished || m_fd < 0)
        return AVERROR(EINVAL);
    if (!bgr || width <= 0 || height <= 0)
        return AVERROR(EINVAL);
    if (!m_format) {
        const int result = openMovie(width, height);
        if (result < 0) {
            fail(result);
            closeMovie();
            return m_error;
        }
        m_fragmentStart = std::max<int64_t>(0, time);
    }
    const uint8_t *pixels = bgr;
    if (width != m_width || height != m_height) {
        m_scaled.resize(static_cast<size_t>(m_width) * m_height * 3);
        if (!m_scaler.scale(bgr, width, height, m_scaled.data(), m_width, m_height))
            return AVERROR(EINVAL);
        pixels = m_scaled.data();
    }
    const int64_t pts = std::max(time, m_lastTime + 1);
    if (m_holding) {
        const int result = writeHeldPacket(pts - m_held->pts);
        if (result < 0)
            return result;
    }
    const int result = m_encoder.encode(pixels, bottomUp, pts, [this](AVPacket *packet) {
        // The encoder makes intra frames only: one packet per frame, none held back.
        if (m_holding)
            return AVERROR_BUG;
        const int referenced = av_packet_ref(m_held.get(), packet);
        if (referenced < 0)
            return referenced;
        m_held->stream_index = m_stream->index;
        m_held->flags |= AV_PKT_FLAG_KEY;
        m_videoBytes += static_cast<uint64_t>(packet->size);
        m_holding = true;
        return 0;
    });
    if (result < 0)
        return fail(result);
    m_lastTime = pts;
    ++m_framesAdded;
    return 0;
}

int QuickTimeMovieWriter::finish(int64_t endTime)
{
    if (m_finished)
        return m_error;
    if (m_fd < 0)
        return AVERROR(EINVAL);
    m_finished = true;
    if (m_format && m_error == 0) {
        if (m_holding) {
            const int64_t duration = endTime < 0 ? kFrameDuration : endTime - m_held->pts;
            writeHeldPacket(duration);
        }
        if (m_error == 0)
            flushFragment();
        if (m_error == 0) {
            const int result = av_write_trailer(m_format.get());
            if (result < 0)
                fail(result);
            avio_flush(m_io);
            if (m_io->error < 0)
                fail(m_io->error);
            if (m_error == 0)
                m_durableEnd = fileSize();
        }
    }
    closeMovie();
    keepMovie();
    if (m_error == 0 && m_framesAdded == 0)
        return AVERROR(ENODATA);
    return m_error;
}

// Decides what stays of the recording file and where, and closes it.
void QuickTimeMovieWriter::keepMovie()
{
    FileCloser closer{m_fd};
    m_fd = -1;
    if (m_durableFrames == 0) {
        // Nothing playable reached the disk: neither the recording nor the reservation stays.
        ::unlink(m_recordingPath.c_str());
        if (isEmptyRegularFile(m_path))
            ::unlink(m_path.c_str());
        return;
    }
    struct stat info
    {
    };
    if (::fstat(closer.fd, &info) == 0 && info.st_size > m_durableEnd) {
        // A fragment cut short by the failure: the movie ends at the last complete one.
        if (::ftruncate(closer.fd, m_durableEnd) != 0)
            fail(AVERROR(errno));
    }
    if (::fdatasync(closer.fd) != 0 && errno != EINVAL && errno != EROFS)
        fail(AVERROR(errno));

    if (::rename(m_recordingPath.c_str(), m_path.c_str()) == 0) {
        m_keptPath = m_path;
        return;
    }
    int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
        // The folder went away while recording. Put the movie back at its name: the folder is
        // made again and the file, still open here, linked or copied into it.
        error = makeFolders(folderOf(m_path));
        if (error == 0 && ::fstat(closer.fd, &info) == 0 && info.st_nlink > 0 &&
            ::rename(m_recordingPath.c_str(), m_path.c_str()) == 0) {
            m_keptPath = m_path;
        } else if (error == 0) {
            if (isEmptyRegularFile(m_path))
                ::unlink(m_path.c_str());
            error = copyOut(closer.fd, m_path);
            if (error == 0) {
                ::unlink(m_recordingPath.c_str());
                m_keptPath = m_path;
            }
        }
        if (m_keptPath.empty()) {
            // The folder cannot be made again (a file took its place): the nearest folder
            // above it that still exists takes the movie instead.
            const std::string name = m_path.substr(m_path.rfind('/') + 1);
            for (std::string folder = folderOf(folderOf(m_path));
                 m_keptPath.empty() && !folder.empty() && folder != "." && folder != "/";
                 folder = folderOf(folder)) {
                struct stat place
                {
                };
                if (::stat(folder.c_str(), &place) == 0 && S_ISDIR(place.st_mode) &&
                    copyOut(closer.fd, folder + "/" + name) == 0)
                    m_keptPath = folder + "/" + name;
            }
        }
        fail(AVERROR(ENOENT)); // the user is told: the folder was gone
        if (!m_keptPath.empty())
            return;
    }
    fail(AVERROR(error));
    if (exists(m_recordingPath))
        m_keptPath = m_recordingPath; // where it lies
}

QuickTimeMovieWriter::Recovery
QuickTimeMovieWriter::recoverRecording(const std::string &recordingPath)
{
    Recovery recovery;
    const std::string finalPath = finalPathFor(recordingPath);
    if (finalPath.empty()) {
        recovery.error = EINVAL;
        return recovery;
    }
    const int fd = ::open(recordingPath.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        recovery.error = errno;
        return recovery;
    }
    FileCloser closer{fd};
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        recovery.error = EINVAL;
        return recovery;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        recovery.outcome = Recovery::Outcome::InUse;
        return recovery;
    }
    const QuickTimeFragmentScan::Result scan = QuickTimeFragmentScan::scan(
        static_cast<uint64_t>(info.st_size), [fd](uint64_t offset, uint8_t *data, size_t size) {
            size_t done = 0;
            while (done < size) {
                const ssize_t got =
                    ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0)
                    return false;
                done += static_cast<size_t>(got);
            }
            return true;
        });
    recovery.fragments = scan.fragments;
    if (!scan.hasMovieHeader || scan.fragments == 0) {
        if (!scan.hasMovieHeader && info.st_size > 0) {
            // Not a recording of ours: left as it is.
            recovery.error = EINVAL;
            return recovery;
        }
        // A recording that never reached its first fragment holds nothing to keep.
        ::unlink(recordingPath.c_str());
        if (isEmptyRegularFile(finalPath))
            ::unlink(finalPath.c_str());
        recovery.outcome = Recovery::Outcome::Removed;
        return recovery;
    }
    if (static_cast<uint64_t>(info.st_size) > scan.completeLength &&
        ::ftruncate(fd, static_cast<off_t>(scan.completeLength)) != 0) {
        recovery.error = errno;
        return recovery;
    }
    ::fdatasync(fd);
    if (isEmptyRegularFile(finalPath))
        ::unlink(finalPath.c_str()); // the reservation of the recording
    // The final name, or when something else took it meanwhile "name-2.mov" and on.
    const size_t dot = finalPath.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > finalPath.rfind('/') + 1;
    const std::string stem = hasExtension ? finalPath.substr(0, dot) : finalPath;
    const std::string extension = hasExtension ? finalPath.substr(dot) : std::string();
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const std::string target =
            attempt == 1 ? finalPath : stem + "-" + std::to_string(attempt) + extension;
        recovery.error = renameKeepingExisting(recordingPath, target);
        if (recovery.error == 0) {
            recovery.outcome = Recovery::Outcome::Recovered;
            recovery.path = target;
            return recovery;
        }
        if (recovery.error != EEXIST)
            break;
    }
    recovery.outcome = Recovery::Outcome::KeptInPlace;
    recovery.path = recordingPath;
    return recovery;
}

} // namespace varnolet
