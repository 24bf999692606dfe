#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "rtc/model_file.h"

namespace kalendo {
namespace {

namespace fs = std::filesystem;

// Twelve comma-ended fields whose texts say which record and field they are: "r1f3,".
std::string Record(int r) {
    std::string text;
    for (int f = 0; f < kModelFieldCount; ++f) {
        text += "r" + std::to_string(r) + "f" + std::to_string(f) + ",";
    }
    return text;
}

std::string Field(int r, int f) {
    return "r" + std::to_string(r) + "f" + std::to_string(f);
}

const char kSentinel[] = "kept from before";

// Writes a model file into a fresh directory and reads it with both readers, starting from a
// table and names that hold a sentinel, so that what a reader leaves alone is visible.
class ModelFileTest : public testing::Test {
  protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               (std::string("kalendo_model_") + info->name() + "_" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(dir_);
        path_ = (dir_ / "rtc_model_info.txt").string();
        for (ModelInfo& record : table_) record.fields.fill(kSentinel);
        names_.fill(kSentinel);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    void WriteFile(const std::string& bytes) {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        ASSERT_EQ(std::fclose(f), 0);
    }

    void ReadBoth() {
        namesResult_ = LoadModelNames(names_, modelCount_, path_.c_str());
        opened_ = ReadModelInfo(table_, path_.c_str());
    }

    fs::path dir_;
    std::string path_;
    ModelTableArray table_;
    std::array<std::string, kModelTableSize> names_;
    int32_t modelCount_ = -1;
    ModelNamesResult namesResult_;
    bool opened_ = false;
};

TEST_F(ModelFileTest, CountOnItsOwnLineOrFollowedByAnyOneCharacter) {
    for (const std::string separator : {"\n", " ", "\r\n", "x"}) {
        SCOPED_TRACE(testing::PrintToString(separator));
        WriteFile("2" + separator + Record(0) + Record(1) + "\n");
        ReadBoth();
        EXPECT_TRUE(namesResult_.fileOpened);
        EXPECT_EQ(namesResult_.declaredCount, 2);
        ASSERT_EQ(modelCount_, 2);
        EXPECT_EQ(names_[0], "r0f0");
        EXPECT_EQ(names_[1], "r1f0");
        EXPECT_EQ(names_[2], kSentinel);
        EXPECT_TRUE(opened_);
        for (int r = 0; r < 2; ++r) {
            for (int f = 0; f < kModelFieldCount; ++f) EXPECT_EQ(table_[r].fields[f], Field(r, f));
        }
        EXPECT_EQ(table_[2].fields[0], kSentinel);
    }
}

TEST_F(ModelFileTest, LineBreakBetweenRecordsStartsTheNextName) {
    WriteFile("2\r\nNovar TQ5100" + Record(0).substr(4) + "\r\nNovar TQ5200" + Record(1).substr(4));
    ReadBoth();
    ASSERT_EQ(modelCount_, 2);
    EXPECT_EQ(names_[0], "Novar TQ5100");
    EXPECT_EQ(names_[1], "\nNovar TQ5200");  // a CRLF pair reads as one line feed
    EXPECT_EQ(table_[1].fields[0], "\nNovar TQ5200");
    EXPECT_EQ(table_[1].fields[11], "r1f11");
}

TEST_F(ModelFileTest, FourRecordsDeclaredKeepsTheFirstThree) {
    WriteFile("4\n" + Record(0) + Record(1) + Record(2) + Record(3));
    ReadBoth();
    EXPECT_EQ(namesResult_.declaredCount, 4);
    ASSERT_EQ(modelCount_, 3);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(names_[r], Field(r, 0));
        EXPECT_EQ(table_[r].fields[11], Field(r, 11));
    }
}

TEST_F(ModelFileTest, FieldsAreStoredUntrimmedAndMayBeEmpty) {
    WriteFile("1\n Novar TQ5100 ,,a b\tc,;:!\"',,,,,,,,  ,trailing");
    ReadBoth();
    ASSERT_EQ(modelCount_, 1);
    const std::array<std::string, kModelFieldCount> expected = {
        " Novar TQ5100 ", "", "a b\tc", ";:!\"'", "", "", "", "", "", "", "", "  "};
    EXPECT_EQ(table_[0].fields, expected);
    EXPECT_EQ(names_[0], " Novar TQ5100 ");
}

TEST_F(ModelFileTest, OnlyCarriageReturnLineFeedPairsBecomeLineFeedsALoneCarriageReturnStays) {
    // A lone CR, two CRs before a LF (the first stays), and a CR as the file's last byte.
    WriteFile("1\r\nNovar\rTQ5100,a\r\r\nb," + Record(0).substr(10) + "\r");
    ReadBoth();
    ASSERT_EQ(modelCount_, 1);
    EXPECT_EQ(names_[0], "Novar\rTQ5100");
    EXPECT_EQ(table_[0].fields[0], "Novar\rTQ5100");
    EXPECT_EQ(table_[0].fields[1], "a\r\nb");
    EXPECT_EQ(table_[0].fields[2], "r0f2");
    EXPECT_EQ(table_[0].fields[11], "r0f11");
}

TEST_F(ModelFileTest, MissingFileChangesNothing) {
    path_ = (dir_ / "absent.txt").string();
    ReadBoth();
    EXPECT_FALSE(namesResult_.fileOpened);
    EXPECT_FALSE(opened_);
    EXPECT_EQ(modelCount_, 0);
    EXPECT_EQ(names_[0], kSentinel);
    EXPECT_EQ(table_[0].fields[0], kSentinel);
}

TEST_F(ModelFileTest, NegativeMissingOrEmptyCountTakesNoRecord) {
    struct Case {
        const char* head;
        int32_t declared;
    };
    const Case cases[] = {{"-1\n", -1}, {"0\n", 0}, {"Novar,", 0}, {"", 0}, {"-\n", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.head);
        WriteFile(c.head + Record(0));
        ReadBoth();
        EXPECT_TRUE(namesResult_.fileOpened);
        EXPECT_EQ(namesResult_.declaredCount, c.declared);
        EXPECT_EQ(modelCount_, 0);
        EXPECT_EQ(names_[0], kSentinel);
        EXPECT_EQ(table_[0].fields[0], kSentinel);
    }
}

// With fewer records than declared, the field after the last comma runs to the end of the text,
// and the next starts again at the character after the count.
TEST_F(ModelFileTest, MoreRecordsDeclaredThanPresentRunsOnFromTheStart) {
    WriteFile("3\n" + Record(0) + Record(1) + "\n");
    ReadBoth();
    ASSERT_EQ(modelCount_, 3);
    std::array<std::string, kModelFieldCount> expected;
    expected[0] = "\n";
    expected[1] = "\nr0f0";
    for (int f = 2; f < kModelFieldCount; ++f) expected[f] = Field(0, f - 1);
    EXPECT_EQ(table_[2].fields, expected);
    EXPECT_EQ(names_[2], "\n");
}

TEST_F(ModelFileTest, CountAtTheEndOfTheFileGivesEmptyFields) {
    WriteFile("2");
    ReadBoth();
    ASSERT_EQ(modelCount_, 2);
    for (int r = 0; r < 2; ++r) {
        for (const std::string& field : table_[r].fields) EXPECT_EQ(field, "");
    }
}

// The readers stop after the records they keep, so a huge count cannot make start-up hang.
TEST_F(ModelFileTest, HugeCountReadsOnlyTheKeptRecords) {
    struct Case {
        const char* count;
        int32_t declared;  // beyond the 32-bit range the count saturates
    };
    const Case cases[] = {{"2000000000", 2000000000}, {"99999999999999999999", 2147483647}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        WriteFile(std::string(c.count) + "\n" + Record(0) + Record(1) + Record(2) + Record(3));
        const auto start = std::chrono::steady_clock::now();
        ReadBoth();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(namesResult_.declaredCount, c.declared);
        ASSERT_EQ(modelCount_, 3);
        EXPECT_EQ(table_[2].fields[11], "r2f11");
    }
}

TEST(ModelFile, ShippedFileDescribesBothModels) {
    ModelTableArray table;
    ASSERT_TRUE(ReadModelInfo(table, KALENDO_SHIPPED_MODEL_FILE));
    std::array<std::string, kModelTableSize> names;
    int32_t count = 0;
    LoadModelNames(names, count, KALENDO_SHIPPED_MODEL_FILE);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(names[0], "Novar TQ5100");
    EXPECT_EQ(names[1], "Novar TQ5200");
    for (int r = 0; r < 2; ++r) {
        for (const std::string& field : table[r].fields) {
            EXPECT_FALSE(field.empty());
            EXPECT_EQ(field.find('\n'), std::string::npos) << field;
        }
    }
}

}  // namespace
}  // namespace kalendo
