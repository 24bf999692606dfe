// The device-list record as the library lays it out: the program's declaration must match it
// byte for byte in either width, or every record after the first is read at the wrong place.
#include <gtest/gtest.h>

#include <cstddef>

#include "bridge/ft_library.h"

namespace kalendo::testing {
namespace {

TEST(DeviceListRecordTest, FieldsSitWhereTheLibraryWritesThemInThisWidth) {
    struct Field {
        const char* name;
        size_t offset;
        size_t size;
        size_t expectedOffset;
        size_t expectedSize;
    };
    const Field fields[] = {
        {"flags", offsetof(FtDeviceListNode, flags), sizeof(FtDeviceListNode::flags), 0, 4},
        {"type", offsetof(FtDeviceListNode, type), sizeof(FtDeviceListNode::type), 4, 4},
        {"id", offsetof(FtDeviceListNode, id), sizeof(FtDeviceListNode::id), 8, 4},
        {"locationId", offsetof(FtDeviceListNode, locationId),
         sizeof(FtDeviceListNode::locationId), 12, 4},
        {"serialNumber", offsetof(FtDeviceListNode, serialNumber),
         sizeof(FtDeviceListNode::serialNumber), 16, 16},
        {"description", offsetof(FtDeviceListNode, description),
         sizeof(FtDeviceListNode::description), 32, 64},
        {"handle", offsetof(FtDeviceListNode, handle), sizeof(FtDeviceListNode::handle), 96,
         sizeof(void*)},
    };
    for (const Field& f : fields) {
        EXPECT_EQ(f.offset, f.expectedOffset) << f.name;
        EXPECT_EQ(f.size, f.expectedSize) << f.name;
    }
}

TEST(DeviceListRecordTest, RecordIs100BytesIn32BitAnd104In64Bit) {
    // 96 bytes of fixed fields and the handle; in 64 bits the handle already sits on an
    // 8-byte boundary, so no padding comes between.
    const size_t expected = sizeof(void*) == 4 ? 100 : 104;
    EXPECT_EQ(sizeof(FtDeviceListNode), expected);
}

}  // namespace
}  // namespace kalendo::testing
