// The stand-in library's entry points, called the way the program binds them: by name.
#include "sim/library/simulated_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "sim/library/ft_entry_points.h"
#include "tests/support/i2c_burst_builder.h"
#include "sim/bus/register_file_slave.h"

namespace kalendo::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// The entry points as the bridge layer sees them: looked up by the names it binds.
FtLibrary Bind() {
    FtLibrary ft{};
    void** slots = reinterpret_cast<void**>(&ft);
    static_assert(sizeof(FtLibrary) == kFtEntryPointCount * sizeof(void*));
    for (int i = 0; i < kFtEntryPointCount; ++i) {
        slots[i] = FindEntryPoint(kFtEntryPointNames[i]);
        EXPECT_NE(slots[i], nullptr) << kFtEntryPointNames[i];
    }
    return ft;
}

class SimulatedLibraryTest : public ::testing::Test {
  protected:
    // The virtual clock: a read waits for the latency timer or its time-out without real time
    // passing.
    void SetUp() override {
        Simulator().Reset();
        Simulator().Clock().UseVirtual(true);
        Simulator().AttachSlave(&chip);
        ft = Bind();
    }
    void TearDown() override { Simulator().Reset(); }

    FtHandle OpenEngine(int position = 0) {
        FtHandle h = nullptr;
        EXPECT_EQ(ft.Open(position, &h), kFtOk);
        EXPECT_EQ(ft.SetTimeouts(h, 5000, 5000), kFtOk);
        EXPECT_EQ(ft.SetBitMode(h, 0, 0), kFtOk);
        EXPECT_EQ(ft.SetBitMode(h, 0, 2), kFtOk);
        return h;
    }
    FtStatus Send(FtHandle h, const Bytes& bytes) {
        uint32_t written = 0;
        return ft.Write(h, bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
    }
    // Reads up to count bytes: all of them, or what came before the read time-out.
    Bytes Receive(FtHandle h, uint32_t count) {
        Bytes out(count);
        uint32_t read = 0;
        EXPECT_EQ(ft.Read(h, out.data(), count, &read), kFtOk);
        out.resize(read);
        return out;
    }
    std::vector<FtDeviceListNode> List() {
        uint32_t n = 0;
        EXPECT_EQ(ft.CreateDeviceInfoList(&n), kFtOk);
        std::vector<FtDeviceListNode> records(n);
        EXPECT_EQ(ft.GetDeviceInfoList(records.data(), &n), kFtOk);
        records.resize(n);
        return records;
    }

    FtLibrary ft{};
    RegisterFileSlave chip{0x32, 32};
};

TEST_F(SimulatedLibraryTest, UnknownNamesAreNotExported) {
    EXPECT_EQ(FindEntryPoint("FT_OpenEx"), nullptr);
    EXPECT_EQ(FindEntryPoint(""), nullptr);
    EXPECT_EQ(FindEntryPoint(nullptr), nullptr);
}

TEST_F(SimulatedLibraryTest, DefaultListIsOneUm232hThatOpensByPosition) {
    const auto records = List();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].type, 8u);
    EXPECT_EQ(records[0].locationId, 0x11u);
    EXPECT_STREQ(records[0].description, "UM232H");
    EXPECT_EQ(records[0].flags, 0u);

    FtHandle h = nullptr;
    EXPECT_EQ(ft.Open(1, &h), kFtDeviceNotFound);
    EXPECT_EQ(ft.Open(-1, &h), kFtDeviceNotFound);
    ASSERT_EQ(ft.Open(0, &h), kFtOk);
    FtHandle second = nullptr;
    EXPECT_EQ(ft.Open(0, &second), kFtDeviceNotOpened) << "already open";
    EXPECT_EQ(List()[0].flags & 1, 1u);

    uint32_t type = 0, id = 0;
    char serial[16], description[64];
    ASSERT_EQ(ft.GetDeviceInfo(h, &type, &id, serial, description, nullptr), kFtOk);
    EXPECT_EQ(type, 8u);
    EXPECT_STREQ(description, "UM232H");
    EXPECT_EQ(ft.Close(h), kFtOk);
    EXPECT_EQ(ft.Close(h), kFtInvalidHandle);
    EXPECT_EQ(ft.Purge(h, 3), kFtInvalidHandle);
}

TEST_F(SimulatedLibraryTest, OtherDevicesOpenWithAnEmptyBus) {
    Simulator().SetDeviceList({{6, 0x11, "Dual RS232-HS A", "A"},
                               {6, 0x12, "Dual RS232-HS B", "B"},
                               {8, 0x21, "UM232H", "C"}});
    const auto records = List();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_STREQ(records[1].description, "Dual RS232-HS B");
    EXPECT_EQ(records[2].locationId, 0x21u);

    for (int position : {0, 2}) {
        FtHandle h = OpenEngine(position);
        Bytes b = burst::Setup(true);
        const Bytes w = burst::RegisterWrite(0x32, 0x00, {0x5A});
        b.insert(b.end(), w.begin(), w.end());
        ASSERT_EQ(Send(h, b), kFtOk);
        const uint8_t expectedAck = position == 2 ? 0 : 1;
        EXPECT_EQ(Receive(h, 4), (Bytes(3, expectedAck))) << "position " << position;
        ft.Close(h);
    }
}

TEST_F(SimulatedLibraryTest, EngineCommandsOnlyAfterSerialEngineMode) {
    FtHandle h = nullptr;
    ASSERT_EQ(ft.Open(0, &h), kFtOk);
    ASSERT_EQ(Send(h, {0xAA}), kFtOk);
    EXPECT_TRUE(Receive(h, 1).empty());
    ASSERT_EQ(ft.SetBitMode(h, 0, 2), kFtOk);
    ASSERT_EQ(Send(h, {0xAA}), kFtOk);
    EXPECT_EQ(Receive(h, 3), (Bytes{0xFA, 0xAA}));

    Simulator().SetEngineEcho(false);
    ASSERT_EQ(Send(h, {0xAA, 0xAB}), kFtOk);
    EXPECT_TRUE(Receive(h, 1).empty());
}

// Bit mode 0 hands the pins back to the UART: TXD (SCL), RTS# (tied to SDA) and DTR# drive
// high, the high port is released, the engine stops; a later mode 2 starts from power-on.
TEST_F(SimulatedLibraryTest, BitModeZeroReturnsThePinsToTheUartAndModeTwoStartsClean) {
    FtHandle h = OpenEngine();
    Bytes b = burst::Setup(true);
    b.insert(b.end(), {0x80, 0x00, 0x03, 0x82, 0x08, 0x0B, 0x89});  // both low, FOUT gate, wait
    ASSERT_EQ(Send(h, b), kFtOk);
    SerialEngine& engine = *Simulator().BoardEngine();
    ASSERT_FALSE(Simulator().BoardBus().Scl());
    ASSERT_TRUE(engine.Waiting());

    ASSERT_EQ(ft.SetBitMode(h, 0, 0), kFtOk);
    EXPECT_TRUE(Simulator().BoardBus().Scl());
    EXPECT_TRUE(Simulator().BoardBus().Sda());
    EXPECT_EQ(engine.LowDirection(), 0x15);
    EXPECT_EQ(engine.LowValue() & 0x15, 0x15);
    EXPECT_EQ(engine.HighDirection(), 0x00);
    EXPECT_FALSE(engine.Waiting());
    ASSERT_EQ(Send(h, {0xAA}), kFtOk);
    EXPECT_TRUE(Receive(h, 2).empty()) << "UART bytes are not engine commands";

    ASSERT_EQ(ft.SetBitMode(h, 0, 2), kFtOk);
    EXPECT_EQ(engine.LowDirection(), 0x00);
    EXPECT_EQ(engine.ClockDivisor(), 0);
    EXPECT_FALSE(engine.ThreePhase());
    EXPECT_TRUE(engine.DivideBy5());
    ASSERT_EQ(Send(h, {0xAA}), kFtOk);
    EXPECT_EQ(Receive(h, 2), (Bytes{0xFA, 0xAA}));
}

TEST_F(SimulatedLibraryTest, UnplugFailsOpenHandlesUntilReopenedAfterPlugBack) {
    FtHandle h = OpenEngine();
    Simulator().Unplug();
    uint32_t waiting = 0, written = 0;
    EXPECT_EQ(ft.GetQueueStatus(h, &waiting), kFtIoError);
    EXPECT_EQ(ft.Write(h, "\xAA", 1, &written), kFtIoError);
    EXPECT_TRUE(List().empty());
    FtHandle again = nullptr;
    EXPECT_EQ(ft.Open(0, &again), kFtDeviceNotFound);

    Simulator().PlugBack();
    EXPECT_EQ(List().size(), 1u);
    EXPECT_EQ(ft.GetQueueStatus(h, &waiting), kFtIoError) << "the old handle stays dead";
    EXPECT_EQ(ft.Close(h), kFtIoError);
    FtHandle fresh = OpenEngine();
    ASSERT_EQ(Send(fresh, burst::Setup(true)), kFtOk);
    ASSERT_EQ(Send(fresh, burst::RegisterWrite(0x32, 0x02, {0x77})), kFtOk);
    EXPECT_EQ(Receive(fresh, 3), (Bytes{0, 0, 0}));
    EXPECT_EQ(chip.At(2), 0x77);
}

TEST_F(SimulatedLibraryTest, InjectedFaultsAndSilencedAddress) {
    Simulator().SetFailOpen(kFtDeviceNotOpened);
    FtHandle h = nullptr;
    EXPECT_EQ(ft.Open(0, &h), kFtDeviceNotOpened);
    Simulator().SetFailOpen(kFtOk);
    h = OpenEngine();

    Simulator().SetFailWrite(kFtIoError);
    uint32_t written = 99;
    const Bytes write = burst::RegisterWrite(0x32, 0x01, {0x42});
    EXPECT_EQ(ft.Write(h, write.data(), static_cast<uint32_t>(write.size()), &written), kFtIoError);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(chip.At(1), 0) << "nothing reached the bus";
    Simulator().SetFailWrite(kFtOk);

    Simulator().SetAddressAcknowledge(0x32, false);
    ASSERT_EQ(Send(h, burst::Setup(true)), kFtOk);
    ASSERT_EQ(Send(h, write), kFtOk);
    EXPECT_EQ(Receive(h, 3), (Bytes{1, 1, 1}));
    Simulator().SetAddressAcknowledge(0x32, true);
    ASSERT_EQ(Send(h, write), kFtOk);
    EXPECT_EQ(Receive(h, 3), (Bytes{0, 0, 0}));
}

// Short transfers come back FT_OK with fewer bytes, at the nth call from the moment they are set
// or at every call. Each row: the fault, then the bytes each of four calls moves (8 asked).
TEST_F(SimulatedLibraryTest, ShortTransfersAtTheNthCallOrEveryCall) {
    struct Row {
        const char* name;
        bool read;
        int64_t nth;
        std::vector<uint32_t> moved;
    };
    const Row rows[] = {
        {"no fault", true, 0, {8, 8, 8, 8}},      {"third read", true, 3, {8, 8, 4, 8}},
        {"every read", true, -1, {4, 4, 4, 4}},   {"first write", false, 1, {4, 8, 8, 8}},
        {"every write", false, -1, {4, 4, 4, 4}},
    };
    // Eight invalid opcodes answer sixteen bytes: enough for every read of a row.
    const Bytes eight(8, 0xAA);
    for (const Row& row : rows) {
        Simulator().Reset();
        Simulator().Clock().UseVirtual(true);
        FtHandle h = OpenEngine();
        if (row.read) {
            for (int i = 0; i < 4; ++i) ASSERT_EQ(Send(h, eight), kFtOk);
            Simulator().SetShortRead(row.nth);
        } else {
            Simulator().SetShortWrite(row.nth);
        }
        std::vector<uint32_t> moved;
        Bytes received;
        for (int i = 0; i < 4; ++i) {
            uint8_t buffer[8] = {};
            uint32_t n = 0;
            const FtStatus status =
                row.read ? ft.Read(h, buffer, 8, &n) : ft.Write(h, eight.data(), 8, &n);
            EXPECT_EQ(status, kFtOk) << row.name;
            moved.push_back(n);
            received.insert(received.end(), buffer, buffer + n);
        }
        EXPECT_EQ(moved, row.moved) << row.name;
        if (row.read) {
            // Nothing lost: what a short read left behind comes with the next read.
            for (size_t i = 0; i < received.size(); ++i) {
                EXPECT_EQ(received[i], i % 2 ? 0xAA : 0xFA) << row.name << " byte " << i;
            }
        } else {
            // Only what was written reached the engine: one answer pair per opcode.
            uint32_t total = 0;
            for (uint32_t n : moved) total += n;
            EXPECT_EQ(Receive(h, 64).size(), 2 * total) << row.name;
        }
    }
}

// A device open in another process: its record carries the open flag and nothing else, and
// FT_Open refuses it, while the other devices stay usable.
TEST_F(SimulatedLibraryTest, DeviceInUseElsewhereListsOnlyItsFlagsAndDoesNotOpen) {
    Simulator().SetDeviceList({{6, 0x11, "Dual RS232-HS A", "A"}, {8, 0x21, "UM232H", "C"}});
    Simulator().SetInUse(1, true);
    const auto records = List();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].flags, 1u);
    EXPECT_EQ(records[1].type, 0u);
    EXPECT_EQ(records[1].id, 0u);
    EXPECT_EQ(records[1].locationId, 0u);
    EXPECT_STREQ(records[1].serialNumber, "");
    EXPECT_STREQ(records[1].description, "");
    EXPECT_EQ(records[1].handle, nullptr);
    EXPECT_STREQ(records[0].description, "Dual RS232-HS A") << "the other device is listed";

    FtHandle h = reinterpret_cast<FtHandle>(1);
    EXPECT_EQ(ft.Open(1, &h), kFtDeviceNotOpened);
    EXPECT_EQ(h, nullptr);
    ASSERT_EQ(ft.Open(0, &h), kFtOk);
    ft.Close(h);

    Simulator().SetInUse(1, false);
    EXPECT_STREQ(List()[1].description, "UM232H");
    ASSERT_EQ(ft.Open(1, &h), kFtOk);
}

// A slow device: its answers reach the host the set delay later, at the latency timer's next
// expiry after that.
TEST_F(SimulatedLibraryTest, AnswerDelayHoldsTheBoardsAnswers) {
    for (uint32_t delayMs : {0u, 7u, 40u}) {
        Simulator().Reset();
        Simulator().Clock().UseVirtual(true);
        Simulator().SetAnswerDelayMs(delayMs);
        FtHandle h = OpenEngine();
        ASSERT_EQ(ft.SetLatencyTimer(h, 2), kFtOk);
        const int64_t start = Simulator().Clock().NowMicros();
        ASSERT_EQ(Send(h, {0xAA}), kFtOk);
        EXPECT_EQ(Receive(h, 2), (Bytes{0xFA, 0xAA})) << delayMs;
        const int64_t waited = Simulator().Clock().NowMicros() - start;
        EXPECT_GE(waited, int64_t{delayMs} * 1000) << delayMs;
        EXPECT_LE(waited, int64_t{delayMs} * 1000 + 2000) << delayMs;
    }
}

TEST_F(SimulatedLibraryTest, RecorderKeepsCallsAndWrittenBytes) {
    Simulator().SetRecording(true);
    FtHandle h = OpenEngine();
    const Bytes write = burst::RegisterWrite(0x32, 0x0F, {0x05});
    ASSERT_EQ(Send(h, write), kFtOk);
    ft.Purge(h, 3);

    const auto calls = Simulator().Calls();
    std::vector<std::string> names;
    for (const auto& c : calls) names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"FT_Open", "FT_SetTimeouts", "FT_SetBitMode",
                                               "FT_SetBitMode", "FT_Write", "FT_Purge"}));
    EXPECT_EQ(calls[3].args[2], 2u) << "mode of the second FT_SetBitMode";
    EXPECT_EQ(calls[4].args[2], write.size());
    EXPECT_EQ(calls[5].args[1], 3u);
    ASSERT_EQ(Simulator().Writes().size(), 1u);
    EXPECT_EQ(Simulator().Writes()[0], write);
}

// When answers reach the host: at the latency timer's next expiry after they were produced (the
// timer runs from the open, or from FT_SetLatencyTimer, and restarts at every send), at once
// when a full packet of 510 bytes waits, or one USB round trip (250 us) after a send-immediate. Each row: latency
// (0: the library's 16 ms), virtual time passing before the write, the bytes written, the
// bytes read, and when the last of them arrives, in microseconds after the latency was set.
TEST_F(SimulatedLibraryTest, AnswersArriveAtTheLatencyTimerAFullPacketOrSendImmediate) {
    struct Row {
        const char* name;
        uint8_t latencyMs;
        int64_t idleUs;
        Bytes bytes;
        uint32_t read;
        int64_t arrivesFromUs;
        int64_t arrivesToUs;
    };
    const Bytes fullPacket(255, 0xAA);  // 510 answer bytes
    Bytes packetAndOne = fullPacket;
    packetAndOne.push_back(0xAB);
    const Row rows[] = {
        {"default latency", 0, 0, {0xAA}, 2, 16'000, 16'000},
        {"2 ms latency", 2, 0, {0xAA}, 2, 2'000, 2'000},
        {"produced between expiries", 2, 2'500, {0xAA}, 2, 4'000, 4'000},
        {"send immediate", 16, 0, {0xAA, 0x87}, 2, 250, 255},
        {"full packet", 16, 0, fullPacket, 510, 0, 200},
        {"after a full packet the timer restarts", 16, 0, packetAndOne, 512, 16'000, 16'200},
    };
    for (const Row& row : rows) {
        Simulator().Reset();
        Simulator().Clock().UseVirtual(true);
        FtHandle h = OpenEngine();
        const int64_t start = Simulator().Clock().NowMicros();
        if (row.latencyMs) {
            ASSERT_EQ(ft.SetLatencyTimer(h, row.latencyMs), kFtOk);
        }
        Simulator().Clock().AdvancePs(row.idleUs * 1'000'000);
        ASSERT_EQ(Send(h, row.bytes), kFtOk);
        EXPECT_EQ(Receive(h, row.read).size(), row.read) << row.name;
        const int64_t arrived = Simulator().Clock().NowMicros() - start;
        EXPECT_GE(arrived, row.arrivesFromUs) << row.name;
        EXPECT_LE(arrived, row.arrivesToUs) << row.name;
    }
}

// A send-immediate's answer arrives one USB round trip after the engine ran the command; a
// latency-timer send that falls inside the round trip waits behind it, as the pipe keeps order.
TEST_F(SimulatedLibraryTest, SendImmediateAnswersArriveAfterTheUsbRoundTrip) {
    for (uint32_t roundTripUs : {0u, 250u, 3000u}) {
        Simulator().Reset();
        Simulator().Clock().UseVirtual(true);
        Simulator().SetUsbRoundTripUs(roundTripUs);
        FtHandle h = OpenEngine();
        ASSERT_EQ(ft.SetLatencyTimer(h, 1), kFtOk);
        const int64_t start = Simulator().Clock().NowMicros();
        ASSERT_EQ(Send(h, {0xAA, 0x87, 0xAB}), kFtOk);
        EXPECT_EQ(Receive(h, 2), (Bytes{0xFA, 0xAA})) << roundTripUs;
        const int64_t arrived = Simulator().Clock().NowMicros() - start;
        EXPECT_GE(arrived, int64_t{roundTripUs}) << roundTripUs;
        EXPECT_LE(arrived, int64_t{roundTripUs} + 5) << roundTripUs;
        EXPECT_EQ(Receive(h, 2), (Bytes{0xFA, 0xAB})) << roundTripUs;
        EXPECT_GE(Simulator().Clock().NowMicros() - start, std::max<int64_t>(roundTripUs, 1000))
            << "the timer's send does not overtake the round trip";
    }
}

// The queue status counts what has arrived, not what the engine has produced. On the virtual
// clock each poll while the chip holds answers stands for up to 1 ms; on the real clock the
// answer comes after the latency timer by itself.
TEST_F(SimulatedLibraryTest, QueueStatusCountsOnlyArrivedBytes) {
    FtHandle h = OpenEngine();
    ASSERT_EQ(ft.SetLatencyTimer(h, 5), kFtOk);
    ASSERT_EQ(Send(h, {0xAA, 0xAB}), kFtOk);
    std::vector<uint32_t> polls;
    for (int i = 0; i < 7; ++i) {
        uint32_t waiting = 99;
        ASSERT_EQ(ft.GetQueueStatus(h, &waiting), kFtOk);
        polls.push_back(waiting);
    }
    EXPECT_EQ(polls, (std::vector<uint32_t>{0, 0, 0, 0, 0, 4, 4}));

    Simulator().Clock().UseVirtual(false);
    ASSERT_EQ(Send(h, {0xAA}), kFtOk);
    uint32_t waiting = 0;
    ASSERT_EQ(ft.GetQueueStatus(h, &waiting), kFtOk);
    EXPECT_EQ(waiting, 4u) << "the new answer has not arrived yet";
    std::this_thread::sleep_for(std::chrono::milliseconds(12));
    ASSERT_EQ(ft.GetQueueStatus(h, &waiting), kFtOk);
    EXPECT_EQ(waiting, 6u);
}

// FT_Read waits until its count has arrived or its time-out has passed, then returns FT_OK with
// what there is: on the virtual clock without real waiting, on the real clock for real.
TEST_F(SimulatedLibraryTest, ReadWaitsForItsCountOrTheTimeOut) {
    struct Row {
        const char* name;
        bool virtualClock;
        uint32_t timeoutMs;
        uint32_t asked;
        uint32_t got;
        int64_t tookFromMs;  // on the board's clock
        int64_t tookToMs;
    };
    const Row rows[] = {
        {"count arrives at the latency timer", true, 5000, 2, 2, 2, 2},
        {"more than comes: short at the time-out", true, 5000, 8, 2, 5000, 5000},
        {"short time-out", true, 1, 2, 0, 1, 1},
        {"real clock: count arrives", false, 1000, 2, 2, 1, 100},
        {"real clock: short at the time-out", false, 40, 8, 2, 40, 400},
    };
    for (const Row& row : rows) {
        Simulator().Reset();
        Simulator().Clock().UseVirtual(row.virtualClock);
        FtHandle h = OpenEngine();
        ASSERT_EQ(ft.SetTimeouts(h, row.timeoutMs, row.timeoutMs), kFtOk);
        ASSERT_EQ(ft.SetLatencyTimer(h, 2), kFtOk);
        const int64_t start = Simulator().Clock().NowMicros();
        ASSERT_EQ(Send(h, {0xAA}), kFtOk);
        uint8_t buffer[8] = {};
        uint32_t read = 99;
        ASSERT_EQ(ft.Read(h, buffer, row.asked, &read), kFtOk) << row.name;
        const int64_t tookUs = Simulator().Clock().NowMicros() - start;
        EXPECT_EQ(read, row.got) << row.name;
        EXPECT_GE(tookUs, row.tookFromMs * 1000) << row.name;
        EXPECT_LE(tookUs, row.tookToMs * 1000 + 10) << row.name;
    }
}

TEST_F(SimulatedLibraryTest, BadArgumentsAreRefusedNotFollowed) {
    FtHandle h = OpenEngine();
    EXPECT_EQ(ft.CreateDeviceInfoList(nullptr), kFtInvalidParameter);
    EXPECT_EQ(ft.Open(0, nullptr), kFtInvalidParameter);
    EXPECT_EQ(ft.Read(h, nullptr, 4, nullptr), kFtInvalidParameter);
    EXPECT_EQ(ft.Write(h, nullptr, 4, nullptr), kFtInvalidParameter);
    uint32_t capacity = 0;
    FtDeviceListNode none{};
    EXPECT_EQ(ft.GetDeviceInfoList(&none, &capacity), kFtOk);
    EXPECT_EQ(capacity, 0u) << "no room: nothing written";
}

}  // namespace
}  // namespace kalendo::sim
