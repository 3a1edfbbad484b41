#include "win/browser/FilmSymbol.h"
#include "win/browser/FolderListing.h"
#include "win/browser/ResourceNameList.h"
#include "win/browser/ResourcePathParts.h"
#include "win/browser/ScrollRange.h"
#include "win/browser/ThumbnailCache.h"
#include "win/browser/ThumbnailLayout.h"

#include "tests/support/TestSupport.h"

#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

namespace {

using varnolet::test::TempFolder;
using Names = std::vector<std::string>;

void Fill(ResourceNameList &list, const Names &names)
{
    list.SwitchFolder("/f");
    for (const std::string &name : names)
        list.AppendName(name);
}

TEST(ResourceNameList, InsertNameSortedFindsTheOrdinalPlaceAndSkipsDuplicates)
{
    ResourceNameList list;
    Fill(list, {"S20240305_0001.jpg", "S20240305_0003.jpg"});
    EXPECT_TRUE(list.InsertNameSorted("S20240305_0002.jpg"));
    EXPECT_FALSE(list.InsertNameSorted("S20240305_0003.jpg"));
    EXPECT_TRUE(list.InsertNameSorted("S20240305_0009.jpg"));
    EXPECT_TRUE(list.InsertNameSorted("A.jpg"));
    // Ordinal: upper case sorts before lower case.
    EXPECT_TRUE(list.InsertNameSorted("s.jpg"));
    EXPECT_EQ(list.Names(), (Names{"A.jpg", "S20240305_0001.jpg", "S20240305_0002.jpg",
                                   "S20240305_0003.jpg", "S20240305_0009.jpg", "s.jpg"}));
    ResourceNameList empty;
    EXPECT_TRUE(empty.InsertNameSorted("x.jpg"));
    EXPECT_EQ(empty.Count(), 1u);
}

TEST(ResourceNameList, ContainsNameWalksBackAndStopsAtTheFirstSmallerName)
{
    ResourceNameList list;
    Fill(list, {"b.jpg", "d.jpg", "f.jpg"});
    EXPECT_TRUE(list.ContainsName("f.jpg"));
    EXPECT_TRUE(list.ContainsName("b.jpg"));
    EXPECT_FALSE(list.ContainsName("e.jpg"));
    EXPECT_FALSE(list.ContainsName("a.jpg"));
    EXPECT_FALSE(list.ContainsName("F.jpg")); // case-sensitive
    // An appended name out of order before a greater one is not found past it: the walk
    // relies on the list being ordered, as the pane keeps it.
    ResourceNameList unordered;
    Fill(unordered, {"b.jpg", "a.jpg", "c.jpg"});
    EXPECT_FALSE(unordered.ContainsName("b.jpg"));
}

TEST(ResourceNameList, RemoveNameTakesTheFirstEqualEntryAndPathsStopAtTheEnd)
{
    ResourceNameList list;
    Fill(list, {"a.jpg", "b.avi", "a.jpg"});
    EXPECT_TRUE(list.RemoveName("a.jpg"));
    EXPECT_EQ(list.Names(), (Names{"b.avi", "a.jpg"}));
    EXPECT_FALSE(list.RemoveName("zzz.jpg"));
    EXPECT_EQ(list.PathOfIndex(0), "/f/b.avi");
    EXPECT_EQ(list.PathOfIndex(2), "");
    EXPECT_FALSE(list.SwitchFolder("/f"));
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_TRUE(list.SwitchFolder("/g"));
    EXPECT_EQ(list.Count(), 0u);
    // A listing made for another folder does not land in the one shown now.
    EXPECT_FALSE(list.ReplaceNames("/f", {"late.jpg"}));
    EXPECT_EQ(list.Count(), 0u);
}

TEST(ResourceNameList, ConcurrentAppendsAndRemovalsKeepEveryName)
{
    ResourceNameList list;
    list.SwitchFolder("/f");
    std::thread writer([&list] {
        for (int i = 0; i < 2000; ++i)
            list.AppendName("w" + std::to_string(i) + ".jpg");
    });
    for (int i = 0; i < 2000; ++i) {
        list.InsertNameSorted("r" + std::to_string(i) + ".jpg");
        list.ContainsName("w5.jpg");
        list.PathOfIndex(static_cast<size_t>(i));
    }
    writer.join();
    EXPECT_EQ(list.Count(), 4000u);
}

TEST(ThumbnailLayout, BoxRatioEdgesAndEmptySizes)
{
    // Exactly the box's ratio: the picture is 100 high and the full width.
    EXPECT_EQ(ThumbnailLayout::PictureSize(400, 200, 200), QSize(200, 100));
    EXPECT_EQ(ThumbnailLayout::PictureRect(640, 240, 200, 120), QRect(0, 132, 200, 75));
    EXPECT_TRUE(ThumbnailLayout::PictureSize(0, 100, 200).isEmpty());
    EXPECT_TRUE(ThumbnailLayout::PictureSize(100, 100, 0).isEmpty());
}

TEST(ThumbnailLayout, RowsAndTheFirstRowFollowTheScrollPosition)
{
    EXPECT_EQ(ThumbnailLayout::VisibleRows(300), 3);
    EXPECT_EQ(ThumbnailLayout::VisibleRows(330), 4);
    EXPECT_EQ(ThumbnailLayout::FirstVisibleIndex(0), 0);
    EXPECT_EQ(ThumbnailLayout::FirstRowTop(0), 10);
    EXPECT_EQ(ThumbnailLayout::FirstVisibleIndex(471), 4);
    EXPECT_EQ(ThumbnailLayout::FirstRowTop(471), -21);
}

TEST(ScrollRange, WheelLineAndPageStepsStayWithinTheRange)
{
    ScrollRange scroll;
    scroll.Reset(7, 300);
    bool handled = false;
    EXPECT_TRUE(scroll.Wheel(-120, &handled)); // towards the user
    EXPECT_TRUE(handled);
    EXPECT_EQ(scroll.Position(), 110);
    EXPECT_TRUE(scroll.Wheel(120, &handled));
    EXPECT_EQ(scroll.Position(), 0);
    EXPECT_FALSE(scroll.Wheel(0, &handled));
    EXPECT_FALSE(handled);
    EXPECT_FALSE(scroll.LineUp());
    EXPECT_TRUE(scroll.PageDown());
    EXPECT_EQ(scroll.Position(), 300);
    // The last position shows the last picture at the bottom: 770 − 300 + 1.
    EXPECT_TRUE(scroll.PageDown());
    EXPECT_EQ(scroll.Position(), 471);
    EXPECT_FALSE(scroll.LineDown());
    EXPECT_TRUE(scroll.MoveTo(-5));
    EXPECT_EQ(scroll.Position(), 0);
}

TEST(ScrollRange, UpdateKeepsTheDistanceFromTheEnd)
{
    ScrollRange scroll;
    scroll.Reset(7, 300);
    scroll.ToEnd(7);
    EXPECT_EQ(scroll.Position(), 471);
    scroll.Update(6); // one removed
    EXPECT_EQ(scroll.Maximum(), 660);
    EXPECT_EQ(scroll.Position(), 361);
    scroll.MoveTo(110);
    scroll.Update(8); // two more
    EXPECT_EQ(scroll.Position(), 330);
    scroll.Update(1);
    EXPECT_EQ(scroll.Position(), 0);
}

TEST(ResourcePathParts, SplitsFromTheEnd)
{
    auto parts = ResourcePathParts::Split(
        "/home/u/Varnolet/Single Shots/20240305/000/SingleShot0000.jpg", true);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->category, "Single Shots");
    EXPECT_EQ(parts->date, "20240305");
    EXPECT_EQ(parts->number, "000");
    EXPECT_EQ(parts->file, "SingleShot0000.jpg");
    parts = ResourcePathParts::Split("/home/u/Varnolet/Movies/M20240305_0001.avi", false);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->category, "Movies");
    EXPECT_EQ(parts->file, "M20240305_0001.avi");
    EXPECT_FALSE(ResourcePathParts::Split("a/b/c.jpg", true));
    EXPECT_FALSE(ResourcePathParts::Split("c.jpg", false));
    EXPECT_EQ(ResourcePathParts::Split("Movies/x.avi", false)->category, "Movies");
}

TEST(FolderListing, ListsOnlyFilesNamedLikePhotosOrMoviesInOrdinalOrder)
{
    TempFolder temp;
    for (const char *name : {"b.jpg", "a.avi", "notes.txt", "B.jpg", "x.jpg.bak", "movie.AVI"})
        temp.write(std::string("f/") + name, "x");
    temp.makeFolder("f/folder.jpg");
    std::filesystem::create_symlink(temp.file("f/b.jpg"), temp.file("f/link.jpg"));
    EXPECT_EQ(FolderListing::ResourceNames(temp.file("f")),
              (Names{"B.jpg", "a.avi", "b.jpg", "link.jpg", "x.jpg.bak"}));
    EXPECT_TRUE(FolderListing::ResourceNames(temp.file("missing")).empty());
    const auto folders = FolderListing::Subfolders(temp.file("f"));
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].name, "folder.jpg");
}

TEST(ThumbnailCache, StaysWithinItsBoundsAndKnowsAChangedFile)
{
    ThumbnailCache cache(1024 * 1024, 3);
    Thumbnail thumbnail;
    thumbnail.decoded = true;
    thumbnail.picture = QImage(10, 10, QImage::Format_RGB32);
    for (int i = 0; i < 5; ++i)
        cache.Insert({"/p" + std::to_string(i), 200, 1, 1}, thumbnail);
    EXPECT_EQ(cache.Count(), 3u);
    EXPECT_FALSE(cache.Find({"/p0", 200, 1, 1}));
    EXPECT_TRUE(cache.Find({"/p2", 200, 1, 1})); // now the most recent
    cache.Insert({"/p5", 200, 1, 1}, thumbnail);
    EXPECT_TRUE(cache.Find({"/p2", 200, 1, 1}));
    EXPECT_FALSE(cache.Find({"/p3", 200, 1, 1}));

    ThumbnailCache small(50 * 1024, 100);
    Thumbnail big = thumbnail;
    big.picture = QImage(100, 100, QImage::Format_RGB32); // 40 KB
    small.Insert({"/a", 200, 1, 1}, big);
    small.Insert({"/b", 200, 1, 1}, big);
    EXPECT_EQ(small.Count(), 1u);
    EXPECT_LE(small.Bytes(), 50u * 1024u);

    TempFolder temp;
    const std::string path = temp.write("p.jpg", "one");
    const auto before = ThumbnailKey::Of(path, 200);
    ASSERT_TRUE(before);
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) +
                                               std::chrono::seconds(5));
    const auto after = ThumbnailKey::Of(path, 200);
    ASSERT_TRUE(after);
    EXPECT_NE(*before, *after);
    EXPECT_FALSE(ThumbnailKey::Of(temp.file("gone.jpg"), 200));
}

TEST(FilmSymbol, TheProgramsPictureIsScaledTo32AndAMissingOneIsDrawn)
{
    TempFolder temp;
    QImage big(64, 64, QImage::Format_ARGB32);
    big.fill(QColor(255, 0, 0));
    const std::string path = temp.file("Film.png");
    ASSERT_TRUE(big.save(QString::fromStdString(path)));
    const QImage loaded = FilmSymbol::Load(path);
    EXPECT_EQ(loaded.size(), QSize(32, 32));
    EXPECT_EQ(loaded.pixelColor(16, 16), QColor(255, 0, 0));
    const QImage drawn = FilmSymbol::Load(temp.file("missing.png"));
    EXPECT_EQ(drawn.size(), QSize(32, 32));
    EXPECT_EQ(drawn, FilmSymbol::Drawn());
    EXPECT_EQ(qAlpha(drawn.pixel(0, 0)), 0);     // transparent corner
    EXPECT_EQ(qAlpha(drawn.pixel(16, 16)), 255); // opaque picture window
}

} // namespace
