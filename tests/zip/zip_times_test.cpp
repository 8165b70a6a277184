// CRC-32, entry names and entry times: the container's fixed rules.
#include <gtest/gtest.h>

#include "zip_crc32.h"
#include "zip_entry_name.h"
#include "zip_test_support.h"
#include "zip_times.h"

namespace {

constexpr FileTime kTicksPerSecond = 10000000;

FileTime AtUnix(std::int64_t seconds) {
    return static_cast<FileTime>(seconds + 11644473600LL) * kTicksPerSecond;
}

std::uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
    return (static_cast<std::uint32_t>(((year - 1980) << 9) | (month << 5) | day) << 16) |
           static_cast<std::uint32_t>((hour << 11) | (minute << 5) | (second / 2));
}

// Entry times read the TZ variable; each case sets its own zone.
class ZipTimesTest : public ::testing::Test {
protected:
    void TearDown() override { SetTimeZone("UTC0"); }
};

} // namespace

TEST(ZipCrc32Test, KnownValuesAndRunningUpdate) {
    const std::uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(0xCBF43926u, Crc32Update(0, digits, 9));
    EXPECT_EQ(0u, Crc32Update(0, digits, 0));
    std::uint32_t running = Crc32Update(0, digits, 4);
    EXPECT_EQ(0xCBF43926u, Crc32Update(running, digits + 4, 5));
    const std::uint8_t zeros[4] = {};
    EXPECT_EQ(0x2144DF1Cu, Crc32Update(0, zeros, 4));
}

TEST(ZipCrc32Test, AgreesWithTheBitwiseDefinitionAtEveryLengthAndSplit) {
    std::string noise = SampleNoise(300, 17);
    const std::uint8_t* bytes = reinterpret_cast<const std::uint8_t*>(noise.data());
    auto bitwise = [](const std::uint8_t* data, std::size_t length) {
        std::uint32_t crc = 0xFFFFFFFFu;
        for (std::size_t i = 0; i < length; ++i) {
            crc ^= data[i];
            for (int k = 0; k < 8; ++k) {
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
            }
        }
        return ~crc;
    };
    for (std::size_t length = 0; length <= 300; length += 7) {
        std::uint32_t expected = bitwise(bytes, length);
        EXPECT_EQ(expected, Crc32Update(0, bytes, length)) << length;
        std::size_t split = length / 3;
        EXPECT_EQ(expected,
                  Crc32Update(Crc32Update(0, bytes, split), bytes + split, length - split))
            << length;
    }
}

TEST(ZipEntryNameTest, SlashesFolderMarkAndCapacity) {
    char field[kZipNameCapacity];
    EXPECT_EQ(12u, MakeEntryName("DATA\\LOG.ZIP", false, field));
    EXPECT_STREQ("DATA/LOG.ZIP", field);
    EXPECT_EQ(5u, MakeEntryName("logs", true, field));
    EXPECT_STREQ("logs/", field);
    EXPECT_EQ(5u, MakeEntryName("logs\\", true, field));
    EXPECT_STREQ("logs/", field);
    EXPECT_EQ(0u, MakeEntryName("", false, field));
    EXPECT_EQ(0u, MakeEntryName(nullptr, true, field));
    EXPECT_EQ(259u, MakeEntryName(std::string(259, 'a').c_str(), false, field));
    EXPECT_EQ(0u, MakeEntryName(std::string(260, 'a').c_str(), false, field));
    EXPECT_STREQ("", field);
    EXPECT_EQ(0u, MakeEntryName(std::string(259, 'a').c_str(), true, field));
    EXPECT_EQ(259u, MakeEntryName((std::string(258, 'a') + "\\").c_str(), true, field));
    // The limit counts characters: 259 three-byte ones fit, one more does not.
    std::string wide;
    for (int i = 0; i < 258; ++i) {
        wide += "\xe2\x82\xac";
    }
    EXPECT_EQ(777u, MakeEntryName((wide + "\xe2\x82\xac").c_str(), false, field));
    EXPECT_EQ(775u, MakeEntryName(wide.c_str(), true, field));
    EXPECT_EQ(0u, MakeEntryName((wide + "\xe2\x82\xac").c_str(), true, field));
    EXPECT_EQ(0u, MakeEntryName(std::string(kZipNameCapacity, '\x80').c_str(), false, field));
}

TEST(ZipEntryNameTest, StoredExtensionsIgnoreCase) {
    for (const char* name : {"a.Z", "a.z", "x/LOG.ZIP", "a.Zip", "a.zoo", "a.ARC", "a.lzh", "a.arj",
                             "a.GZ", "a.tgz", ".zip"}) {
        EXPECT_TRUE(IsStoredName(name)) << name;
    }
    for (const char* name :
         {"notes.txt", "README", "a.zipx", "a.zip.txt", "a.gzip", "zip", "a.", "a.tar"}) {
        EXPECT_FALSE(IsStoredName(name)) << name;
    }
}

TEST_F(ZipTimesTest, SplitsFileTimesIntoCalendarFields) {
    CalendarTime c = SplitFileTime(0);
    EXPECT_EQ(1601, c.year);
    EXPECT_EQ(1, c.month);
    EXPECT_EQ(1, c.day);
    c = SplitFileTime(AtUnix(951782400 + 3723)); // 2000-02-29 01:02:03
    EXPECT_EQ(2000, c.year);
    EXPECT_EQ(2, c.month);
    EXPECT_EQ(29, c.day);
    EXPECT_EQ(1, c.hour);
    EXPECT_EQ(2, c.minute);
    EXPECT_EQ(3, c.second);
    c = SplitFileTime(AtUnix(4102444799)); // 2099-12-31 23:59:59
    EXPECT_EQ(2099, c.year);
    EXPECT_EQ(12, c.month);
    EXPECT_EQ(31, c.day);
    EXPECT_EQ(59, c.second);
}

TEST_F(ZipTimesTest, DosDateTimeIsClampedToWhatDosCanExpress) {
    EXPECT_EQ(Dos(2024, 5, 17, 13, 45, 30), DosDateTime(AtUnix(1715953531))); // :31 rounds down
    EXPECT_EQ(Dos(1980, 1, 1, 0, 0, 0), DosDateTime(AtUnix(315532800)));
    EXPECT_EQ(Dos(1980, 1, 1, 0, 0, 0), DosDateTime(AtUnix(315532799)));       // 1979-12-31
    EXPECT_EQ(Dos(1980, 1, 1, 0, 0, 0), DosDateTime(0));                       // 1601
    EXPECT_EQ(Dos(2107, 12, 31, 23, 59, 58), DosDateTime(AtUnix(4354819199))); // last second
    EXPECT_EQ(Dos(2107, 12, 31, 23, 59, 58), DosDateTime(AtUnix(4354819200))); // 2108
    EXPECT_EQ(Dos(2107, 12, 31, 23, 59, 58), DosDateTime(~FileTime{0}));
}

TEST_F(ZipTimesTest, UnixTimeTakesFieldsAsLocalStandardTime) {
    SetTimeZone("UTC0");
    EXPECT_EQ(1715953531u, UnixTime(AtUnix(1715953531)));
    // A zero file time (1601) keeps its time of day on 1 January 1970.
    EXPECT_EQ(0u, UnixTime(0));
    EXPECT_EQ(3723u, UnixTime(3723 * kTicksPerSecond));
    // After 2037: 31 December 2037, time of day kept.
    EXPECT_EQ(2145830400u + 3723, UnixTime(AtUnix(4102444800 + 3723)));
    SetTimeZone("EST5");
    EXPECT_EQ(1715953531u + 5 * 3600, UnixTime(AtUnix(1715953531)));
    EXPECT_EQ(5u * 3600 + 3723, UnixTime(3723 * kTicksPerSecond));
}
