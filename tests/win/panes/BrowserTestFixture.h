#pragma once

#include "platform/widgets/ShellOpener.h"

#include "win/common/AppServices.h"

#include "tests/support/RecordingMessagePresenter.h"
#include "tests/support/TestSupport.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <QColor>

class CResourcesBrowserDlg;

// Services whose settings point at a temporary saving location, a recorder for message boxes and
// for what would have been opened on the desktop, and makers of photos and movies.
class BrowserTestFixture : public ::testing::Test
{
protected:
    // An opener for the panes that records into m_opened and answers m_openAnswer.
    ShellOpener::Handler Opener();

    // Saving location temp/<location>; the resource root below it gets the three category
    // folders.
    void UseSettings(bool perDayFolders, const std::string &location = "Pictures");
    std::string Root() const { return m_root; }
    std::string InRoot(const std::string &relative) const { return m_root + "/" + relative; }

    // Files relative to the resource root; parent folders are made.
    std::string WriteJpeg(const std::string &relative, int width, int height,
                          QColor colour = Qt::darkCyan);
    std::string WriteDamaged(const std::string &relative);
    std::string WriteMovie(const std::string &relative, int width, int height);

    // Runs the event loop until the panel has painted every visible row from the cache.
    static void PaintSettled(CResourcesBrowserDlg &panel);

    varnolet::test::TempFolder m_temp;
    // The panes' folders, settings and texts; the per-user file below the temporary folder.
    AppServices m_services{varnolet::SystemPaths({.configHome = m_temp.file("config")})};
    varnolet::MessageRecorder m_messages;
    std::vector<std::pair<std::string, ShellOpener::Verb>> m_opened;
    bool m_openAnswer = true;

private:
    std::string m_root;
};
