// The store on disk: made when missing, added to without losing a record, never written over
// when it cannot be read, and shared safely by two writers at once.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "marks/mark_store_file.h"
#include "marks/mark_store_text.h"

namespace kalendo::marks {
namespace {

namespace fs = std::filesystem;

Mark SomeMark(int n) {
    Mark m;
    m.board = {"FT4ZQ8A1", "UM232H", "TQ5100"};
    m.earlyUtcNanos = 1796968404000000000LL + n * 86400000000000LL;
    m.lateUtcNanos = m.earlyUtcNanos + 900000;
    m.rtc = {2026, 12, 11, 6, 53, 24};
    m.program = "test " + std::to_string(n);
    return m;
}

class MarkStoreFileTest : public ::testing::Test {
  protected:
    MarkStoreFileTest() {
        folder_ =
            fs::temp_directory_path() /
            ("kalendo-marks-" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        path_ = (folder_ / "Kalendo" / "marks.txt").string();
    }
    ~MarkStoreFileTest() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path folder_;
    std::string path_;
};

TEST_F(MarkStoreFileTest, AddingKeepsEveryRecordAndMakesTheFolder) {
    const MarkStoreFile file(path_);
    MarkStore store;
    EXPECT_EQ(file.Load(&store).status, StoreStatus::Missing);
    ASSERT_EQ(file.AddMark(SomeMark(0)).status, StoreStatus::Ok);
    ASSERT_EQ(
        file.AddEvent({1796968500000000000LL, SomeMark(0).board, "kalendo-cli time sync"}).status,
        StoreStatus::Ok);
    ASSERT_EQ(file.AddMark(SomeMark(1)).status, StoreStatus::Ok);
    ASSERT_TRUE(file.Load(&store).ok());
    ASSERT_EQ(store.marks.size(), 2u);
    EXPECT_EQ(store.marks[0].program, "test 0");
    EXPECT_EQ(store.marks[1].program, "test 1");
    ASSERT_EQ(store.events.size(), 1u);
    EXPECT_EQ(Contents(path_), FormatMarkStore(store));
    EXPECT_FALSE(fs::exists(path_ + ".tmp"));
}

// What cannot be read is left exactly as it is, whatever is added, with the reason.
TEST_F(MarkStoreFileTest, AStoreThatCannotBeReadIsNeverWrittenOver) {
    const MarkStoreFile file(path_);
    ASSERT_EQ(file.AddMark(SomeMark(0)).status, StoreStatus::Ok);
    const std::string cut = Contents(path_).substr(0, 200);  // a copy cut short
    const std::string newer = "kalendo mark store 7\nmark\nsomething: new\nend\n";
    for (const std::string& text : {cut, newer}) {
        SCOPED_TRACE(text.substr(0, 25));
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << text;
        MarkStore store;
        const StoreResult loaded = file.Load(&store);
        EXPECT_EQ(loaded.status, StoreStatus::Damaged);
        EXPECT_TRUE(store.marks.empty());
        const StoreResult added = file.AddMark(SomeMark(1));
        EXPECT_EQ(added.status, StoreStatus::Damaged);
        EXPECT_NE(added.message.find("the mark store \"" + path_ + "\" "), std::string::npos)
            << added.message;
        EXPECT_NE(
            added.message.find(text == cut ? "is damaged (line " : "written by a newer Kalendo"),
            std::string::npos)
            << added.message;
        EXPECT_NE(added.message.find("nothing was added"), std::string::npos) << added.message;
        EXPECT_EQ(file.AddEvent({1, SomeMark(1).board, "x"}).status, StoreStatus::Damaged);
        EXPECT_EQ(Contents(path_), text);
    }
}

TEST_F(MarkStoreFileTest, AFolderThatCannotBeMadeIsAFailureWithItsPath) {
    fs::create_directories(folder_);
    std::ofstream(folder_ / "Kalendo") << "a file where the folder should be";
    const MarkStoreFile file(path_);
    const StoreResult added = file.AddMark(SomeMark(0));
    EXPECT_EQ(added.status, StoreStatus::Failed);
    EXPECT_NE(added.message.find(path_), std::string::npos) << added.message;
    EXPECT_NE(added.message.find("nothing was added"), std::string::npos) << added.message;
    EXPECT_EQ(Contents((folder_ / "Kalendo").string()), "a file where the folder should be");
}

// Two programs adding at once (the window and kalendo-cli): the lock keeps every record.
TEST_F(MarkStoreFileTest, TwoWritersAtOnceLoseNothing) {
    const MarkStoreFile file(path_);
    const auto writer = [&](int first) {
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(file.AddMark(SomeMark(first + i)).status, StoreStatus::Ok);
    };
    std::thread a(writer, 0), b(writer, 100);
    a.join();
    b.join();
    MarkStore store;
    ASSERT_TRUE(file.Load(&store).ok());
    EXPECT_EQ(store.marks.size(), 40u);
}

}  // namespace
}  // namespace kalendo::marks
