#include "AviMovieWriter.h"

#include "platform/media/FrameScaler.h"
#include "platform/system/Clock.h"
#include "platform/system/SystemError.h"
#include "win/common/AppServices.h"
#include "win/common/IResourceAnnouncer.h"
#include "win/common/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>

#include <sys/stat.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

namespace {

std::unique_ptr<AviMovieWriter> g_movieWriter; // the slot, guarded by MovieWriterLock()

// Screen size in device pixels, read on the UI thread; 1920 × 1080 without a screen.
void ScreenSize(int &width, int &height)
{
    width = 1920;
    height = 1080;
    auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!application || QThread::currentThread() != application->thread())
        return;
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize size = screen->size() * screen->devicePixelRatio();
        if (size.width() > 0 && size.height() > 0) {
            width = size.width();
            height = size.height();
        }
    }
}

// At most max characters (code points), never cutting a UTF-8 sequence.
std::string CutText(const std::string &text, size_t max)
{
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (characters == max)
                return text.substr(0, i);
            ++characters;
        }
    }
    return text;
}

std::string ErrorCodeText(int code)
{
    // FFmpeg carries POSIX failures as AVERROR(errno).
    if (code < 0 && code > -4096)
        return varnolet::SystemError::text(-code);
    return varnolet::ffmpegErrorText(code);
}

} // namespace

AviMovieWriter::AviMovieWriter(const std::string &path,
                               std::shared_ptr<const varnolet::Clock> clock,
                               const AppServices &services, varnolet::MessageBox messages,
                               double setUpRate, std::string encoderName)
    : m_clock(std::move(clock))
    , m_services(services)
    , m_messages(std::move(messages))
    , m_filePath(path.substr(0, 4095))
    , m_lastErrorText("Method Succeeded")
    , m_nominalRate(SetUpRateFor(setUpRate))
    , m_encoderName(std::move(encoderName))
{
    if (!m_clock)
        throw std::invalid_argument("AviMovieWriter needs a clock");
    ScreenSize(m_screenWidth, m_screenHeight);
}

AviMovieWriter::~AviMovieWriter()
{
    ReleaseMemory();
}

uint32_t AviMovieWriter::MeasuredRate(uint64_t framesWritten, uint64_t elapsedMilliseconds,
                                      uint32_t setUpRate)
{
    if (elapsedMilliseconds == 0)
        return setUpRate;
    const uint64_t rate = framesWritten * 1000 / elapsedMilliseconds;
    if (rate < 1)
        return 1;
    constexpr uint64_t kMost = varnolet::AviMpeg4Writer::kMaxFramesPerSecond;
    return static_cast<uint32_t>(std::min(rate, kMost));
}

int32_t AviMovieWriter::SetUpRateFor(double cameraFramesPerSecond)
{
    if (!(cameraFramesPerSecond > 0))
        return kNominalRate;
    const double rounded = std::floor(cameraFramesPerSecond + 0.5);
    return static_cast<int32_t>(
        std::clamp(rounded, 1.0, double(varnolet::AviMpeg4Writer::kMaxFramesPerSecond)));
}

bool AviMovieWriter::TakeFailureToReport()
{
    if (m_failureReported)
        return false;
    m_failureReported = true;
    return true;
}

bool AviMovieWriter::Fail(const std::string &text)
{
    m_errorFlag = 1;
    m_lastErrorText = CutText(text, kMaxErrorText);
    return false;
}

bool AviMovieWriter::SetUpStream(int width, int height)
{
    if (m_aviFile)
        return true;
    // One staging block for the whole recording, large enough for a full-screen frame at
    // 4 bytes per pixel (and for this frame).
    m_stagingSize = static_cast<size_t>(std::max(m_screenWidth, width)) *
                    static_cast<size_t>(std::max(m_screenHeight, height)) * 4;
    m_stagingBuffer.reset(new (std::nothrow) uint8_t[m_stagingSize]());
    if (!m_stagingBuffer) {
        m_stagingSize = 0;
        return Fail("Unable to Allocate Memory on Heap");
    }

    varnolet::AviMpeg4Writer::Options options;
    options.framesPerSecond = m_nominalRate;
    options.encoderName = m_encoderName;
    m_aviFile = std::make_unique<varnolet::AviMpeg4Writer>();
    const int result = m_aviFile->open(m_filePath, width, height, options);
    if (result < 0) {
        switch (m_aviFile->failedStage()) {
        case varnolet::AviMpeg4Writer::Stage::File:
        case varnolet::AviMpeg4Writer::Stage::Write: // the header could not be written
            return Fail(FormatText(m_services.GetLanguageString("ui_alert_savefile",
                                                                "Save file %s failure", m_messages),
                                   {m_filePath}) +
                        ErrorCodeText(result));
        case varnolet::AviMpeg4Writer::Stage::Encoder:
            return Fail("Unable to Create Compressed Stream: Check your CODEC options");
        case varnolet::AviMpeg4Writer::Stage::Format:
            return Fail("Unable to Set Video Stream Format");
        default:
            return Fail("Unable to Create Video Stream in the Movie File");
        }
    }
    m_streamWidth = width;
    m_streamHeight = height;
    m_setUpClock = m_clock->tickMilliseconds();
    return true;
}

bool AviMovieWriter::AdmitFrame()
{
    if (m_framesSkipped >= 3)
        return true;
    const SettingValues settings = m_services.Settings().GetUsingSettings();
    const FrameSize movieSize = MovieFrameSize(settings);
    if (settings.captureWidth == movieSize.width && settings.captureHeight == movieSize.height) {
        m_framesSkipped = 3;
        return true;
    }
    // Frames still coming at the old capture size pass by, at most three of them.
    ++m_framesSkipped;
    return false;
}

int AviMovieWriter::AppendMovieFrame(int width, int height, const uint8_t *buffer, size_t length)
{
    if (!AdmitFrame())
        return 0;
    if (m_state == StateReleased)
        return -1;
    if (width <= 0 || height <= 0 || !buffer)
        return 0;
    const size_t frameSize = static_cast<size_t>(width) * static_cast<size_t>(height) * 24 / 8;
    if (length < frameSize)
        return 0; // a short buffer would be read past its end: the frame is dropped
    if (m_state == StateCreated) {
        if (!SetUpStream(width, height)) {
            ReleaseMemory();
            return -1;
        }
        m_state = StateWriting;
    }

    ++m_framesWritten;
    if (width == m_streamWidth && height == m_streamHeight) {
        std::memcpy(m_stagingBuffer.get(), buffer, frameSize);
    } else {
        // A frame of another size than the stream's (the camera changed size while
        // recording) is scaled to the stream's size instead of being misread.
        varnolet::FrameScaler scaler;
        if (!scaler.scale(buffer, width, height, m_stagingBuffer.get(), m_streamWidth,
                          m_streamHeight)) {
            Fail(kWriteFailureText);
            ReleaseMemory();
            return -1;
        }
    }
    const int result = m_aviFile->writeFrame(m_stagingBuffer.get());
    if (result < 0) {
        // The system's reason ("No space left on device") tells the user what to do.
        Fail(std::string(kWriteFailureText) + ": " + ErrorCodeText(result));
        ReleaseMemory();
        return result;
    }
    ++m_nextSampleIndex;
    return 0;
}

uint64_t AviMovieWriter::CurrentMovieBytes()
{
    if (!m_aviFile || !m_aviFile->isOpen())
        return 0;
    if (m_aviFile->framesWritten() == 0)
        return 0;
    m_byteTotal += static_cast<uint64_t>(m_aviFile->lastPacketSize());
    return m_byteTotal;
}

int AviMovieWriter::ReleaseMemory()
{
    m_state = StateReleased;
    int result = 0;
    if (m_aviFile) {
        // Closing writes the trailer whenever the header was written, so the file plays up
        // to its last frame even after a failure.
        result = m_aviFile->close();
        m_aviFile.reset();
    }
    m_stagingBuffer.reset();
    return result;
}

std::string AviMovieWriter::PatchRate()
{
    const uint64_t now = m_clock->tickMilliseconds();
    const uint64_t elapsed = now >= m_setUpClock ? now - m_setUpClock : 0;
    const uint32_t rate = MeasuredRate(static_cast<uint64_t>(m_framesWritten), elapsed,
                                       static_cast<uint32_t>(m_nominalRate));
    const int result = varnolet::AviMpeg4Writer::patchFrameRate(m_filePath, rate);
    if (result < 0)
        return varnolet::SystemError::text(-result);
    m_patchedRate = rate;
    return {};
}

std::string AviMovieWriter::Close()
{
    const bool streamWasSetUp = m_aviFile != nullptr;
    const int result = ReleaseMemory();
    if (result < 0 && !m_errorFlag) {
        // The trailer and index could not be written (a full disk): the file is not a good
        // movie, and its rate is left as set up.
        Fail(std::string(kWriteFailureText) + ": " + ErrorCodeText(result));
        return m_lastErrorText;
    }
    // A recording that never wrote a frame has no file to patch.
    if (!m_errorFlag && streamWasSetUp)
        return PatchRate();
    return {};
}

std::mutex &MovieWriterLock()
{
    static std::mutex lock;
    return lock;
}

AviMovieWriter *OpenMovieWriter()
{
    return g_movieWriter.get();
}

void CreateMovieWriter(const std::string &path, std::shared_ptr<const varnolet::Clock> clock,
                       const AppServices &services, const varnolet::MessageBox &messages,
                       IResourceAnnouncer *resourceWindow, double cameraFramesPerSecond,
                       std::string encoderName)
{
    CloseMovieWriter(resourceWindow);
    auto writer = std::make_unique<AviMovieWriter>(path, std::move(clock), services, messages,
                                                   cameraFramesPerSecond, std::move(encoderName));
    std::lock_guard<std::mutex> guard(MovieWriterLock());
    g_movieWriter = std::move(writer);
}

void CloseMovieWriter(IResourceAnnouncer *resourceWindow)
{
    std::string path;
    std::string failure;
    std::optional<varnolet::MessageBox> messages;
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        if (g_movieWriter) {
            path = g_movieWriter->FilePath();
            failure = g_movieWriter->Close();
            messages = g_movieWriter->FailureMessages();
            g_movieWriter.reset();
        }
    }
    // Shown outside the lock: the capture thread must not wait for the user.
    if (!failure.empty())
        messages->warning(failure);
    if (path.empty() || !resourceWindow)
        return;
    // A recording stopped before its first frame left no file to announce.
    struct stat info = {};
    if (::stat(path.c_str(), &info) == 0)
        resourceWindow->AddResourceFile(path);
}
