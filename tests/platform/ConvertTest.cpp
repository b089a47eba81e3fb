#include "platform/Convert.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <ostream>
#include <utility>

#include "platform/Error.h"
#include "platform/FakeServices.h"

namespace platform {
// Readable failures: the printer of a date's parts is defined with the date tests.
void PrintTo(const DateParts& p, std::ostream* os);
}  // namespace platform

namespace {

using platform::Date;
using platform::DateParts;
using platform::RegionalSettings;

const RegionalSettings kUs = RegionalSettings::us_english();
const RegionalSettings kGb = RegionalSettings::british_english();

struct ParseCase {
    const char* text;
    std::optional<DateParts> expected;  // nothing: the date test refuses the text
};

// Reads each text under the settings: the date test agrees with the reading, and the reading
// gives the expected parts or nothing.
void expect_reads(const RegionalSettings& settings, std::initializer_list<ParseCase> cases) {
    for (const auto& c : cases) {
        const auto date = platform::parse_date(c.text, settings);
        EXPECT_EQ(platform::is_date(c.text, settings), date.has_value()) << c.text;
        EXPECT_EQ(date ? std::optional(platform::split_rounded(*date)) : std::nullopt, c.expected)
            << settings.name << " \"" << c.text << "\"";
    }
}

void expect_refuses(const RegionalSettings& settings, std::initializer_list<const char*> texts) {
    for (const char* text : texts)
        expect_reads(settings, {{text, std::nullopt}});
}

constexpr DateParts day(int y, int m, int d, int h = 0, int n = 0, int s = 0) {
    return {y, m, d, h, n, s};
}
constexpr DateParts time_of_day(int h, int n, int s = 0) {
    return {1899, 12, 30, h, n, s};
}

// The texts the date and time keypads produce: month, day, two-digit year, then the time with
// or without the designator, and the partial entries a person can leave.
TEST(DateTextTest, KeypadTextsUnderUsEnglish) {
    expect_reads(kUs, {{"12/04/26 08:30  AM", day(2026, 12, 4, 8, 30)},
                       {"12/04/26 08:30  PM", day(2026, 12, 4, 20, 30)},
                       {"12/04/26 12:30  AM", day(2026, 12, 4, 0, 30)},
                       {"12/04/26 12:30  PM", day(2026, 12, 4, 12, 30)},
                       {"12/04/26 15:30", day(2026, 12, 4, 15, 30)},
                       {"12/04/26 00:00  AM", day(2026, 12, 4)},
                       {"12/04/26 00:00  PM", day(2026, 12, 4, 12, 0)},
                       {"12/04/26 00:30  PM", day(2026, 12, 4, 12, 30)},
                       {"12/04/26", day(2026, 12, 4)},
                       {"12/04/26 08:3   AM", day(2026, 12, 4, 8, 3)},
                       {"8:30", time_of_day(8, 30)},
                       {"0:00", time_of_day(0, 0)},
                       {"23:59", time_of_day(23, 59)}});
    expect_refuses(
        kUs, {"12/04/26 24:00", "12/04/26 08:60  AM", "13/31/26", "02/30/26 08:00  AM",
              "12/04/26 08:    AM", "12/04/26 0 :    AM", "12/04/26   :    AM", "12/04/2  :    AM",
              "  /  /     :    AM", "12/0 /     :    AM", "24:00", "9:60", "99:99"});
}

// The same texts under British English: the keypads still write the month first, so a day
// above twelve only reads through the fallback orders, and a day that could be a month swaps.
// The settings let a period separate the parts of a time.
TEST(DateTextTest, KeypadTextsUnderBritishEnglish) {
    expect_reads(kGb, {{"12/04/26 08:30  AM", day(2026, 4, 12, 8, 30)},
                       {"12/31/26 08:30  PM", day(2026, 12, 31, 20, 30)},
                       {"12/04/26 15:30", day(2026, 4, 12, 15, 30)},
                       {"12/04/26", day(2026, 4, 12)},
                       {"04/12/2026 8.30.15", day(2026, 12, 4, 8, 30, 15)}});
    expect_refuses(kGb, {"13/31/26", "12/04/26 24:00"});
}

// Separators and blanks, month names, designators, two-digit years through the window ending
// in 2049, the far ends of the calendar, the fallback orders (year first, then day first), and
// periods between the parts of a time.
TEST(DateTextTest, GeneralReadingRules) {
    expect_reads(kUs, {{"12-4-2026", day(2026, 12, 4)},
                       {"12 4 2026", day(2026, 12, 4)},
                       {"  12/4/2026  ", day(2026, 12, 4)},
                       {"12 / 4 / 2026", day(2026, 12, 4)},
                       {"12/4/2026 4:51:10 PM", day(2026, 12, 4, 16, 51, 10)},
                       {"4:51 PM 12/4/2026", day(2026, 12, 4, 16, 51)},
                       {"December 4, 2026", day(2026, 12, 4)},
                       {"4 dec 2026", day(2026, 12, 4)},
                       {"DEC 4 2026 8:30 am", day(2026, 12, 4, 8, 30)},
                       {"Dec 2026", day(2026, 12, 1)},
                       {"8:30pm", time_of_day(20, 30)},
                       {"8:30 p", time_of_day(20, 30)},
                       {"8:30 A", time_of_day(8, 30)},
                       {"8 PM", time_of_day(20, 0)},
                       {"12 AM", time_of_day(0, 0)},
                       {"12:00:01 PM", time_of_day(12, 0, 1)},
                       {"13:15 AM", time_of_day(13, 15)},
                       {"1/1/49", day(2049, 1, 1)},
                       {"1/1/50", day(1950, 1, 1)},
                       {"1/1/00", day(2000, 1, 1)},
                       {"1/1/0100", day(100, 1, 1)},
                       {"12/31/9999 23:59:59", day(9999, 12, 31, 23, 59, 59)},
                       {"2026/12/4", day(2026, 12, 4)},
                       {"2026-12-04 08:30", day(2026, 12, 4, 8, 30)},
                       {"31/12/2026", day(2026, 12, 31)},
                       {"13/4/26", day(2026, 4, 13)},
                       {"04.28.14", time_of_day(4, 28, 14)},
                       {"12.5", time_of_day(12, 5)}});
    // Words that are no month or designator, a second designator, a year past the calendar.
    expect_refuses(kUs, {"Decem 4 2026", "8:30 PM PM", "AM 8:30", "8:30 XM", "1/1/10000", "abc"});
    // Nothing, a lone number, and separators without their parts.
    expect_refuses(kUs,
                   {"", "   ", "12", "12/", "12/4/", "/12/4/2026", "12//4/2026", "12/4/2026/1"});
    expect_refuses(kUs, {"8:", "8:30:", "8:30:15:10", ":30", "04.28.2014", "1234567890/1/1"});
    // A day the calendar lacks, two times, a time inside the date, a stray letter.
    expect_refuses(kUs, {"2/29/2026", "12/4/2026 8:30 9:30", "12/4 8:30 2026", "12/4/2026x"});
}

// A day and a month without a year fall in the current year of the platform clock; a month
// with a number that can only be a year (above 31, or more than two digits) is its first day.
TEST(DateTextTest, DatesWithoutYearTakeTheClocksYear) {
    platform::FakeServices fake(*platform::make_date(2030, 6, 1));
    platform::ServicesScope scope(fake);
    expect_reads(kUs, {{"12/4", day(2030, 12, 4)},
                       {"31/12 8:30", day(2030, 12, 31, 8, 30)},
                       {"4 Dec", day(2030, 12, 4)},
                       {"12/45", day(2045, 12, 1)},
                       {"2026/12", day(2026, 12, 1)}});
    expect_refuses(kUs, {"2/30", "13/13"});
    expect_reads(kGb, {{"4/12", day(2030, 12, 4)}, {"12/31", day(2030, 12, 31)}});
}

// Settings that keep the period for other uses read no time from it.
TEST(DateTextTest, PeriodSeparatesTimeOnlyWhereTheSettingsAllowIt) {
    RegionalSettings settings = kGb;
    settings.period_separates_time = false;
    expect_refuses(settings, {"8.30", "04/12/2026 8.30.15"});
}

TEST(DateTextTest, GeneralForm) {
    struct Case {
        DateParts parts;
        const char* us;
        const char* gb;
    };
    const Case cases[] = {
        {day(2026, 12, 4, 16, 51, 10), "12/4/2026 4:51:10 PM", "04/12/2026 16:51:10"},
        {day(2026, 12, 4), "12/4/2026", "04/12/2026"},
        {time_of_day(8, 30), "8:30:00 AM", "08:30:00"},
        {time_of_day(0, 0), "12:00:00 AM", "00:00:00"},
        {day(2026, 1, 2, 12, 0, 5), "1/2/2026 12:00:05 PM", "02/01/2026 12:00:05"},
        {day(100, 1, 1, 0, 0, 1), "1/1/0100 12:00:01 AM", "01/01/0100 00:00:01"},
        {day(1899, 12, 25, 6, 0, 0), "12/25/1899 6:00:00 AM", "25/12/1899 06:00:00"},
    };
    for (const auto& c : cases) {
        const Date date = *platform::make_date_time(c.parts);
        EXPECT_EQ(platform::date_to_text(date, kUs), c.us);
        EXPECT_EQ(platform::date_to_text(date, kGb), c.gb);
    }
}

// Named runs, 12-hour designators in either case, the minutes an "m" means after an hour or
// before seconds, the weekday of the calendar's first day, and literals quoted or escaped.
TEST(FormatTest, DateFormats) {
    struct Case {
        DateParts parts;
        const char* format;
        const char* text;
    };
    const DateParts morning = day(2026, 12, 4, 8, 5, 9);
    const Case cases[] = {
        {morning, "mmddyyHHnn", "1204260805"},
        {day(2026, 1, 2, 23, 59), "mmddyyHHnn", "0102262359"},
        {morning, "yyyy-mm-dd hh:mm:ss", "2026-12-04 08:05:09"},
        {morning, "m/d/yy h:m", "12/4/26 8:5"},
        {morning, "h:nn m/d", "8:05 12/4"},
        {morning, "hh:nn:ss mm/dd/yyyy", "08:05:09 12/04/2026"},
        {morning, "mm:ss", "05:09"},
        {morning, "h:nn AM/PM", "8:05 AM"},
        {day(2026, 12, 4, 0, 5), "hh:nn am/pm", "12:05 am"},
        {day(2026, 12, 4, 12, 5), "h:nn AM/PM", "12:05 PM"},
        {day(2026, 12, 4, 13, 5), "h:n a/p", "1:5 p"},
        {morning, "dddd d mmmm yyyy", "Friday 4 December 2026"},
        {morning, "ddd mmm", "Fri Dec"},
        {day(100, 1, 1), "ddd dd/mm/yyyy", "Fri 01/01/0100"},
        {morning, "\"at\" h\\h nn", "at 8h 05"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::format_date(*platform::make_date_time(c.parts), c.format), c.text)
            << c.format;
}

// Halves round away from zero, on the decimal digits rather than the binary value (2.675).
TEST(FormatTest, NumberFormats) {
    struct Case {
        double value;
        const char* format;
        const char* text;
    };
    const Case cases[] = {
        {830, "0:00", "8:30"},
        {0, "0:00", "0:00"},
        {5, "0:00", "0:05"},
        {9999, "0:00", "99:99"},
        {10.0 / 60.0, ".000", ".167"},
        {1.0 / 60.0, ".000", ".017"},
        {0.0005, ".000", ".001"},
        {-0.0005, ".000", "-.001"},
        {0.0004, ".000", ".000"},
        {2.675, "0.00", "2.68"},
        {1.5, ".000", "1.500"},
        {0.9996, ".000", "1.000"},
        {1234567.891, "#,##0.00", "1,234,567.89"},
        {-8.5, "0.0", "-8.5"},
        {-8.5, "0.0;(0.0)", "(8.5)"},
        {0.25, "0%", "25%"},
        {3.1, "0.##", "3.1"},
        {12, "\"$\"#,##0.00", "$12.00"},
        {-1234.5, "\\$#,##0.00;(\\$#,##0.00)", "($1,234.50)"},
        {0, "0.0;(0.0);\"none\"", "none"},
        {0.4, "#", ""},
        {7, "0.##", "7."},
        {7.5, "0.00\\", "7.50\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::format_number(c.value, c.format), c.text)
            << c.value << " with " << c.format;
}

TEST(NumberTextTest, LeadingNumber) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"12.5", 12.5},     {"7 days", 7},  {"", 0},      {"abc", 0},     {"  42", 42},
        {"-3.25x", -3.25},  {"1 2 3", 123}, {".5", 0.5},  {"1.2.3", 1.2}, {"1e3", 1000},
        {"2d2", 200},       {"1e", 1},      {"&H1F", 31}, {"&HFFFF", -1}, {"&H10000", 65536},
        {"&HFFFFFFFF", -1}, {"&o178", 15},  {"+8", 8},    {"1,5", 1},     {"-", 0},
        {"25E-1", 2.5},     {"1e+2", 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::leading_number(c.text), c.value) << c.text;
    EXPECT_THROW(platform::leading_number("1e999"), platform::RaisedError);
}

TEST(NumberTextTest, ParseNumber) {
    const std::pair<const char*, double> cases[] = {
        {"12.5", 12.5},  {" -8 ", -8.0},   {"1,234.5", 1234.5}, {"1e3", 1000.0},
        {"&HFF", 255.0}, {"&HFFFF", -1.0}, {".5", 0.5},         {"5.", 5.0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(platform::parse_number(text, kUs), value) << text;
    for (const char* text : {"&H", "&H1G", "", "-", "12 hours", "1e", ",5", "1,", "True"})
        EXPECT_EQ(platform::parse_number(text, kUs), std::nullopt) << text;
}

// The shortest digits that read back, in exponent form from 1E+15 and below 1E-05.
TEST(NumberTextTest, ShortestTextThatReadsBack) {
    const std::pair<double, const char*> cases[] = {
        {18.0, "18"},        {12.5, "12.5"},        {1.0 / 3.0, "0.3333333333333333"},
        {8.167, "8.167"},    {0.0001, "0.0001"},    {1e-5, "0.00001"},
        {9.5e-6, "9.5E-06"}, {1.5e-7, "1.5E-07"},   {999999999999999.0, "999999999999999"},
        {1e15, "1E+15"},     {-2.5e16, "-2.5E+16"},
    };
    for (const auto& [number, text] : cases)
        EXPECT_EQ(platform::number_to_text(number), text) << number;
}

}  // namespace
