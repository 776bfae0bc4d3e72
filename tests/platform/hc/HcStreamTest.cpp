// The binary scene stream: it carries what the text metafile carries (a tree read from either
// writes the same text), and a damaged stream, cut, flipped or forged, is refused without a
// crash and creates nothing.
#include "platform/hc/HcExtras.h"
#include "platform/hc/HcStream.h"
#include "platform/hc/HcStreamCodec.h"
#include "platform/hc/RichTree.h"
#include "platform/hc/SceneGraph.h"
#include "platform/hc/hc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_errors;
void Capture(int, int, int, const char* function, const char* message) {
    g_errors.push_back(std::string(function) + ": " + message);
}

using ketra::hc::Graph;
using ketra::hc::MetafileText;
using ketra::hc::ReadStreamBytes;
using ketra::hc::StreamBytes;

class HcStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        HC_Reset_System();
        HC_Define_Error_Handler(Capture);
        g_errors.clear();
    }
    void TearDown() override { HC_Reset_System(); }
    static const ketra::hc::Segment& Seg(const char* path) { return *Graph::Instance().Resolve(path, false); }
    static size_t RootChildren() { return Graph::Instance().Root().children.size(); }
    // A stream whose checksum is recomputed after `edit`, so the record checks are what is tested.
    static std::string Reseal(std::string bytes) {
        namespace hsf = ketra::hc::hsf;
        const uint32_t crc = hsf::Crc32(std::string_view(bytes).substr(hsf::kHeaderBytes));
        std::memcpy(bytes.data() + 24, &crc, 4);
        return bytes;
    }
};

} // namespace

TEST_F(HcStreamTest, CarriesWhatTheMetafileCarries) {
    ketra::test::BuildRichTree();
    ASSERT_TRUE(g_errors.empty()) << g_errors.front();
    const std::string original = MetafileText(Seg("/src"));
    const std::string stream = StreamBytes(Seg("/src"));
    std::string error;
    ASSERT_TRUE(ReadStreamBytes(stream, "rich.hsf", "/from stream", error)) << error;
    ASSERT_TRUE(ketra::hc::ReadMetafileText(original, "rich.hmf", "/from text", error)) << error;
    EXPECT_EQ(MetafileText(Seg("/from stream")), MetafileText(Seg("/from text")));
    EXPECT_EQ(MetafileText(Seg("/from stream")), original);
    // Written again, the copy gives the same bytes.
    EXPECT_EQ(StreamBytes(Seg("/from stream")), stream);
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
}

TEST_F(HcStreamTest, HcReadMetafileTellsAStreamByItsFirstBytes) {
    ketra::test::BuildRichTree();
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("ketra-hsf-" + std::to_string(::getpid()) + ".hsf")).string();
    {
        std::ofstream out(file, std::ios::binary);
        out << StreamBytes(Seg("/src"));
    }
    HC_Read_Metafile(file.c_str(), "/read", "");
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
    EXPECT_EQ(MetafileText(Seg("/read")), MetafileText(Seg("/src")));
    // Damaged: reported once through the error handler, naming the file.
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << StreamBytes(Seg("/src")).substr(0, 100);
    }
    HC_Read_Metafile(file.c_str(), "/damaged", "");
    ASSERT_EQ(g_errors.size(), 1u);
    EXPECT_NE(g_errors[0].find(file), std::string::npos) << g_errors[0];
    EXPECT_NE(g_errors[0].find("cut short"), std::string::npos) << g_errors[0];
    EXPECT_EQ(Graph::Instance().Resolve("/damaged", false), nullptr);
    std::filesystem::remove(file);
}

TEST_F(HcStreamTest, EveryTruncationIsRefusedAndCreatesNothing) {
    ketra::test::BuildRichTree();
    const std::string stream = StreamBytes(Seg("/src"));
    const size_t before = RootChildren();
    for (size_t length = 0; length < stream.size(); ++length) {
        std::string error;
        ASSERT_FALSE(ReadStreamBytes(std::string_view(stream).substr(0, length), "cut.hsf", "/cut", error))
            << "prefix of " << length << " bytes was accepted";
        ASSERT_EQ(error.rfind("cut.hsf:", 0), 0u) << error;
        ASSERT_EQ(Graph::Instance().Resolve("/cut", false), nullptr);
        ASSERT_EQ(RootChildren(), before);
    }
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
}

TEST_F(HcStreamTest, DamagedBytesAreRefused) {
    ketra::test::BuildRichTree();
    const std::string stream = StreamBytes(Seg("/src"));
    size_t before = RootChildren();
    std::string error;
    // Any flipped bit of the body fails the checksum; header fields are checked one by one.
    for (size_t i = 0; i < stream.size(); i += 7) {
        std::string bad = stream;
        bad[i] = static_cast<char>(bad[i] ^ 0x10);
        ASSERT_FALSE(ReadStreamBytes(bad, "bad.hsf", "/bad", error)) << "byte " << i;
        ASSERT_EQ(RootChildren(), before);
    }
    std::string longer = stream + "x";
    EXPECT_FALSE(ReadStreamBytes(longer, "long.hsf", "/bad", error));
    EXPECT_NE(error.find("after the end"), std::string::npos) << error;
    std::string future = stream;
    future[8] = 2;
    EXPECT_FALSE(ReadStreamBytes(future, "v2.hsf", "/bad", error));
    EXPECT_NE(error.find("version 2"), std::string::npos) << error;

    // Forged streams with a correct checksum: every byte of the body changed in turn is read or
    // refused, never a crash, and a refusal creates nothing.
    for (size_t i = ketra::hc::hsf::kHeaderBytes; i < stream.size(); ++i) {
        for (unsigned char value : {0x00, 0x7f, 0xff}) {
            std::string forged = stream;
            forged[i] = static_cast<char>(value);
            const bool ok = ReadStreamBytes(Reseal(forged), "forged.hsf", "/forged", error);
            if (ok) {
                // A changed path outside the file may have made its target: start afresh.
                HC_Delete_Segment("/forged");
                before = RootChildren();
                continue;
            }
            ASSERT_EQ(Graph::Instance().Resolve("/forged", false), nullptr) << "byte " << i;
            ASSERT_EQ(RootChildren(), before) << "byte " << i;
        }
    }
    g_errors.clear();
}

TEST_F(HcStreamTest, ForgedRecordsNameTheirByte) {
    // A point index beyond the shell's points.
    HC_Open_Segment("/one");
    const float pts[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const int faces[] = {3, 0, 1, 2};
    HC_Insert_Shell(3, pts, 4, faces);
    HC_Close_Segment();
    std::string stream = StreamBytes(Seg("/one"));
    // The face list is the record's last bytes: count 3 then three zigzag indices.
    ASSERT_EQ(stream.back(), 4);  // index 2, zigzag
    stream.back() = 6;            // index 3
    std::string error;
    EXPECT_FALSE(ReadStreamBytes(Reseal(stream), "index.hsf", "/x", error));
    EXPECT_NE(error.find("index.hsf: byte " + std::to_string(stream.size() - 1) + ": point index 3"),
              std::string::npos)
        << error;
    EXPECT_FALSE(ReadStreamBytes("KETRAHMF", "other.hsf", "/x", error));
    EXPECT_NE(error.find("not a Ketra scene stream"), std::string::npos) << error;

    // A face count of the most negative 64-bit number (found by fuzzing: its sign was taken
    // off before its range was checked).
    static const char kMostNegativeCount[] =
        "\x05\x21\x00\x00\x00\x00\x00\x02\xff\xff\xff\xff\xff\xff\xff\xff"
        "\xff\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23"
        "\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23"
        "\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23"
        "\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23"
        "\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23"
        "\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23\x23"
        "\x23\x23\x23\x23\x23\x23\x23\x23\xff\xff\x2e\xff\xff\xff\xff\xff"
        "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
        "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x02\x6c\x5f\x30\x03"
        "\x00\x00\x00\x03\x00\x00\x00\x00\x05\x01\x0d\x00\x00\x00\x0c\x4c"
        "\x65\x67\x65\x6e\x64\x57\x69\x6e\x64";
    namespace hsf = ketra::hc::hsf;
    const std::string_view body(kMostNegativeCount, sizeof kMostNegativeCount - 1);
    std::string forged(hsf::kHeaderBytes, '\0');
    std::memcpy(forged.data(), ketra::hc::kStreamMagic.data(), 8);
    const uint32_t version = ketra::hc::kStreamVersion;
    const uint64_t length = body.size();
    std::memcpy(forged.data() + 8, &version, 4);
    std::memcpy(forged.data() + 16, &length, 8);
    forged += body;
    EXPECT_FALSE(ReadStreamBytes(Reseal(forged), "count.hsf", "/x", error));
    EXPECT_NE(error.find("face count -9223372036854775808"), std::string::npos) << error;
}

TEST_F(HcStreamTest, SmallerThanTheMetafile) {
    // Mostly shells, as plant models are.
    HC_Open_Segment("/many");
    for (int s = 0; s < 50; ++s) {
        std::vector<float> pts;
        std::vector<int> faces;
        for (int i = 0; i < 64; ++i) {
            pts.insert(pts.end(), {std::cos(i * 0.1f) * (s + 1.37f), std::sin(i * 0.1f) * 2.113f, i * 0.731f});
            if (i + 3 < 64)
                faces.insert(faces.end(), {4, i, i + 1, i + 3, i + 2});
        }
        HC_Insert_Shell(64, pts.data(), static_cast<int>(faces.size()), faces.data());
    }
    HC_Close_Segment();
    EXPECT_LT(StreamBytes(Seg("/many")).size() * 2, MetafileText(Seg("/many")).size());
}

TEST_F(HcStreamTest, ReadingIntoAnExistingSegmentAddsOrChangesNothing) {
    ketra::test::BuildRichTree();
    const std::string stream = StreamBytes(Seg("/src"));
    HC_Open_Segment("/existing");
    HC_Set_User_Options("kept = yes");
    HC_Close_Segment();
    const std::string before = MetafileText(Seg("/existing"));
    std::string error;
    EXPECT_FALSE(ReadStreamBytes(stream.substr(0, stream.size() - 1), "cut.hsf", "/existing", error));
    EXPECT_EQ(MetafileText(Seg("/existing")), before);
    ASSERT_TRUE(ReadStreamBytes(stream, "rich.hsf", "/existing", error)) << error;
    const std::string after = MetafileText(Seg("/existing"));
    EXPECT_NE(after.find("kept=yes"), std::string::npos) << after.substr(0, 300);
    EXPECT_NE(after.find("segment \"pipe 1\""), std::string::npos);
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
}
