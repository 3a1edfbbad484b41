#include "platform/system/VolatileKeyStore.h"
#include "tests/support/TestSupport.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace varnolet;

TEST(VolatileKeyStoreTest, ValuesAreWrittenReadAndReplacedPerKey)
{
    test::TempFolder runtime;
    VolatileKeyStore store(runtime.file("keys"));
    EXPECT_FALSE(store.dword("Software/GNU/XviD", "display_status"));
    EXPECT_EQ(store.setDword("Software/GNU/XviD", "display_status", 7), 0);
    EXPECT_EQ(store.setDword("Software/GNU/XviD", "other", 1), 0);
    EXPECT_EQ(store.setDword("Software/GNU/XviD", "display_status", 0), 0);
    EXPECT_EQ(store.dword("Software/GNU/XviD", "display_status"), 0u);
    EXPECT_EQ(store.dword("Software/GNU/XviD", "other"), 1u);
    EXPECT_FALSE(store.dword("Software/Other", "display_status"));
}

TEST(VolatileKeyStoreTest, AnUnwritableFolderAnswersTheErrno)
{
    test::TempFolder runtime;
    runtime.write("blocked", "a file where the folder should be");
    VolatileKeyStore store(runtime.file("blocked"));
    EXPECT_NE(store.setDword("Software/GNU/XviD", "display_status", 0), 0);
}
