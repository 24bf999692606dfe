#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "power/data_log.h"

namespace kalendo {
namespace {

namespace fs = std::filesystem;

// Runs each test in a fresh current directory, where the logger writes its files.
class DataLogTest : public testing::Test {
  protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               (std::string("kalendo_log_") + info->name() + "_" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(dir_);
        previous_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::current_path(previous_, ignored);
        fs::remove_all(dir_, ignored);
    }

    static std::string Contents(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    int FileCount() const {
        return static_cast<int>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
    fs::path previous_;
};

const DataLogRecord kUnconnected = {"Unconnected", "Unconnected", "", "Unconnected", "Unconnected"};
const DataLogRecord kMeasured = {"3.5", "12.345", "3.0", "0.125", "25.3"};
const DataLogRecord kLongValues = {"3.5", "12.3456789", "3.0", "-0.0001", "-58.2"};

TEST_F(DataLogTest, WritesEachModelsFileByteForByte) {
    struct Case {
        bool tq5200;
        LocalTime start;
        const char* name;
        const char* contents;
    };
    const Case cases[] = {
        {false,
         {2026, 12, 9, 23, 50, 1},
         "datalog_12092026_235001.txt",
         "KalendoTool -- Data Log -- Timestamp:2026/12/09 23:50:01,\r\n"
         "VDD Voltage,VDD Current,Battery Voltage,Battery Current,Temperature\r\n"
         "Unconne,Unconne,,Unconne,Unconne,\r\n"
         "3.5,12.345,3.0,0.125,25.3,\r\n"
         "3.5,12.3456,3.0,-0.0001,-58.2,\r\n"},
        {true,
         {2027, 1, 2, 3, 4, 5},
         "datalog_01022027_030405.txt",
         "KalendoTool -- Data Log -- Timestamp:2027/01/02 03:04:05,\r\n"
         "VDD Voltage,VDD Current,Temperature\r\n"
         "Unconne,Unconne,Unconne,\r\n"
         "3.5,12.345,25.3,\r\n"
         "3.5,12.3456,-58.2,\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DataLogger logger;
        EXPECT_FALSE(logger.logging());
        ASSERT_EQ(logger.StartLogging(c.start, c.tq5200, kUnconnected), LogWriteResult::Written);
        EXPECT_TRUE(logger.logging());
        EXPECT_EQ(logger.logFileName(), c.name);
        EXPECT_EQ(logger.AppendLogRecord(kMeasured), LogWriteResult::Written);
        EXPECT_EQ(logger.StopLogging(kLongValues), LogWriteResult::Written);
        EXPECT_FALSE(logger.logging());
        EXPECT_EQ(logger.logFileName(), c.name);
        EXPECT_EQ(Contents(c.name), c.contents);
    }
    EXPECT_EQ(FileCount(), 2);
}

TEST_F(DataLogTest, StartWithinTheSameSecondNeverReplacesAnEarlierLog) {
    const LocalTime start = {2026, 12, 9, 23, 50, 1};
    DataLogger logger;
    ASSERT_EQ(logger.StartLogging(start, false, kMeasured), LogWriteResult::Written);
    ASSERT_EQ(logger.StopLogging(kMeasured), LogWriteResult::Written);
    const std::string first = Contents("datalog_12092026_235001.txt");
    ASSERT_FALSE(first.empty());

    ASSERT_EQ(logger.StartLogging(start, true, kUnconnected), LogWriteResult::Written);
    EXPECT_EQ(logger.logFileName(), "datalog_12092026_235001_2.txt");
    DataLogger other;  // another logger, as a second program would be
    ASSERT_EQ(other.StartLogging(start, false, kUnconnected), LogWriteResult::Written);
    EXPECT_EQ(other.logFileName(), "datalog_12092026_235001_3.txt");

    EXPECT_EQ(Contents("datalog_12092026_235001.txt"), first);
    EXPECT_EQ(FileCount(), 3);
}

TEST_F(DataLogTest, NothingIsWrittenWhileNotLogging) {
    DataLogger logger;
    EXPECT_EQ(logger.AppendLogRecord(kMeasured), LogWriteResult::NotLogging);
    EXPECT_EQ(FileCount(), 0);

    ASSERT_EQ(logger.StartLogging({2026, 1, 1, 0, 0, 0}, false, kMeasured),
              LogWriteResult::Written);
    const std::string started = Contents(logger.logFileName());
    logger.Reset();
    EXPECT_FALSE(logger.logging());
    EXPECT_EQ(logger.AppendLogRecord(kMeasured), LogWriteResult::NotLogging);
    EXPECT_EQ(Contents(logger.logFileName()), started);
}

// The page learns of a lost write, logging goes on, and the next cycle's write lands again.
TEST_F(DataLogTest, AppendThatCannotOpenIsReportedAndRetried) {
    DataLogger logger;
    ASSERT_EQ(logger.StartLogging({2026, 1, 1, 0, 0, 0}, true, kMeasured), LogWriteResult::Written);
    const std::string name = logger.logFileName();
    fs::remove(name);
    fs::create_directory(name);  // something that cannot be opened as a file
    EXPECT_EQ(logger.AppendLogRecord(kMeasured), LogWriteResult::CannotOpen);
    EXPECT_TRUE(logger.logging());

    fs::remove(name);
    EXPECT_EQ(logger.AppendLogRecord(kMeasured), LogWriteResult::Written);
    EXPECT_EQ(Contents(name), "3.5,12.345,25.3,\r\n");
    EXPECT_EQ(logger.StopLogging(kMeasured), LogWriteResult::Written);
}

// The window falls back to a folder of the user's when the current one takes no files; the
// name then carries the folder, with or without a closing separator.
TEST_F(DataLogTest, StartsInTheFolderGivenAndNamesItInTheFileName) {
    fs::create_directories(dir_ / "user");
    for (const std::string& folder : {(dir_ / "user").string(), (dir_ / "user").string() + "/"}) {
        DataLogger logger;
        ASSERT_EQ(logger.StartLogging({2026, 1, 1, 0, 0, 0}, false, kMeasured, folder),
                  LogWriteResult::Written);
        const fs::path written(logger.logFileName());
        EXPECT_TRUE(fs::equivalent(written.parent_path(), dir_ / "user")) << logger.logFileName();
        EXPECT_EQ(Contents(logger.logFileName()).rfind(DataLogTitleLine({2026, 1, 1, 0, 0, 0}), 0), 0u)
            << logger.logFileName();
    }
    EXPECT_EQ(FileCount(), 1);  // only the folder: nothing landed in the current directory
}

#if !defined(_WIN32)
TEST_F(DataLogTest, DirectoryThatCannotTakeFilesFailsTheStart) {
    fs::remove(dir_);  // the current directory is gone: nothing can be created in it
    DataLogger logger;
    EXPECT_EQ(logger.StartLogging({2026, 1, 1, 0, 0, 0}, false, kMeasured),
              LogWriteResult::CannotCreate);
    EXPECT_FALSE(logger.logging());
}

TEST_F(DataLogTest, WriteThatDoesNotReachTheDiskIsReported) {
    DataLogger logger;
    ASSERT_EQ(logger.StartLogging({2026, 1, 1, 0, 0, 0}, false, kMeasured),
              LogWriteResult::Written);
    const std::string name = logger.logFileName();
    fs::remove(name);
    fs::create_symlink("/dev/full", name);  // every write fails with "no space left"
    EXPECT_EQ(logger.AppendLogRecord(kMeasured), LogWriteResult::WriteFailed);
    EXPECT_TRUE(logger.logging());
    EXPECT_EQ(logger.StopLogging(kMeasured), LogWriteResult::WriteFailed);
    EXPECT_FALSE(logger.logging());
}
#endif

}  // namespace
}  // namespace kalendo
