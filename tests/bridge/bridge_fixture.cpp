#include "tests/bridge/bridge_fixture.h"

#include "bridge/bus_action.h"

namespace kalendo::testing {

void ResetBridgeState() {
    BridgeState& s = Bridge();
    while (s.timingRecords) FreeTimingRecord(s.timingRecords->channel);
    delete[] s.namePieceFirst;
    delete[] s.namePieceSecond;
    s = BridgeState{};
    FillWidthMask();
    ForgetEveryThreadsBoardSilence();
}

// On the virtual clock, so waits for the latency timer and the host's sleeps cost no real time.
void BridgeTest::SetUp() {
    Sim().Reset();
    Sim().Clock().UseVirtual(true);
    Sim().AttachSlave(&powerMonitorChip);
    Sim().AttachSlave(&rtcChip);
    InstallOsSeam(&os);
    ResetBridgeState();
}

void BridgeTest::TearDown() {
    DisconnectBridge();
    ResetBridgeState();
    InstallOsSeam(nullptr);
    Sim().Reset();
}

void BridgeTest::ConnectAndSelect(DeviceHandle h) {
    Connect();
    SelectDevice(h);
    OpenSelectedDevice();
    ASSERT_EQ(Bridge().BusStatus, 0);
    Sim().SetRecording(true);
    Sim().ClearRecording();
}

std::vector<std::string> BridgeTest::CallNames() const {
    std::vector<std::string> names;
    for (const auto& call : sim::Simulator().Calls()) names.push_back(call.name);
    return names;
}

int BridgeTest::CountCalls(const std::string& name) const {
    int n = 0;
    for (const auto& call : sim::Simulator().Calls()) n += call.name == name;
    return n;
}

std::vector<uint64_t> BridgeTest::ReadCounts() const {
    std::vector<uint64_t> counts;
    for (const auto& call : sim::Simulator().Calls()) {
        if (call.name == "FT_Read") counts.push_back(call.args.at(2));
    }
    return counts;
}

namespace expect {

namespace {
void Repeat(Bytes& b, std::initializer_list<uint8_t> phrase, int times) {
    for (int i = 0; i < times; ++i) b.insert(b.end(), phrase);
}
}  // namespace

Bytes Start() {
    Bytes b;
    Repeat(b, {0x80, 0x03, 0x03}, 23);
    Repeat(b, {0x80, 0x01, 0x03}, 20);
    Repeat(b, {0x80, 0x00, 0x03}, 15);
    return b;
}

Bytes Stop() {
    Bytes b;
    Repeat(b, {0x80, 0x00, 0x03}, 10);
    Repeat(b, {0x80, 0x01, 0x03}, 20);
    Repeat(b, {0x80, 0x03, 0x03}, 10);
    Repeat(b, {0x80, 0x03, 0x00}, 1);
    return b;
}

Bytes ByteOut(uint8_t v) {
    return {0x80, 0x02, 0x03, 0x13, 0x07, v, 0x80, 0x00, 0x01, 0x22, 0x00};
}

Bytes ByteIn(bool last) {
    if (last)
        return {0x80, 0x00, 0x01, 0x22, 0x07, 0x80, 0x02, 0x01, 0x13, 0x00, 0xFF, 0x80, 0x02, 0x01};
    return {0x80, 0x00, 0x01, 0x22, 0x07, 0x80, 0x00, 0x03, 0x13, 0x00, 0x00, 0x80, 0x02, 0x01};
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace expect

}  // namespace kalendo::testing
