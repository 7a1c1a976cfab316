// The framework's string class, field splitting and the screen scale rule.
#include <gtest/gtest.h>

#include "framework/String.h"
#include "support/ScreenScale.h"
#include "support/TextFields.h"

namespace {

TEST(StringTest, GrowsFindsAndCuts) {
    CString text(L"C:\\Apps\\Tool 6.5\\Help.chm");
    EXPECT_EQ(text.ReverseFind(L'\\'), 16);
    EXPECT_EQ(text.Find(L'.'), 14);
    EXPECT_EQ(text.Find(L"Help"), 17);
    EXPECT_EQ(text.Find(L"absent"), -1);
    EXPECT_TRUE(text.Left(7) == L"C:\\Apps");
    EXPECT_TRUE(text.Mid(17) == L"Help.chm");
    EXPECT_TRUE(text.Mid(40).IsEmpty());
    CString copy = text;
    copy += L"!";
    EXPECT_TRUE(text != copy);
    copy.Truncate(3);
    EXPECT_STREQ(copy, L"C:\\");

    CString big;
    for (int i = 0; i < 5000; ++i) big += L'x';
    EXPECT_EQ(big.GetLength(), 5000);
    big += big;  // appending itself while the buffer moves
    EXPECT_EQ(big.GetLength(), 10000);
    EXPECT_TRUE(big.IsValid());

    CString formatted;
    formatted.Format(L"%s%s%04d.%s", L"C:\\W\\", L"inst", 7, L"tmp");
    EXPECT_STREQ(formatted, L"C:\\W\\inst0007.tmp");
    formatted.Format(L"%s", big.GetString());
    EXPECT_EQ(formatted.GetLength(), 10000);
}

TEST(ExtractFieldTest, SplitsAtSeparator) {
    const struct {
        const wchar_t* text;
        int index;
        const wchar_t* expected;
    } cases[] = {
        {L"A|B|C", 0, L"A"}, {L"A|B|C", 1, L"B"},  {L"A|B|C", 2, L"C"}, {L"A|B|C", 3, L""},
        {L"A|B|C", -1, L""}, {L"A||C", 1, L""},    {L"A||C", 2, L"C"},  {L"|B", 0, L""},
        {L"|B", 1, L"B"},    {L"whole", 0, L"whole"}, {L"whole", 1, L""}, {L"", 0, L""},
        {L"IMAGE|up|1", 1, L"up"}, {L"A|", 1, L""},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(c.expected, ExtractField(c.text, c.index, L'|')) << c.text << " #" << c.index;
    }
}

// Scales above one, from 96 to 480 dpi, are checked length by length with
// the rendered pictures (test_svg_rendering.cpp); a scale of one or below,
// or none measured yet, leaves every length as it is.
TEST(ScaleToScreenTest, EnlargesOnlyAboveOne) {
    const struct {
        double scale;
        int length;
        int expected;
    } cases[] = {
        {0.0, 58, 58}, {0.0, -5, -5}, {0.75, 58, 58}, {0.75, 15, 15},
    };
    const double saved = ScreenScale;
    for (const auto& c : cases) {
        ScreenScale = c.scale;
        EXPECT_EQ(c.expected, ScaleToScreen(c.length)) << c.scale << " x " << c.length;
    }
    ScreenScale = saved;
}

}  // namespace
