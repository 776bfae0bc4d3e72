#include "platform/sys/RegistryTree.h"

#include "platform/sys/TextEncoding.h"

#include <gtest/gtest.h>

using namespace ketra::sys;

namespace {

const std::vector<std::wstring> kOptions = {L"HKEY_CURRENT_USER", L"Software", L"Velmora",
                                            L"Halden", L"5.30", L"Options"};

std::string Utf16Le(std::wstring_view text) {
    std::string out;
    for (char16_t u : ToUtf16(text)) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

RegistryTree MustParse(std::string_view text) {
    RegistryTree tree;
    RegParseError error;
    EXPECT_TRUE(RegistryTree::FromText(text, &tree, &error))
        << "line " << error.line << ": " << error.message;
    return tree;
}

int ErrorLine(std::string_view text) {
    RegistryTree tree;
    RegParseError error;
    EXPECT_FALSE(RegistryTree::FromText(text, &tree, &error)) << text;
    EXPECT_FALSE(error.message.empty());
    return error.line;
}

} // namespace

TEST(RegistryTree, ReadsTheRegeditForms) {
    const RegistryTree tree = MustParse("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
                                        "\r\n"
                                        "; a comment\r\n"
                                        "[HKEY_CURRENT_USER\\Software\\Velmora\\Halden\\5.30\\Options]\r\n"
                                        "\"Pipe Color\"=dword:00f0caa6\r\n"
                                        "\"Path\"=\"c:\\\\DWGModelKey.HMF\"\r\n"
                                        "\"Quote\" = \"say \\\"hi\\\"\"  \r\n"
                                        "@=\"default\"\r\n"
                                        "\"ColorTable\"=hex:00,00,00,00,\\\r\n"
                                        "  80,00,00,00\r\n"
                                        "\"Wide\"=hex(2):41,00,00,00\r\n"
                                        "\"Empty\"=hex:\r\n"
                                        "\"Short\"=dword:7\r\n");
    RegistryTree copy = tree;
    const RegistryKey* key = copy.Find(kOptions);
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->Values().size(), 8u);
    EXPECT_EQ(key->FindValue(L"PIPE COLOR")->type, REG_DWORD);
    EXPECT_EQ(key->FindValue(L"pipe color")->data, std::string("\xa6\xca\xf0\x00", 4));
    EXPECT_EQ(key->FindValue(L"Path")->data, Utf16Le(L"c:\\DWGModelKey.HMF"));
    EXPECT_EQ(key->FindValue(L"Quote")->data, Utf16Le(L"say \"hi\""));
    EXPECT_EQ(key->FindValue(L"")->data, Utf16Le(L"default"));
    EXPECT_EQ(key->FindValue(L"ColorTable")->data, std::string("\0\0\0\0\x80\0\0\0", 8));
    EXPECT_EQ(key->FindValue(L"Wide")->type, REG_EXPAND_SZ);
    EXPECT_EQ(key->FindValue(L"Empty")->data, "");
    EXPECT_EQ(key->FindValue(L"Short")->data, std::string("\x07\0\0\0", 4));
}

TEST(RegistryTree, DeletionsAndMergesApplyInOrder) {
    const RegistryTree tree = MustParse("REGEDIT4\n"
                                        "[HKEY_CURRENT_USER\\A\\B]\n\"x\"=dword:1\n\"y\"=dword:2\n"
                                        "[hkey_current_user\\a\\C]\n"
                                        "[HKEY_CURRENT_USER\\A\\b]\n\"X\"=dword:3\n\"y\"=-\n"
                                        "[-HKEY_CURRENT_USER\\A\\C]\n");
    RegistryTree copy = tree;
    const RegistryKey* b = copy.Find({L"HKEY_CURRENT_USER", L"A", L"B"});
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->Values().size(), 1u);
    EXPECT_EQ(b->Values()[0].name, L"x") << "a value keeps the spelling it was created with";
    EXPECT_EQ(b->Values()[0].data, std::string("\x03\0\0\0", 4));
    EXPECT_EQ(copy.Find({L"HKEY_CURRENT_USER", L"A", L"C"}), nullptr);
}

TEST(RegistryTree, ErrorsNameTheLine) {
    EXPECT_EQ(ErrorLine(""), 0);
    EXPECT_EQ(ErrorLine("not a registry file\n"), 1);
    const std::string head = "Windows Registry Editor Version 5.00\n\n";
    EXPECT_EQ(ErrorLine(head + "\"x\"=dword:1\n"), 3) << "value before any key";
    EXPECT_EQ(ErrorLine(head + "[HKEY_NOWHERE\\x]\n"), 3);
    EXPECT_EQ(ErrorLine(head + "[HKEY_CURRENT_USER\\\\x]\n"), 3) << "empty key name";
    EXPECT_EQ(ErrorLine(head + "[HKEY_CURRENT_USER\\x\n"), 3);
    const std::string key = head + "[HKEY_CURRENT_USER\\x]\n";
    EXPECT_EQ(ErrorLine(key + "\"a\"=dword:123456789\n"), 4);
    EXPECT_EQ(ErrorLine(key + "\"a\"=dword:\n"), 4);
    EXPECT_EQ(ErrorLine(key + "\"a\"=dword:12 junk\n"), 4);
    EXPECT_EQ(ErrorLine(key + "\"a\"=\"unterminated\n"), 4);
    EXPECT_EQ(ErrorLine(key + "\"a\"=\"bad \\n escape\"\n"), 4);
    EXPECT_EQ(ErrorLine(key + "\"a\"=hex:0g\n"), 4);
    EXPECT_EQ(ErrorLine(key + "\"a\"=hex:123\n"), 4);
    EXPECT_EQ(ErrorLine(key + "\"a\"=hex:01,,02\n"), 4);
    EXPECT_EQ(ErrorLine(key + "\"a\"=hex(zz):01\n"), 4);
    EXPECT_EQ(ErrorLine(key + "\"a\"=hex:01,\\\n  02,\\\n"), 5) << "file ends mid-value";
    EXPECT_EQ(ErrorLine(key + "\"a\"=hex:01,\\\n  zz\n"), 5);
    EXPECT_EQ(ErrorLine(key + "\"a\"\n"), 4);
    EXPECT_EQ(ErrorLine(key + "a=dword:1\n"), 4);
    EXPECT_EQ(ErrorLine(key + "\"a\"=qword:1\n"), 4);
    EXPECT_EQ(ErrorLine(key + "\"a\"=\"\xff\xfe\"\n"), 4) << "invalid UTF-8";
    EXPECT_EQ(ErrorLine(head + "[-HKEY_CURRENT_USER\\x]\n\"a\"=dword:1\n"), 4);
}

TEST(RegistryTree, WritesWhatItReadsBack) {
    RegistryTree tree;
    RegistryKey* key = tree.FindOrCreate(kOptions);
    key->SetValue(L"Pipe Color", REG_DWORD, std::string("\xa6\xca\xf0\x00", 4));
    key->SetValue(L"Esc\\aped \"name\"", REG_SZ, Utf16Le(L"back\\slash \"quote\" ünï 漢字 𝄞"));
    key->SetValue(L"", REG_SZ, Utf16Le(L""));
    key->SetValue(L"Multi\nLine", REG_SZ, Utf16Le(L"x")); // value names are checked by Reg*
    key->SetValue(L"Newline", REG_SZ, Utf16Le(L"two\nlines"));
    key->SetValue(L"Odd", REG_SZ, std::string("abc", 3));
    key->SetValue(L"Lone surrogate", REG_SZ, std::string("\x00\xd8", 2));
    key->SetValue(L"Three byte dword", REG_DWORD, std::string("\1\2\3", 3));
    std::string big;
    for (int i = 0; i < 1000; ++i)
        big += static_cast<char>(i * 7);
    key->SetValue(L"ColorTable", REG_BINARY, big);
    key->SetValue(L"Long text", REG_SZ, Utf16Le(std::wstring(5000, L'x')));
    key->SetValue(L"Q", 11, std::string(8, '\x01'));
    tree.FindOrCreate({L"HKEY_CURRENT_USER", L"Empty", L"Key"});
    tree.FindOrCreate({L"HKEY_LOCAL_MACHINE", L"Other"})->SetValue(L"v", REG_DWORD, "\0\0\0\0");

    // "Multi\nLine" cannot appear in a line-based file: the store never creates such a name.
    key->RemoveValue(L"Multi\nLine");
    const std::string text = tree.Serialise();
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n", 0), 0u);
    EXPECT_NE(text.find("\"Pipe Color\"=dword:00f0caa6\n"), std::string::npos);
    EXPECT_NE(text.find("\"Esc\\\\aped \\\"name\\\"\"=\"back\\\\slash \\\"quote\\\" ünï"),
              std::string::npos);
    EXPECT_NE(text.find("@=\"\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"Newline\"=hex(1):74,00,77,00,6f,00,0a,00"), std::string::npos);
    EXPECT_NE(text.find("\"Three byte dword\"=hex(4):01,02,03\n"), std::string::npos);
    EXPECT_NE(text.find("\"Q\"=hex(b):"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Empty\\Key]\n"), std::string::npos);
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        if (line.find("=hex") != std::string::npos || line.rfind("  ", 0) == 0) {
            EXPECT_LE(line.size(), 80u) << line;
        }
    }
    EXPECT_TRUE(MustParse(text) == tree);
    EXPECT_EQ(MustParse(text).Serialise(), text);
}

TEST(RegistryTree, RootEmptiedByADeletionReadsBackTheSame) {
    const RegistryTree tree = MustParse("Windows Registry Editor Version 5.00\n\n"
                                        "[HKEY_CURRENT_USER\\Software]\n\n"
                                        "[-HKEY_CURRENT_USER\\Software]\n");
    const std::string text = tree.Serialise();
    EXPECT_EQ(text, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER]\n\n");
    EXPECT_TRUE(MustParse(text) == tree);
}

TEST(RegistryTree, Utf16FilesFromWindowsAreRead) {
    const std::wstring text = L"Windows Registry Editor Version 5.00\r\n\r\n"
                              L"[HKEY_CURRENT_USER\\Software\\Velmora]\r\n"
                              L"\"Name\"=\"Zoë\"\r\n";
    const RegistryTree tree = MustParse("\xFF\xFE" + Utf16Le(text));
    RegistryTree copy = tree;
    EXPECT_EQ(copy.Find({L"HKEY_CURRENT_USER", L"SOFTWARE", L"velmora"})->FindValue(L"name")->data,
              Utf16Le(L"Zoë"));
    RegistryTree ignored;
    RegParseError error;
    EXPECT_FALSE(RegistryTree::FromText("\xFF\xFE" "abc", &ignored, &error)) << "odd length";
}

// Every truncation of a valid file either parses or fails cleanly with a line number.
TEST(RegistryTree, EveryTruncationIsHandled) {
    RegistryTree tree;
    RegistryKey* key = tree.FindOrCreate(kOptions);
    key->SetValue(L"Pipe Color", REG_DWORD, std::string("\xa6\xca\xf0\x00", 4));
    key->SetValue(L"Name", REG_SZ, Utf16Le(L"a \"b\" \\c"));
    key->SetValue(L"Bin", REG_BINARY, std::string(60, '\x5a'));
    const std::string text = tree.Serialise();
    for (std::size_t n = 0; n <= text.size(); ++n) {
        RegistryTree out;
        RegParseError error;
        if (!RegistryTree::FromText(std::string_view(text).substr(0, n), &out, &error)) {
            EXPECT_GE(error.line, 0);
            EXPECT_FALSE(error.message.empty()) << n;
        }
    }
}

TEST(TextEncoding, ConvertsAndFolds) {
    const std::wstring text = L"aé漢𝄞";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    std::wstring back;
    EXPECT_TRUE(DecodeUtf16(ToUtf16(text), &back));
    EXPECT_EQ(back, text);
    EXPECT_EQ(ToUtf16(L"𝄞").size(), 2u);
    std::size_t bad = 0;
    EXPECT_FALSE(DecodeUtf8("ab\xC0\x80", &back, &bad)) << "overlong NUL";
    EXPECT_EQ(bad, 2u);
    EXPECT_FALSE(DecodeUtf8("\xED\xA0\x80", &back)) << "encoded surrogate";
    EXPECT_EQ(FromUtf8("a\xffz"), L"a\xFFFDz");
    EXPECT_FALSE(DecodeUtf16(u"\xDC00", &back));
    EXPECT_EQ(FoldCase(L"Pipe Color"), FoldCase(L"PIPE COLOR"));
    EXPECT_EQ(FoldCase(L"Zoë"), FoldCase(L"ZOË"));
    EXPECT_EQ(FoldCase(L"Łódź"), FoldCase(L"ŁÓDŹ"));
    EXPECT_EQ(FoldCase(L"Москва"), FoldCase(L"МОСКВА"));
    EXPECT_NE(FoldCase(L"÷"), FoldCase(L"×"));
}
