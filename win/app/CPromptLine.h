#pragma once

#include <cstdint>

#include <QString>
#include <QStringList>

#include "platform/system/MessageBox.h"

class QLabel;

class AppServices;

// The texts of the main window's prompt line: what the command button under the pointer
// will do, otherwise what the program is doing now. A language file that cannot be loaded
// for a text is told in the line's message box.
class CPromptLine final
{
public:
    explicit CPromptLine(const AppServices &services, varnolet::MessageBox messages);

    // The buttons in the order they are tested.
    enum class Button { None, TakePhoto, TimedShot, Recording, Settings, About, Exit };

    // What the texts are made of, read from the main window and the settings.
    struct State
    {
        bool cameraPresent = false;
        bool devicesListed = false; // the device list is not empty
        bool photoPending = false;
        bool timedSeries = false;
        bool recording = false;
        int captureWidth = 0;
        int captureHeight = 0;
        int movieWidth = 0;
        int movieHeight = 0;
        int64_t seriesTotalMinutes = 0;
        int64_t seriesStartMs = 0; // wall-clock milliseconds
        int64_t nowMs = 0;         // wall-clock milliseconds
    };

    // "%d X %d"
    static QString SizeText(int width, int height);
    // The no-camera or cannot-preview text.
    QString NoCameraText(bool devicesListed) const;
    // The hover text of a button; empty for Button::None.
    QString HoverText(Button button, const State &state) const;
    // The status of a timer tick; the recording status advances the dot counter, every
    // other status resets it. A notice takes the place of the preview (or no-camera) status
    // until its time is over.
    QString StatusText(const State &state);
    // Something the program did by itself that the user should hear of (a movie repaired
    // at start), shown as the idle status until untilMs (wall-clock milliseconds).
    void Announce(const QString &text, int64_t untilMs);
    // The notice of the start-up movie repair: the file name of the one repaired movie,
    // or the number of movies; empty for none.
    QString RepairedMoviesText(const QStringList &fileNames) const;

    // One prompt update: the hover text of the hit button; with no hit the status on a
    // timer tick, or nothing after a mouse move. Answers the new text, or a null string
    // when the line keeps its text.
    QString Update(Button hit, bool fromMouseMove, const State &state);
    // Shows text on the label only when it differs from what the label shows.
    static bool Show(QLabel *label, const QString &text);

    int DotCounter() const { return m_dots; }

private:
    // The text of key in the configured language, or the built-in text.
    QString Text(const char *key, const char *builtIn) const;

    const AppServices &m_services;
    const varnolet::MessageBox m_messages;
    uint8_t m_dots = 0; // 0..3 dots of the recording status
    QString m_notice;
    int64_t m_noticeUntilMs = 0;
};
