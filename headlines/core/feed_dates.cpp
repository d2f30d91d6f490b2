#include "headlines/core/feed_dates.h"

#include "headlines/core/xml_support.h"

#include <array>
#include <cstdint>
#include <optional>

namespace headlines {

namespace {

// A date's fields as written, the zone as an offset east of UTC.
struct DateFields
{
    int year = 0;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int offsetMinutes = 0;
};

// Reads a date from left to right; every read leaves the position as it was
// when it fails.
class DateScanner
{
public:
    explicit DateScanner(std::string_view text) : m_text(TrimAscii(text)) {}

    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }

    bool Accept(char c)
    {
        if (AtEnd() || m_text[m_pos] != c)
            return false;
        ++m_pos;
        return true;
    }

    void SkipBlanks()
    {
        while (Peek() == ' ' || Peek() == '\t')
            ++m_pos;
    }

    // A number of `minDigits` to `maxDigits` digits.
    std::optional<int> Number(std::size_t minDigits, std::size_t maxDigits)
    {
        std::size_t count = 0;
        int value = 0;
        while (count < maxDigits && Peek() >= '0' && Peek() <= '9') {
            value = value * 10 + (m_text[m_pos++] - '0');
            ++count;
        }
        if (count >= minDigits)
            return value;
        m_pos -= count;
        return std::nullopt;
    }

    std::string_view Word()
    {
        const std::size_t start = m_pos;
        while ((Peek() >= 'a' && Peek() <= 'z') || (Peek() >= 'A' && Peek() <= 'Z'))
            ++m_pos;
        return m_text.substr(start, m_pos - start);
    }

    void SkipDigits()
    {
        while (Peek() >= '0' && Peek() <= '9')
            ++m_pos;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, int month, int day)
{
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::time_t ToEpoch(const DateFields& f)
{
    if (f.year < 1970 || f.year > 9999 || f.month < 1 || f.month > 12 || f.day < 1 ||
        f.day > DaysInMonth(f.year, f.month) || f.hour > 23 || f.minute > 59 || f.second > 60)
        return 0;
    const std::int64_t seconds = DaysFromCivil(f.year, f.month, f.day) * 86400 + f.hour * 3600 +
                                 f.minute * 60 + f.second - std::int64_t{f.offsetMinutes} * 60;
    return seconds > 0 ? static_cast<std::time_t>(seconds) : 0;
}

// "Sep", "sep", "September": the month's number, or 0.
int MonthNumber(std::string_view word)
{
    constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    if (word.size() < 3)
        return 0;
    for (std::size_t i = 0; i < kMonths.size(); ++i)
        if (EqualsAsciiNoCase(word.substr(0, 3), kMonths[i]))
            return static_cast<int>(i) + 1;
    return 0;
}

// RFC 822's zone names and the common European ones, in minutes east of
// UTC. Military letters and names it does not know are read as UTC, as
// RFC 1123 advises.
int NamedZoneOffset(std::string_view name)
{
    struct Zone
    {
        std::string_view name;
        int hours;
    };
    constexpr std::array<Zone, 12> kZones = {{{"EST", -5},
                                              {"EDT", -4},
                                              {"CST", -6},
                                              {"CDT", -5},
                                              {"MST", -7},
                                              {"MDT", -6},
                                              {"PST", -8},
                                              {"PDT", -7},
                                              {"CET", 1},
                                              {"CEST", 2},
                                              {"BST", 1},
                                              {"EET", 2}}};
    for (const Zone& zone : kZones)
        if (EqualsAsciiNoCase(name, zone.name))
            return zone.hours * 60;
    return 0;
}

// "+0200", "+02:00", "+02", "-0530": minutes east of UTC.
std::optional<int> NumericZoneOffset(DateScanner& scan)
{
    const int sign = scan.Accept('+') ? 1 : scan.Accept('-') ? -1 : 0;
    if (sign == 0)
        return std::nullopt;
    const std::optional<int> hours = scan.Number(2, 2);
    if (!hours || *hours > 23)
        return std::nullopt;
    scan.Accept(':');
    const int minutes = scan.Number(2, 2).value_or(0);
    if (minutes > 59)
        return std::nullopt;
    return sign * (*hours * 60 + minutes);
}

// "09:42", "09:42:31", "09:42:31.25".
bool ReadTime(DateScanner& scan, DateFields& fields, std::size_t minHourDigits)
{
    const std::optional<int> hour = scan.Number(minHourDigits, 2);
    if (!hour || !scan.Accept(':'))
        return false;
    const std::optional<int> minute = scan.Number(2, 2);
    if (!minute)
        return false;
    fields.hour = *hour;
    fields.minute = *minute;
    if (scan.Accept(':')) {
        const std::optional<int> second = scan.Number(2, 2);
        if (!second)
            return false;
        fields.second = *second;
        if (scan.Accept('.') || scan.Accept(','))
            scan.SkipDigits();
    }
    return true;
}

bool ReadRfc822Zone(DateScanner& scan, DateFields& fields)
{
    if (scan.Peek() == '+' || scan.Peek() == '-') {
        const std::optional<int> offset = NumericZoneOffset(scan);
        if (!offset)
            return false;
        fields.offsetMinutes = *offset;
        return true;
    }
    fields.offsetMinutes = NamedZoneOffset(scan.Word());
    return true;
}

// "Sat, 07 Sep 2002", "7 September 02", "07-Sep-2002".
bool ReadRfc822Day(DateScanner& scan, DateFields& fields)
{
    scan.SkipBlanks();
    if (!scan.Word().empty()) { // the weekday
        scan.Accept(',');
        scan.SkipBlanks();
    }
    const std::optional<int> day = scan.Number(1, 2);
    scan.SkipBlanks();
    scan.Accept('-');
    const int month = MonthNumber(scan.Word());
    scan.SkipBlanks();
    scan.Accept('-');
    const std::optional<int> year = scan.Number(2, 4);
    if (!day || month == 0 || !year)
        return false;
    fields.day = *day;
    fields.month = month;
    fields.year = *year >= 100 ? *year : *year < 50 ? 2000 + *year : 1900 + *year;
    return true;
}

} // namespace

std::time_t ParseRfc822Date(std::string_view text)
{
    DateScanner scan(text);
    DateFields fields;
    if (!ReadRfc822Day(scan, fields))
        return 0;
    scan.SkipBlanks();
    if (scan.AtEnd())
        return ToEpoch(fields);
    if (!ReadTime(scan, fields, 1))
        return 0;
    scan.SkipBlanks();
    if (!ReadRfc822Zone(scan, fields))
        return 0;
    return ToEpoch(fields);
}

std::time_t ParseRfc3339Date(std::string_view text)
{
    DateScanner scan(text);
    DateFields fields;
    const std::optional<int> year = scan.Number(4, 4);
    if (!year)
        return 0;
    fields.year = *year;
    if (scan.Accept('-')) {
        const std::optional<int> month = scan.Number(2, 2);
        if (!month)
            return 0;
        fields.month = *month;
        if (scan.Accept('-')) {
            const std::optional<int> day = scan.Number(2, 2);
            if (!day)
                return 0;
            fields.day = *day;
        }
    }
    if (scan.Accept('T') || scan.Accept('t') || scan.Accept(' ')) {
        if (!ReadTime(scan, fields, 2))
            return 0;
        scan.SkipBlanks();
        if (!scan.Accept('Z') && !scan.Accept('z') && !scan.AtEnd()) {
            const std::optional<int> offset = NumericZoneOffset(scan);
            if (!offset)
                return 0;
            fields.offsetMinutes = *offset;
        }
    }
    return ToEpoch(fields);
}

std::time_t ParseFeedDate(std::string_view text)
{
    DateScanner scan(text);
    if (scan.Number(4, 4) && (scan.AtEnd() || scan.Accept('-')))
        return ParseRfc3339Date(text);
    return ParseRfc822Date(text);
}

} // namespace headlines
