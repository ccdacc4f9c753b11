#include "device/discovery.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fake_backend.h"

namespace kb {
namespace {

const std::string kSuffix = "#7&2a1f&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030}";

TEST(ParseInterfacePath, ReadsFieldsWithTheOneCharacterQuirk) {
    struct Case {
        std::string path;
        std::optional<PathFields> expected;
    };
    const Case cases[] = {
        {R"(\\?\hid#vid_1234&pid_abcd&mi_01&col02)" + kSuffix, PathFields{0x1234, 0xabcd, 1, 2}},
        {R"(\\?\hid#vid_1234&pid_abcd&mi_00)" + kSuffix, PathFields{0x1234, 0xabcd, 0, -1}},
        {R"(\\?\hid#vid_1234&pid_ABCD)" + kSuffix, PathFields{0x1234, 0xabcd, -1, -1}},
        {R"(\\?\hid#vid_1234&pid_abcd&col03)" + kSuffix, PathFields{0x1234, 0xabcd, -1, 3}},
        // Only the last of the two characters is kept.
        {R"(\\?\hid#vid_1234&pid_abcd&mi_1a&col1f)" + kSuffix, PathFields{0x1234, 0xabcd, 10, 15}},
        {R"(\\?\hid#vid_1234&pid_abcd&mi_10&col10)" + kSuffix, PathFields{0x1234, 0xabcd, 0, 0}},
        // Letters beyond f end the hexadecimal number; a group starting with one gives 0.
        {R"(\\?\hid#vid_12g4&pid_zzzz&mi_0z)" + kSuffix, PathFields{0x12, 0, 0, -1}},
        // Searched, not matched whole; the first occurrence counts.
        {"prefix hid#vid_0001&pid_0002 hid#vid_0003&pid_0004", PathFields{1, 2, -1, -1}},
        // An occurrence that does not go on as it must is passed over for a later one.
        {"hid#vid_12&pid_0002 hid#vid_0003&pid_0004&col05", PathFields{3, 4, -1, 5}},
        {"hid#vid_hid#vid_0001&pid_0002&mi_", PathFields{1, 2, -1, -1}},
        // A malformed &mi_ part is left out of the match.
        {R"(\\?\hid#vid_1234&pid_abcd&mi_1&col02)" + kSuffix, PathFields{0x1234, 0xabcd, -1, -1}},
        {R"(\\?\HID#VID_1234&PID_ABCD&MI_01)" + kSuffix, std::nullopt},
        {R"(\\?\hid#vid_1234&PID_abcd)" + kSuffix, std::nullopt},
        {R"(\\?\hid#vid_123&pid_abcd)" + kSuffix, std::nullopt},
        {"", std::nullopt},
        {"/dev/hidraw0", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto fields = ParseInterfacePath(c.path);
        ASSERT_EQ(fields.has_value(), c.expected.has_value());
        if (fields) {
            EXPECT_EQ(fields->vid, c.expected->vid);
            EXPECT_EQ(fields->pid, c.expected->pid);
            EXPECT_EQ(fields->mi, c.expected->mi);
            EXPECT_EQ(fields->col, c.expected->col);
        }
    }
}

TEST(ParseInterfacePath, LongPathsAreSearchedSafely) {
    const std::string noise(200000, 'h');
    EXPECT_FALSE(ParseInterfacePath(noise));
    const auto fields = ParseInterfacePath(noise + "hid#vid_0001&pid_0002&mi_03" + noise);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->mi, 3);
}

TEST(Matches, WildcardsDifferForIdsAndNumbers) {
    const PathFields full{0x1234, 0xabcd, 1, 2};
    const PathFields bare{0x1234, 0xabcd, -1, -1};
    struct Case {
        MatchCriteria criteria;
        PathFields fields;
        bool matches;
    };
    const Case cases[] = {
        {{0x1234, 0xabcd, 1, 2}, full, true},
        {{0x1234, 0xabcd, 1, 1}, full, false},
        {{0x1235, 0xabcd, 1, 2}, full, false},
        {{0x1234, 0xabce, 1, 2}, full, false},
        {{0, 0, 1, 2}, full, true},  // 0 is a wildcard for the ids...
        {{-5, -1, 1, 2}, full, true},
        {{0x1234, 0xabcd, 0, -1}, bare, false},  // ...but a real interface number
        {{0x1234, 0xabcd, -1, 0}, bare, false},
        {{0x1234, 0xabcd, -1, -1}, bare, true},
        {{0x1234, 0xabcd, -1, -1}, full, true},
        {{0x1234, 0xabcd, 1, -1}, full, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Matches(c.criteria, c.fields), c.matches)
            << c.criteria.vid << " " << c.criteria.pid << " " << c.criteria.interfaceNumber << " "
            << c.criteria.subdevice << " / " << c.fields.mi << " " << c.fields.col;
    }
}

std::string KeyboardPath(const std::string& tail) {
    return R"(\\?\hid#vid_1234&pid_abcd)" + tail + kSuffix;
}

TEST(FindKeyboardInterface, ReturnsTheLastMatchAndWritesDiagnostics) {
    test::FakeBackend backend;
    backend.Add(KeyboardPath("&mi_00"), "a");
    backend.Add(KeyboardPath("&mi_01&col01"), "b");
    backend.Add(R"(\\?\HID#VID_1234&PID_ABCD&MI_01&COL02)" + kSuffix, "upper");
    backend.Add(KeyboardPath("&mi_01&col02"), "c");
    backend.Add("no match here", "d");
    backend.unopenable.insert("e");
    backend.Add(KeyboardPath("&mi_01&col02"), "e");

    Trace out;
    const auto found = FindKeyboardInterface(backend, {0x1234, 0xabcd, 1, 2}, &out);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->path, "e");  // still returned although the probe could not open it
    EXPECT_EQ(out.Lines(), (std::vector<std::string>{
                               "got classs: guid={4d1e55b2-f16f-11cf-88cb001111000030}",
                               "enum interface: guid={4d1e55b2-f16f-11cf-88cb001111000030} index=0",
                               "enum interface: guid={4d1e55b2-f16f-11cf-88cb001111000030} index=1",
                               "enum interface: guid={4d1e55b2-f16f-11cf-88cb001111000030} index=2",
                               "enum interface: guid={4d1e55b2-f16f-11cf-88cb001111000030} index=3",
                               "open dev: 00000101",
                               "enum interface: guid={4d1e55b2-f16f-11cf-88cb001111000030} index=4",
                               "enum interface: guid={4d1e55b2-f16f-11cf-88cb001111000030} index=5",
                               "open dev: ffffffff",
                           }));
    // Every match was probed once and closed again.
    EXPECT_EQ(backend.shared->log,
              (std::vector<std::string>{"enumerate", "open c", "close c", "open e"}));
    EXPECT_EQ(backend.shared->liveHandles, 0);

    const auto all = FindKeyboardInterface(backend, {0x1234, 0xabcd, -1, -1}, nullptr);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->path, "e");
    EXPECT_FALSE(FindKeyboardInterface(backend, {0x1234, 0xabcd, 0, 0}, nullptr));
    EXPECT_FALSE(FindKeyboardInterface(backend, {0x1234, 0xabcd, 1, 3}, nullptr));
}

TEST(FindKeyboardInterface, NothingPresent) {
    test::FakeBackend backend;
    Trace out;
    EXPECT_FALSE(FindKeyboardInterface(backend, {0, 0, -1, -1}, &out));
    EXPECT_EQ(out.Lines(),
              std::vector<std::string>{"got classs: guid={4d1e55b2-f16f-11cf-88cb001111000030}"});
}

TEST(MakeInterfacePath, RoundTripsThroughTheParser) {
    EXPECT_EQ(
        MakeInterfacePath(0x258a, 0x49, 1, 2, "hidraw3"),
        R"(\\?\hid#vid_258a&pid_0049&mi_01&col02#hidraw3#{4d1e55b2-f16f-11cf-88cb-001111000030})");
    EXPECT_EQ(MakeInterfacePath(0xABCD, 0xEF01, -1, -1, "Node#1"),
              R"(\\?\hid#vid_abcd&pid_ef01#node_1#{4d1e55b2-f16f-11cf-88cb-001111000030})");
    struct Case {
        int mi;
        int col;
    };
    for (const Case c : {Case{0, -1}, Case{-1, 3}, Case{2, 1}, Case{-1, -1}, Case{9, 15}}) {
        const auto fields = ParseInterfacePath(MakeInterfacePath(0xabcd, 0x1234, c.mi, c.col, "n"));
        ASSERT_TRUE(fields);
        EXPECT_EQ(fields->vid, 0xabcd);
        EXPECT_EQ(fields->pid, 0x1234);
        EXPECT_EQ(fields->mi, c.mi);
        EXPECT_EQ(fields->col, c.col);
    }
}

}  // namespace
}  // namespace kb
