#include "app/ProfileFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace mw {
namespace {

TEST(ProfileFile, WritesInPlaceAndKeepsForeignLines) {
    test::TTempDir dir;
    const std::string path = dir.Write("s.ini", "; user note\n[Form]\nx=1\nkeep=me\n\n[System]\nA=old\n");
    TProfileFile f(path);
    f.WriteString("system", "a", "new");       // case-insensitive section and key
    f.WriteInteger("Form", "y", 7);            // new key appended to its section
    f.WriteBool("FormLog", "maximized", true); // new section at the end
    f.UpdateFile();
    EXPECT_EQ(dir.Read("s.ini"), "; user note\n[Form]\nx=1\nkeep=me\ny=7\n\n[System]\na=new\n\n"
                                 "[FormLog]\nmaximized=1\n");
}

TEST(ProfileFile, ReadsIntegersAsDecimalOrHexWithDefaults) {
    test::TTempDir dir;
    const std::string path =
        dir.Write("s.ini", "[S]\ndec=42\nneg=-7\nhex=0x10\nHEXU=0XfF\nbig=0xFFFFFFFF\njunk=abc\nmixed=12abc\n"
                           "empty=\nover=99999999999\nlonghex=0x123456789\nspaced =  5  \n");
    const TProfileFile f(path);
    const std::pair<const char*, int32_t> cases[] = {
        {"dec", 42},   {"neg", -7},   {"hex", 16},  {"hexu", 255},   {"big", -1},   {"junk", 99},
        {"mixed", 99}, {"empty", 99}, {"over", 99}, {"longhex", 99}, {"spaced", 5}, {"absent", 99},
    };
    for (const auto& [key, value] : cases)
        EXPECT_EQ(f.ReadInteger("S", key, 99), value) << key;
    EXPECT_TRUE(f.ReadBool("S", "dec", false));
    EXPECT_FALSE(f.ReadBool("S", "absent", false));
    EXPECT_TRUE(f.ReadBool("S", "junk", true));
}

TEST(ProfileFile, LongValuesAreCutAndNulEndsTheText) {
    test::TTempDir dir;
    const std::string path = dir.Write("s.ini", "[S]\nlong=" + std::string(5000, 'v') + "\nb=1\n" +
                                                    std::string("\0[S2]\nc=1\n", 11));
    const TProfileFile f(path);
    EXPECT_EQ(f.ReadString("S", "long", "").size(), TProfileFile::MaxValueLength);
    EXPECT_EQ(f.ReadString("S", "b", ""), "1");
    EXPECT_FALSE(f.ValueExists("S2", "c"));
}

TEST(ProfileFile, LineBreaksCannotCreateOrChangeOtherKeys) {
    test::TTempDir dir;
    const std::string original = "[S]\na=old\nb=keep\n";
    const std::string path = dir.Write("s.ini", original);
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"S", "a", "/tmp/x\nb=/etc"},         {"S", "a", "/tmp/x\rb=/etc"}, {"S", "a", "/tmp/x\r\n[T]\nb=1"},
        {"S", "a", std::string("x\0b=1", 5)}, {"S", "a\nb", "1"},           {"S]\n[T", "a", "1"},
    };
    for (const auto& [section, key, value] : cases) {
        TProfileFile f(path);
        EXPECT_THROW(f.WriteString(section, key, value), EProfileValueError) << value;
        f.UpdateFile();
        EXPECT_EQ(dir.Read("s.ini"), original) << value;
    }
}

TEST(ProfileFile, FailedWriteIsReportedAndLeavesTheFile) {
    test::TTempDir dir;
    TProfileFile f(dir.Path() + "missing-folder/s.ini");
    f.WriteString("S", "a", "1");
    EXPECT_THROW(f.UpdateFile(), EProfileWriteError);

    const std::string path = dir.Write("ro/s.ini", "[S]\na=1\n");
    test::TReadOnlyFolder readOnly(dir.Path() + "ro");
    if (!readOnly.Ok()) GTEST_SKIP() << "the read-only folder check: " << readOnly.Why();
    TProfileFile g(path);
    g.WriteString("S", "a", "2");
    EXPECT_THROW(g.UpdateFile(), EProfileWriteError);
    EXPECT_EQ(dir.Read("ro/s.ini"), "[S]\na=1\n");
}

} // namespace
} // namespace mw
