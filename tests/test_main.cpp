// The test binary fixes its own time zone and locale before anything reads them, so running it
// directly gives what ctest gives, whatever the shell's TZ and LANG.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>

int main(int argc, char** argv) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    ::setenv("LC_ALL", "C.UTF-8", 1);
    std::setlocale(LC_ALL, "C.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

TEST(TestBinary, RunsInUniversalTimeWithTheFixturesAtHand) {
    EXPECT_STREQ(std::getenv("TZ"), "UTC");
    const std::time_t epoch = 0;
    std::tm local{};
    ASSERT_NE(::localtime_r(&epoch, &local), nullptr);
    EXPECT_EQ(local.tm_hour, 0);
    EXPECT_TRUE(std::filesystem::is_directory(TC_TEST_DATA)) << TC_TEST_DATA;
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(TC_TEST_DATA) / "snapshot.xml"));
}
