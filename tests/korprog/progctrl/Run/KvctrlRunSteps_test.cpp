// The names the run's steps give what they tell and keep: the read-back's
// reason and the backup's file.

#include <gtest/gtest.h>

#include "korprog/progctrl/Run/KvctrlBackup.h"
#include "korprog/progctrl/Run/KvctrlReadBack.h"
#include "support/TempDir.h"

TEST(KvctrlReadBack, NamesTheFirstFewDifferencesAndCountsTheRest)
{
    std::vector<EntryDifference> d;
    for (int k = 1; k <= 7; ++k) d.push_back({k, k == 2 ? "number" : "text", "a", "b", ""});
    EXPECT_EQ(KvctrlReadBack::reason(d),
              "verify failed: entry 1 reads back 'b' instead of 'a'; entry 2 number reads back 'b' instead of 'a'; "
              "entry 3 reads back 'b' instead of 'a'; entry 4 reads back 'b' instead of 'a'; entry 5 reads back 'b' "
              "instead of 'a'; and 2 more");
}

TEST(KvctrlBackup, FileNameIsTypeImeiAndUtcTimeWithNoimeiAndSafeCharacters)
{
    EXPECT_EQ(KvctrlBackup::fileName("KV8888GM-ED", "351234567890123", 1700000000),
              "Backups/KV8888GM-ED_351234567890123_20231114-221320.adn");
    EXPECT_EQ(KvctrlBackup::fileName("KV/88 88", "", 0), "Backups/KV_88_88_noimei_19700101-000000.adn");
}

// Units without an IMEI, of one type, backed up in one second: on a
// production line each keeps its own backup.
TEST(KvctrlBackup, ABackupNeverReplacesAnotherOfTheSameName)
{
    TempDir here("korprog-backup", TempDir::ENTER);
    const std::string name = KvctrlBackup::fileName("KV8888PM-ED", "", 1700000000);
    std::string first, second, why;
    ASSERT_TRUE(KvctrlBackup::save(name, {{"Eerste", "1"}}, &why, &first)) << why;
    ASSERT_TRUE(KvctrlBackup::save(name, {{"Tweede", "2"}}, &why, &second)) << why;
    EXPECT_EQ(first, name);
    EXPECT_EQ(second, "Backups/KV8888PM-ED_noimei_20231114-221320_2.adn");
    EXPECT_EQ(TempDir::read(first), "Eerste|1\n");
    EXPECT_EQ(TempDir::read(second), "Tweede|2\n");
}
