#include "base/CodePage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>

namespace orv {
namespace {

std::string AllBytes()
{
    std::string s;
    for (int b = 1; b < 256; ++b) {
        s += static_cast<char>(b);
    }
    return s;
}

TEST(CodePage, ConvertsKnownTextsBothWays)
{
    struct Case
    {
        CodePage::Kind kind;
        std::string bytes;
        std::string utf8;
    };
    const Case cases[] = {
        {CodePage::Kind::Windows1251, "\xcf\xf0\xe8\xe2\xe5\xf2, \xb8\xa8", "Привет, ёЁ"},
        {CodePage::Kind::Windows1251, "\x88 \xb9", "€ №"},
        {CodePage::Kind::Windows1252, "Caf\xe9 \x80 \x9f", "Café € Ÿ"},
        {CodePage::Kind::Windows1250, "\x8a\xe8", "Šč"},
        {CodePage::Kind::Dos866, "\x8f\xe0\xa8", "При"},
        {CodePage::Kind::Koi8R, "\xf0\xd2\xc9", "При"},
        {CodePage::Kind::Latin1, "\xe9\xff", "éÿ"},
        {CodePage::Kind::Utf8, "Привет", "Привет"},
    };
    for (const Case& c : cases) {
        const CodePage cp(c.kind);
        SCOPED_TRACE(cp.Name() + ": " + c.utf8);
        EXPECT_EQ(cp.ToUtf8(c.bytes), c.utf8);
        EXPECT_EQ(cp.FromUtf8(c.utf8), c.bytes);
    }
}

TEST(CodePage, EveryByteRoundTripsAndNothingElseIsGarbled)
{
    for (const auto kind : {CodePage::Kind::Windows1250, CodePage::Kind::Windows1251,
                            CodePage::Kind::Windows1252, CodePage::Kind::Dos866,
                            CodePage::Kind::Koi8R, CodePage::Kind::Latin1, CodePage::Kind::Utf8}) {
        const CodePage cp(kind);
        SCOPED_TRACE(cp.Name());
        const std::string bytes = AllBytes();
        const std::string text = cp.ToUtf8(bytes);
        size_t pos = 0;
        char32_t c = 0;
        while (pos < text.size()) {
            ASSERT_TRUE(DecodeUtf8(text, pos, c)) << "invalid UTF-8 at " << pos;
        }
        EXPECT_EQ(cp.FromUtf8(text), bytes);
    }
    // Bytes the code page leaves undefined keep their value.
    EXPECT_EQ(CodePage().FromUtf8(CodePage().ToUtf8("a\x98z")), "a\x98z");
    // A UTF-8 file that holds a stray 8-bit byte and a cut character.
    const CodePage utf8(CodePage::Kind::Utf8);
    const std::string mixed = "ok \xe9 \xd0";
    EXPECT_EQ(utf8.FromUtf8(utf8.ToUtf8(mixed)), mixed);
}

TEST(CodePage, CharactersTheCodePageLacksBecomeQuestionMarks)
{
    EXPECT_EQ(CodePage().FromUtf8("Ωmega 日本"), "?mega ??");
    EXPECT_EQ(CodePage(CodePage::Kind::Latin1).FromUtf8("ü€"), "\xfc?");
    // Malformed UTF-8 in memory: overlong, surrogate, beyond U+10FFFF, cut short.
    EXPECT_EQ(CodePage().FromUtf8("\xc0\xaf|\xed\xa0\x80|\xf4\x90\x80\x80|\xe2\x82"),
              "??|???|????|??");
}

TEST(CodePage, IsChosenByNameOrEnvironment)
{
    const std::pair<const char*, CodePage::Kind> names[] = {
        {"1251", CodePage::Kind::Windows1251},   {"Windows-1251", CodePage::Kind::Windows1251},
        {"CP1252", CodePage::Kind::Windows1252}, {"utf-8", CodePage::Kind::Utf8},
        {"UTF8", CodePage::Kind::Utf8},          {"65001", CodePage::Kind::Utf8},
        {"koi8-r", CodePage::Kind::Koi8R},       {"ibm866", CodePage::Kind::Dos866},
    };
    for (const auto& [name, kind] : names) {
        SCOPED_TRACE(name);
        CodePage cp(CodePage::Kind::Latin1);
        ASSERT_TRUE(CodePage::FromName(name, cp));
        EXPECT_EQ(cp.GetKind(), kind);
    }
    CodePage cp;
    EXPECT_FALSE(CodePage::FromName("1253", cp));

    std::string warning = "stale";
    unsetenv(CodePage::kEnvironmentVariable);
    EXPECT_EQ(CodePage::FromEnvironment(warning).GetKind(), CodePage::Kind::Windows1251);
    EXPECT_TRUE(warning.empty());
    setenv(CodePage::kEnvironmentVariable, "1252", 1);
    EXPECT_EQ(CodePage::FromEnvironment(warning).GetKind(), CodePage::Kind::Windows1252);
    setenv(CodePage::kEnvironmentVariable, "ebcdic", 1);
    EXPECT_EQ(CodePage::FromEnvironment(warning).GetKind(), CodePage::Kind::Windows1251);
    EXPECT_NE(warning.find("ebcdic"), std::string::npos);
    unsetenv(CodePage::kEnvironmentVariable);
}

}  // namespace
}  // namespace orv
