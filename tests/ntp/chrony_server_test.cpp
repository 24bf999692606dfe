// The NTP client against a real server: Debian's chronyd, started by the test on a free
// loopback port with a configuration of its own (serving the local clock at stratum 1, no
// command port, no control of the system clock, its files in a temporary folder), and stopped
// at the end. chronyd serves this machine's own system clock, so the true offset is zero.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "ntp/ntp_burst.h"

namespace kalendo::ntp {
namespace {

namespace fs = std::filesystem;

constexpr char kFolderPrefix[] = "kalendo-chrony-";

std::string ChronydPath() {
    for (const char* p : {"/usr/sbin/chronyd", "/sbin/chronyd", "/usr/bin/chronyd"}) {
        if (access(p, X_OK) == 0) return p;
    }
    return "";
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A chronyd of an earlier run whose test was killed before it could stop it (the parent-death
// signal normally takes it along): its folder names the test's process, which is gone; it is
// found by the pid file there, and stopped only when that process is a chronyd started with
// that folder's configuration. The folders of runs still going are left alone.
void StopLeftovers() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kFolderPrefix, 0) != 0) continue;
        const int owner = std::atoi(name.c_str() + sizeof kFolderPrefix - 1);
        if (owner > 0 && fs::exists("/proc/" + std::to_string(owner))) continue;
        const int pid = std::atoi(FileText(entry.path() / "chronyd.pid").c_str());
        if (pid > 1) {
            std::string command = FileText("/proc/" + std::to_string(pid) + "/cmdline");
            for (char& c : command) c = c == '\0' ? ' ' : c;
            if (command.find("chronyd") != std::string::npos &&
                command.find((entry.path() / "chrony.conf").string()) != std::string::npos) {
                kill(pid, SIGKILL);
            }
        }
        fs::remove_all(entry.path(), ec);
    }
}

// A port no one uses now: the system's choice for a socket bound to port 0.
uint16_t FreeLoopbackPort() {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
    close(s);
    return ntohs(a.sin_port);
}

class ChronyServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string chronyd = ChronydPath();
        ASSERT_FALSE(chronyd.empty()) << "chronyd not found: tools/install-deps.sh installs chrony";
        StopLeftovers();
        folder_ = fs::temp_directory_path() /
                  (kFolderPrefix + std::to_string(getpid()) + "-" +
                   std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(folder_);
        port_ = FreeLoopbackPort();
        const std::string conf = (folder_ / "chrony.conf").string();
        std::ofstream(conf) << "port " << port_ << "\n"
                            << "cmdport 0\n"
                            << "bindcmdaddress /\n"  // no Unix command socket either
                            << "local stratum 1\n"
                            << "allow 127.0.0.1\n"
                            << "pidfile " << (folder_ / "chronyd.pid").string() << "\n"
                            << "driftfile " << (folder_ / "drift").string() << "\n"
                            << "logdir " << folder_.string()
                            << "\n"
                            // Kept as the user it starts as, so it can write its folder and
                            // the parent-death signal below survives.
                            << (geteuid() == 0 ? "user root\n" : "");
        const std::string log = (folder_ / "chronyd.log").string();
        pid_ = fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            // Dies with the test, should the test be killed before it stops the server.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            std::freopen(log.c_str(), "w", stdout);
            std::freopen(log.c_str(), "a", stderr);
            // -x: never touch the system clock; -d: stay in the foreground, this process's child.
            if (geteuid() == 0) {
                execl(chronyd.c_str(), "chronyd", "-x", "-d", "-f", conf.c_str(), nullptr);
            } else {
                execl(chronyd.c_str(), "chronyd", "-x", "-d", "-U", "-f", conf.c_str(), nullptr);
            }
            _exit(127);
        }
    }

    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            if (waitpid(pid_, &status, WNOHANG) == 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
            }
        }
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    // Asks until chronyd answers (it takes a moment to start), at most 5 s.
    bool WaitForServer() {
        NtpBurstSettings one;
        one.exchanges = 1;
        one.timeoutSeconds = 0.2;
        for (int i = 0; i < 25; ++i) {
            if (MeasureNtpOffset(SystemUdpNetwork(), {"127.0.0.1", port_}, SystemNtpClocks(), one)
                    .valid) {
                return true;
            }
            // Until it listens, the closed port answers at once.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return false;
    }

    fs::path folder_;
    uint16_t port_ = 0;
    pid_t pid_ = -1;
};

TEST_F(ChronyServerTest, TheReferenceErrorIsUnderAMillisecond) {
    ASSERT_TRUE(WaitForServer()) << FileText(folder_ / "chronyd.log");
    NtpBurstSettings burst;
    burst.exchanges = 4;
    burst.spacingSeconds = 0.2;
    const NtpMeasurement m =
        MeasureNtpOffset(SystemUdpNetwork(), {"127.0.0.1", port_}, SystemNtpClocks(), burst);
    ASSERT_TRUE(m.valid) << m.error;
    EXPECT_EQ(m.answers, 4);
    EXPECT_EQ(m.best.stratum, 1);
    // The server serves this very clock: the true offset is 0, and the bound must hold it.
    EXPECT_LE(std::abs(m.best.offsetSeconds), m.best.boundSeconds);
    EXPECT_LT(m.best.boundSeconds, 0.001);
    std::printf(
        "chronyd on the loopback: offset %+.1f us, bound %.1f us (delay %.1f us, "
        "root delay %.1f us, root dispersion %.1f us, server precision %.2f us)\n",
        m.best.offsetSeconds * 1e6, m.best.boundSeconds * 1e6, m.best.delaySeconds * 1e6,
        m.best.rootDelaySeconds * 1e6, m.best.rootDispersionSeconds * 1e6,
        m.best.serverPrecisionSeconds * 1e6);
}

}  // namespace
}  // namespace kalendo::ntp
