// The bus mutex as a lock file (Linux): another holder of the file's lock keeps it for the whole
// time-out, the holder's end (its file closed, as at its death) frees it at once, and within
// one process it behaves as the Win32 mutex the bridge layer was written for.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bridge/lock_file_mutex.h"

namespace kalendo {
namespace {

namespace fs = std::filesystem;

class LockFileMutexTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("kalendo-lock-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string Folder() const { return folder_.string(); }
    std::string File() const { return (folder_ / "RTCFTDIBRIDGEMutex0.lock").string(); }

    // Milliseconds a wait took.
    template <typename Fn>
    static double Timed(Fn fn) {
        const auto start = std::chrono::steady_clock::now();
        fn();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    }

  private:
    fs::path folder_;
};

TEST_F(LockFileMutexTest, AnotherHolderKeepsItUntilItsFileIsClosed) {
    LockFileMutex* mutex = OpenLockFileMutex(Folder(), "RTCFTDIBRIDGEMutex0");
    ASSERT_NE(mutex, nullptr);
    // Any user may open the file to lock it: the plugdev group shares it.
    struct stat st {};
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0664u);

    // Another process's lock: a file of its own on the same path (flock is per open file).
    const int other = ::open(File().c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    MutexWait wait = MutexWait::Failed;
    const double waited = Timed([&] { wait = WaitLockFileMutex(mutex, 150); });
    EXPECT_EQ(wait, MutexWait::TimedOut);
    EXPECT_GE(waited, 140);

    // The holder dies: the kernel closes its file, and with it goes the lock.
    std::thread holderDies([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::close(other);
    });
    const double taken = Timed([&] { wait = WaitLockFileMutex(mutex, 5000); });
    holderDies.join();
    EXPECT_EQ(wait, MutexWait::Acquired);
    EXPECT_LT(taken, 1000);

    // While this process holds it, another open file cannot lock it.
    const int third = ::open(File().c_str(), O_RDONLY);
    EXPECT_NE(::flock(third, LOCK_EX | LOCK_NB), 0);
    ReleaseLockFileMutex(mutex);
    EXPECT_EQ(::flock(third, LOCK_EX | LOCK_NB), 0);
    ::close(third);
    CloseLockFileMutex(mutex);
}

TEST_F(LockFileMutexTest, WithinOneProcessItIsAThreadOwnedRecursiveMutex) {
    // Two handles of one name, as two connects make: one lock, so they never shut each other out.
    LockFileMutex* first = OpenLockFileMutex(Folder(), "RTCFTDIBRIDGEMutex0");
    LockFileMutex* second = OpenLockFileMutex(Folder(), "RTCFTDIBRIDGEMutex0");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(WaitLockFileMutex(first, 100), MutexWait::Acquired);
    ASSERT_EQ(WaitLockFileMutex(second, 100), MutexWait::Acquired);  // the owner again

    std::atomic<int> otherThread{-1};
    const auto tryFromAnotherThread = [&](uint32_t timeoutMs) {
        std::thread t([&] {
            const MutexWait w = WaitLockFileMutex(first, timeoutMs);
            otherThread = static_cast<int>(w);
            if (w == MutexWait::Acquired) ReleaseLockFileMutex(first);
        });
        t.join();
    };
    tryFromAnotherThread(50);
    EXPECT_EQ(otherThread, static_cast<int>(MutexWait::TimedOut));
    // Another thread's release changes nothing, as ReleaseMutex refuses it.
    std::thread([&] { ReleaseLockFileMutex(first); }).join();
    ReleaseLockFileMutex(second);  // one of the owner's two waits released: still held
    tryFromAnotherThread(50);
    EXPECT_EQ(otherThread, static_cast<int>(MutexWait::TimedOut));
    ReleaseLockFileMutex(first);
    tryFromAnotherThread(50);
    EXPECT_EQ(otherThread, static_cast<int>(MutexWait::Acquired));
    CloseLockFileMutex(second);
    CloseLockFileMutex(first);
}

TEST_F(LockFileMutexTest, UnusableNamesAndFoldersGiveNoMutex) {
    EXPECT_EQ(OpenLockFileMutex(Folder(), "../RTCFTDIBRIDGEMutex0"), nullptr);
    EXPECT_EQ(OpenLockFileMutex(Folder(), ""), nullptr);
    EXPECT_EQ(OpenLockFileMutex(Folder() + "/missing", "RTCFTDIBRIDGEMutex0"), nullptr);
    EXPECT_EQ(WaitLockFileMutex(nullptr, 10), MutexWait::Failed);
    EXPECT_EQ(LockFileFolder(Folder()), Folder());
}

}  // namespace
}  // namespace kalendo
