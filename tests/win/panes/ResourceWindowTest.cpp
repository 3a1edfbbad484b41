#include "BrowserTestFixture.h"

#include "win/panes/CResourceBrowserView.h"
#include "win/panes/CResourceWindow.h"
#include "win/panes/CResourcesBrowserDlg.h"

#include <filesystem>
#include <memory>
#include <thread>

#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using varnolet::test::processEventsFor;
using varnolet::test::processEventsUntil;
using Names = std::vector<std::string>;

QStringList ChildTexts(QTreeWidgetItem *item)
{
    QStringList texts;
    for (int i = 0; item && i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

QTreeWidgetItem *Child(QTreeWidgetItem *item, const QString &text)
{
    for (int i = 0; item && i < item->childCount(); ++i) {
        if (item->child(i)->text(0) == text)
            return item->child(i);
    }
    return nullptr;
}

class ResourceWindowTest : public BrowserTestFixture
{
protected:
    // The two panes as the main window stacks them.
    void MakePanes()
    {
        splitter = std::make_unique<QSplitter>(Qt::Vertical);
        window =
            new CResourceWindow(m_services, m_messages.box(), splitter.get(), nullptr, Opener());
        view = new CResourceBrowserView(m_services, m_messages.box(), splitter.get(), Opener());
        panel = view->Panel();
        window->SetBrowserPanel(panel);
        window->SetCaptureBusyQuery([this] { return captureBusy; });
        splitter->addWidget(window);
        splitter->addWidget(view);
        splitter->resize(260, 520);
        splitter->setSizes({170, 350});
        splitter->show();
        processEventsUntil([this] { return panel->isVisible(); });
    }
    QTreeWidgetItem *Top() const { return window->Tree()->topLevelItem(0); }
    QTreeWidgetItem *Item(std::initializer_list<const char *> path) const
    {
        QTreeWidgetItem *item = Top();
        for (const char *text : path)
            item = Child(item, QString::fromUtf8(text));
        return item;
    }

    std::unique_ptr<QSplitter> splitter;
    CResourceWindow *window = nullptr;
    CResourceBrowserView *view = nullptr;
    CResourcesBrowserDlg *panel = nullptr;
    bool captureBusy = false;
};

TEST_F(ResourceWindowTest, FlatTreeShowsTheCategoriesOnlyAndSelectingOneShowsItsFiles)
{
    UseSettings(false);
    WriteJpeg("Timed Shots/T20240305_001_0001.jpg", 64, 48);
    WriteJpeg("Timed Shots/T20240305_001_0002.jpg", 64, 48);
    m_temp.makeFolder("Pictures/Varnolet/Timed Shots/made by hand");
    MakePanes();
    ASSERT_EQ(window->Tree()->topLevelItemCount(), 1);
    EXPECT_EQ(Top()->text(0), "Varnolet");
    EXPECT_TRUE(Top()->isExpanded());
    EXPECT_EQ(ChildTexts(Top()), (QStringList{"Movies", "Single Shots", "Timed Shots"}));
    EXPECT_EQ(Item({"Timed Shots"})->childCount(), 0);

    window->Tree()->setCurrentItem(Item({"Timed Shots"}));
    EXPECT_EQ(panel->CurrentFolder(), InRoot("Timed Shots"));
    EXPECT_EQ(panel->Names(), (Names{"T20240305_001_0001.jpg", "T20240305_001_0002.jpg"}));

    // The layout rule: the button is the bottom 20 pixels.
    EXPECT_EQ(window->MoreButton()->geometry(),
              QRect(0, window->height() - 20, window->width(), 20));
    EXPECT_EQ(window->Tree()->geometry(), QRect(0, 0, window->width(), window->height() - 20));
    EXPECT_EQ(window->MoreButton()->text(), QString::fromUtf8("更多..."));
}

TEST_F(ResourceWindowTest, PerDayTreeGrowsWithTheFirstPhotoOfANewDayAndAppendsTheSecond)
{
    UseSettings(true);
    WriteJpeg("Single Shots/20240305/000/SingleShot0000.jpg", 64, 48);
    WriteJpeg("Timed Shots/20240305/000/TimeShot000-0000.jpg", 64, 48);
    MakePanes();
    EXPECT_EQ(ChildTexts(Item({"Single Shots", "20240305"})), QStringList{"000"});
    EXPECT_EQ(ChildTexts(Item({"Timed Shots", "20240305"})), QStringList{"000"});

    // The capture thread saves the day's first photo (its folders made by the naming) and
    // announces it while a photo is pending.
    captureBusy = true;
    const std::string first = WriteJpeg("Single Shots/20240306/000/SingleShot0000.jpg", 64, 48);
    std::thread capture([this, first] { window->AddResourceFile(first); });
    capture.join();
    ASSERT_TRUE(processEventsUntil(
        [&] { return panel->CurrentFolder() == InRoot("Single Shots/20240306/000"); }));
    QTreeWidgetItem *number = Item({"Single Shots", "20240306", "000"});
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(window->Tree()->currentItem(), number);
    EXPECT_EQ(ChildTexts(Item({"Single Shots"})), (QStringList{"20240305", "20240306"}));
    EXPECT_EQ(panel->Names(), Names{"SingleShot0000.jpg"});

    // Seven more photos: each appended and scrolled into view, the tree unchanged.
    for (int i = 1; i <= 7; ++i) {
        const std::string next = WriteJpeg(
            "Single Shots/20240306/000/SingleShot000" + std::to_string(i) + ".jpg", 64, 48);
        std::thread saving([this, next] { window->AddResourceFile(next); });
        saving.join();
        ASSERT_TRUE(processEventsUntil(
            [&] { return panel->Names().size() == static_cast<size_t>(i + 1); }));
    }
    EXPECT_EQ(panel->Names().back(), "SingleShot0007.jpg");
    EXPECT_EQ(panel->Scroll().Position(), panel->Scroll().MaximumPosition());
    EXPECT_GT(panel->Scroll().Position(), 0);
    EXPECT_EQ(ChildTexts(Item({"Single Shots", "20240306"})), QStringList{"000"});
    panel->repaint();
    panel->WaitForThumbnails(5s);
    panel->repaint();
    ASSERT_FALSE(panel->PictureRects().empty());
    EXPECT_EQ(panel->PathOfRow(panel->PictureRects().back().first),
              InRoot("Single Shots/20240306/000/SingleShot0007.jpg"));

    // A file of an unknown category, or a path too short, changes nothing.
    window->AddResourceFile(InRoot("Elsewhere/20240306/000/x.jpg"));
    window->AddResourceFile("x.jpg");
    EXPECT_EQ(panel->CurrentFolder(), InRoot("Single Shots/20240306/000"));
}

TEST_F(ResourceWindowTest, DateFoldersAndSelectionsDuringACaptureLeaveThePaneAlone)
{
    UseSettings(true);
    WriteJpeg("Single Shots/20240305/000/SingleShot0000.jpg", 64, 48);
    WriteJpeg("Movies/20240305/000/notes.jpg", 64, 48);
    MakePanes();
    window->Tree()->setCurrentItem(Item({"Single Shots", "20240305", "000"}));
    const std::string shown = InRoot("Single Shots/20240305/000");
    EXPECT_EQ(panel->CurrentFolder(), shown);

    window->Tree()->setCurrentItem(Item({"Single Shots", "20240305"})); // has children
    EXPECT_EQ(panel->CurrentFolder(), shown);

    captureBusy = true; // recording
    window->Tree()->setCurrentItem(Item({"Movies", "20240305", "000"}));
    EXPECT_EQ(panel->CurrentFolder(), shown);
    captureBusy = false;
    window->Tree()->setCurrentItem(Item({"Single Shots"}));
    window->Tree()->setCurrentItem(Item({"Movies", "20240305", "000"}));
    EXPECT_EQ(panel->CurrentFolder(), InRoot("Movies/20240305/000"));
}

TEST_F(ResourceWindowTest, TheTreeIsRebuiltOnlyWhenRootOrPerDaySettingChange)
{
    UseSettings(false);
    MakePanes();
    m_temp.makeFolder("Pictures/Varnolet/New Category");
    window->RefreshResourceTree();
    EXPECT_FALSE(ChildTexts(Top()).contains("New Category"));

    UseSettings(true); // same root, per-day folders switched on
    window->RefreshResourceTree();
    EXPECT_TRUE(ChildTexts(Top()).contains("New Category"));
    EXPECT_EQ(panel->Monitor().WatchedRoot(), Root());

    const std::string oldRoot = Root();
    UseSettings(true, "Card");
    WriteJpeg("Movies/20240305/000/Movie0000.jpg", 64, 48);
    window->RefreshResourceTree();
    EXPECT_EQ(window->ShownRoot(), Root());
    EXPECT_FALSE(ChildTexts(Top()).contains("New Category"));
    EXPECT_NE(Item({"Movies", "20240305", "000"}), nullptr);
    ASSERT_TRUE(processEventsUntil([this] { return panel->Monitor().IsWatching(); }));
    EXPECT_EQ(panel->Monitor().WatchedRoot(), Root());
    EXPECT_FALSE(fs::exists(oldRoot + "/MyVarnoletMMNXXXTemp.dat"));
}

TEST_F(ResourceWindowTest, MoreOpensTheSelectedFolderOrTheRoot)
{
    UseSettings(true);
    WriteJpeg("Single Shots/20240305/000/SingleShot0000.jpg", 64, 48);
    MakePanes();
    window->MoreButton()->click();
    window->Tree()->setCurrentItem(Item({"Single Shots", "20240305", "000"}));
    window->MoreButton()->click();
    window->Tree()->setCurrentItem(Top());
    window->MoreButton()->click();
    ASSERT_EQ(m_opened.size(), 3u);
    EXPECT_EQ(m_opened[0], std::make_pair(Root(), ShellOpener::Verb::Explore));
    EXPECT_EQ(m_opened[1].first, InRoot("Single Shots/20240305/000"));
    EXPECT_EQ(m_opened[2].first, Root());
}

TEST_F(ResourceWindowTest, ScreenshotOfThePanesWithPhotosAndAMovie)
{
    UseSettings(true);
    WriteJpeg("Single Shots/20240305/000/SingleShot0000.jpg", 1600, 1200, QColor(30, 110, 180));
    WriteJpeg("Single Shots/20240305/000/SingleShot0001.jpg", 640, 240, QColor(170, 60, 140));
    WriteDamaged("Single Shots/20240305/000/SingleShot0002.jpg");
    WriteMovie("Single Shots/20240305/000/Movie0000.avi", 320, 240);
    WriteJpeg("Single Shots/20240305/000/SingleShot0003.jpg", 1280, 720, QColor(40, 150, 70));
    WriteJpeg("Timed Shots/20240305/000/TimeShot000-0000.jpg", 64, 48);
    MakePanes();
    window->Tree()->setCurrentItem(Item({"Single Shots", "20240305", "000"}));
    PaintSettled(*panel);
    EXPECT_EQ(panel->PictureRects().size(), 3u); // three rows fit; the damaged one takes none
    const QImage shot = splitter->grab().toImage();
    EXPECT_TRUE(shot.save("/tmp/varnolet-browser-panes.png"));
}

} // namespace
