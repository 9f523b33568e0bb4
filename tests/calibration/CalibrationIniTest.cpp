#include "calibration/CalibrationIni.h"

#include "base/CodePage.h"
#include "calibration/DefaultCalibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace orv {
namespace {

struct ReadSection
{
    CalibrationId id;
    CalibrationRecord record;
};

struct Read
{
    std::vector<ReadSection> sections;
    IniReadReport report;
};

Read ReadText(const std::string& text, const std::string& name = "OrvCalibration.ini",
              const CodePage& cp = CodePage(), int stopAfter = -1)
{
    Read r;
    r.report =
        ReadCalibrationIni(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                           name, cp, [&](const CalibrationId& id, const CalibrationRecord& record) {
                               r.sections.push_back({id, record});
                               return stopAfter < 0 || int(r.sections.size()) < stopAfter;
                           });
    return r;
}

// A section with frequencies 1..14 kHz and the given extra lines.
std::string Section(unsigned serial, const std::string& extra = "", bool frequencies = true)
{
    std::string s = "[ORV " + std::to_string(serial) + "]\n";
    for (int n = 1; frequencies && n <= 14; ++n) {
        s += "F" + std::to_string(n) + "=" + std::to_string(n) + "\n";
    }
    return s + extra;
}

TEST(CalibrationIni, NumbersAreWrittenWithSixSignificantDigits)
{
    const std::pair<double, const char*> cases[] = {
        {33428.4, "33428.4"},
        {0.000108, "0.000108"},
        {1.45e-08, "1.45E-08"},
        {38, "38"},
        {123456789, "1.23457E+08"},
        {-0.5336, "-0.5336"},
        {2.0000004, "2"},
        {0, "0"},
        {1e-5, "1E-05"},
    };
    for (const auto& [value, text] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(FormatIniNumber(value), text);
    }
}

TEST(CalibrationIni, ReadsTheDialectOfTheHandheld)
{
    // The second section has no F keys: it keeps the frequencies read before it.
    const Read r = ReadText(Section(5, "Date=28.02.2007\nXA3 = -118 ; measured twice\n") +
                            "[ORV 6]\n\tDate= 1-6-2009\n\tComment=Field; check\n\tF0=3\n\tF15=3\n"
                            "\tM1_14=0.0237\n\tgf2=1.4e-08\n\trt=0.1525\n");
    ASSERT_EQ(r.sections.size(), 2u);
    EXPECT_EQ(r.sections[0].id, (CalibrationId{5, 2007, 2, 28}));
    EXPECT_EQ(r.sections[0].record.Air[2].X, -118);
    EXPECT_EQ(r.sections[1].id, (CalibrationId{6, 2009, 6, 1}));
    EXPECT_EQ(r.sections[1].record.Comment, "Field");  // a bare value ends at ';'
    EXPECT_EQ(r.sections[1].record.Frequencies[13], 14);
    EXPECT_EQ(r.sections[1].record.Frequencies[0], 1);  // F0 and F15 change nothing
    EXPECT_DOUBLE_EQ(r.sections[1].record.DepthFactor[3], std::sqrt(1.0 / 4.0));
    EXPECT_EQ(r.sections[1].record.M1[13], 0.0237);
    EXPECT_EQ(r.sections[1].record.GainFactor[1], 1.4e-08);
    EXPECT_EQ(r.sections[1].record.rt, 0.1525);
    EXPECT_EQ(r.sections[1].record.Air[2].X, 0);  // each section starts cleared
}

TEST(CalibrationIni, FileNamedAfterAnInstrumentNeedsNoHeader)
{
    std::string text = "Date=05/04/2010\n";
    for (int n = 1; n <= 14; ++n) {
        text += "F" + std::to_string(n) + "=" + std::to_string(n * 2) + "\n";
    }
    const Read named = ReadText(text, "/media/card/ISystem_ORV#12.ini");
    ASSERT_EQ(named.sections.size(), 1u);
    EXPECT_EQ(named.sections[0].id, (CalibrationId{12, 2010, 4, 5}));
    EXPECT_EQ(ReadText(text, "C:\\export\\ISystem_ORV#12.ini").sections.size(), 1u);
    EXPECT_TRUE(ReadText(text, "other.ini").sections.empty());
    // Lines before the first header belong to no record; only their frequencies survive.
    const Read headed = ReadText(text + "[ORV 3]\n", "ISystem_ORV#12.ini");
    ASSERT_EQ(headed.sections.size(), 1u);
    EXPECT_EQ(headed.sections[0].id, (CalibrationId{3, 2000, 1, 1}));
    EXPECT_EQ(headed.sections[0].record.Frequencies[13], 28);
}

TEST(CalibrationIni, BadInputKeepsEverythingThatCanBeRead)
{
    struct Case
    {
        const char* legend;
        std::string text;
        size_t sections;
    };
    const Case cases[] = {
        {"junk and unknown keys", "garbage\x01\xff\n=\n==x\n" + Section(4, "Foo=1\nXPX=2\n"), 1},
        {"missing keys leave zeros", Section(4, "", true), 1},
        {"huge and non-numeric values are ignored",
         Section(4, "XP1=1e999\nXP2=abc\nXP3=-inf\nXP4=nan\nXP5=+-1\nXP6=2.5volts\n"), 1},
        {"a zero frequency skips that section only", Section(4) + Section(5, "F3=0\n") + Section(6),
         2},
        {"a section without frequencies is skipped", Section(4, "", false) + Section(5), 1},
        {"serial 0 is never stored", Section(0) + Section(7), 1},
        {"a truncated last line still counts", Section(4).substr(0, Section(4).size() - 1), 1},
        {"empty file", "", 0},
        {"NUL bytes end a line", Section(4, std::string("XP1=1\0XP2=2\n", 12)), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const Read r = ReadText(c.text);
        EXPECT_EQ(r.sections.size(), c.sections);
    }
    const Read numbers = ReadText(cases[2].text);
    ASSERT_EQ(numbers.sections.size(), 1u);
    const auto& primary = numbers.sections[0].record.Primary;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(primary[size_t(i)].X, 0);
    }
    EXPECT_EQ(primary[5].X, 2.5);  // "%lf" takes the number in front
    EXPECT_EQ(numbers.report.warnings.size(), 5u);

    const Read zero = ReadText(cases[3].text);
    EXPECT_EQ(zero.sections[1].id.Serial, 6u);
    EXPECT_EQ(zero.report.warnings.size(), 1u);
}

TEST(CalibrationIni, TheTailOfAnOverlongLineIsNeverALine)
{
    const std::string longComment = "Comment=" + std::string(1100, 'x') + "F1=5\n";
    const Read r = ReadText(Section(8, longComment + "F2=7\n"));
    ASSERT_EQ(r.sections.size(), 1u);
    EXPECT_EQ(r.sections[0].record.Comment.size(), kIniLineLimit - 8);
    EXPECT_EQ(r.sections[0].record.Frequencies[0], 1);
    EXPECT_EQ(r.sections[0].record.Frequencies[1], 7);
    ASSERT_EQ(r.report.warnings.size(), 1u);
    EXPECT_NE(r.report.warnings[0].find("line 16"), std::string::npos);
}

TEST(CalibrationIni, DatesInTheUsualSpellings)
{
    const std::pair<const char*, CalibrationId> cases[] = {
        {"28/02/2007", {1, 2007, 2, 28}}, {"28.02.2007", {1, 2007, 2, 28}},
        {"28-2-2007", {1, 2007, 2, 28}},  {" 28/ 2/ 2007", {1, 2007, 2, 28}},
        {"28/02", {1, 2000, 2, 28}},      {"28 02 2007", {1, 2000, 1, 28}},
        {"someday", {1, 2000, 1, 1}},     {"\"03/04/2005\"", {1, 2005, 4, 3}},
    };
    for (const auto& [date, id] : cases) {
        SCOPED_TRACE(date);
        const Read r = ReadText(Section(1, std::string("Date=") + date + "\n"));
        ASSERT_EQ(r.sections.size(), 1u);
        EXPECT_EQ(r.sections[0].id, id);
    }
}

TEST(CalibrationIni, CommentsReadBackWhole)
{
    const std::pair<const char*, std::string> cases[] = {
        {"plain", "after repair"},
        {"semicolon", "coil 2; recalibrated"},
        {"quotes", "the \"new\" coil; see log"},
        {"one quote", "5\" probe"},
        {"blanks at both ends", "  centred  "},
        {"backslashes", "C:\\data\\"},
        {"backslash before a quote", "a\\\"b"},
        {"empty", ""},
        {"Cyrillic", "Поверка после ремонта"},
        {"quote at the start", "\"quoted\""},
    };
    for (const auto& [legend, comment] : cases) {
        SCOPED_TRACE(legend);
        CalibrationRecord record;
        CalibrationId id;
        DefaultCalibration(record, id);
        record.Comment = comment;
        std::string text;
        WriteCalibrationSection(text, id, record, CodePage());
        const Read r = ReadText(text);
        ASSERT_EQ(r.sections.size(), 1u);
        EXPECT_EQ(r.sections[0].record.Comment, comment);
        std::string again;
        WriteCalibrationSection(again, r.sections[0].id, r.sections[0].record, CodePage());
        EXPECT_EQ(again, text);
    }
    // The handheld wrote comments bare; those without special characters stay bare.
    CalibrationRecord record;
    CalibrationId id;
    DefaultCalibration(record, id);
    std::string text;
    WriteCalibrationSection(text, id, record, CodePage());
    EXPECT_NE(text.find("\tComment=Default calibration data for ORV 9, 28/02/2007\r\n"),
              std::string::npos);
}

TEST(CalibrationIni, CommentsThatCannotBeOneLineAreMadeToFit)
{
    CalibrationRecord record;
    CalibrationId id;
    DefaultCalibration(record, id);
    record.Comment = "first line\r\nsecond line";
    std::string text;
    WriteCalibrationSection(text, id, record, CodePage());
    EXPECT_EQ(ReadText(text).sections.at(0).record.Comment, "first line  second line");

    const std::pair<const char*, std::string> longOnes[] = {
        {"bare", std::string(2000, 'a')},
        {"quoted", std::string(2000, '"')},
        {"Cyrillic in UTF-8",
         [] {
             std::string s;
             for (int i = 0; i < 700; ++i) {
                 s += "Ж";
             }
             return s;
         }()},
    };
    for (const CodePage cp : {CodePage(), CodePage(CodePage::Kind::Utf8)}) {
        for (const auto& [legend, comment] : longOnes) {
            SCOPED_TRACE(std::string(legend) + " in " + cp.Name());
            record.Comment = comment;
            std::string out;
            WriteCalibrationSection(out, id, record, cp);
            const Read r = ReadText(out, "x.ini", cp);
            EXPECT_TRUE(r.report.warnings.empty());
            ASSERT_EQ(r.sections.size(), 1u);
            const std::string& read = r.sections[0].record.Comment;
            EXPECT_GT(read.size(), 400u);
            EXPECT_EQ(comment.compare(0, read.size(), read), 0);  // a prefix, whole characters
        }
    }
}

}  // namespace
}  // namespace orv
