#include "download/HttpDate.h"

#include "app/UtilFuncs.h"

#include <array>
#include <cctype>
#include <ctime>

namespace mw {

namespace {

constexpr std::array<const char*, 7> DayNames = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
constexpr std::array<const char*, 12> MonthNames = {"jan", "feb", "mar", "apr", "may", "jun",
                                                    "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr double SecondsPerDay = 86400.0;
constexpr double UnixEpochDays = 25569.0;

int MonthOf(const std::string& field) {
    const std::string lower = LowerCase(field.substr(0, 3));
    for (size_t i = 0; i < MonthNames.size(); ++i)
        if (lower == MonthNames[i]) return static_cast<int>(i) + 1;
    return 0;
}

bool ReadInt(const std::string& s, int& value) {
    int32_t v = 0;
    if (!TryStrToInt(Trim(s), v)) return false;
    value = v;
    return true;
}

// Takes the text up to the first separator (or all of it) and leaves the rest after it.
std::string TakeField(std::string& rest, char sep) {
    if (sep == ' ')
        while (!rest.empty() && rest[0] == ' ')
            rest.erase(0, 1);
    const size_t p = rest.find(sep);
    std::string field = rest.substr(0, p);
    rest = p == std::string::npos ? "" : rest.substr(p + 1);
    return field;
}

int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The local zone's offset from universal time now, in seconds (daylight time included).
long CurrentLocalOffset() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_gmtoff;
}

} // namespace

TDateTime UnixToDateTime(double unixSeconds) {
    return UnixEpochDays + unixSeconds / SecondsPerDay;
}

TDateTime ParseHTTPDate(const std::string& text) {
    std::string rest = Trim(text);
    if (rest.size() >= 3) {
        const std::string day = LowerCase(rest.substr(0, 3));
        for (const char* d : DayNames)
            if (day == d) {
                const size_t sp = rest.find(' ');
                rest = sp == std::string::npos ? "" : rest.substr(sp + 1);
                break;
            }
    }
    rest = Trim(rest);
    const size_t dash = rest.find('-', 2);
    const size_t space = rest.find(' ');
    const char sep = dash != std::string::npos && dash < space ? '-' : ' ';

    TDateTime value = 0;
    bool valid = true;
    std::string first = TakeField(rest, sep);
    int day = 1, month = 0, year = 1900;
    if (MonthOf(first) != 0 && std::isalpha(static_cast<unsigned char>(first.empty() ? ' ' : first[0]))) {
        month = MonthOf(first);
        if (!ReadInt(TakeField(rest, sep), day)) day = 1;
    } else {
        if (!ReadInt(first, day)) day = 1;
        month = MonthOf(TakeField(rest, sep));
    }
    // Skip spaces that pad the day in the asctime layout ("Nov  6").
    while (!rest.empty() && rest[0] == ' ')
        rest.erase(0, 1);
    std::string yearField = TakeField(rest, ' ');
    if (!ReadInt(yearField, year)) {
        // The asctime layout puts the time before the year.
        year = 1900;
        std::string after = rest;
        std::string yearText = TakeField(after, ' ');
        if (ReadInt(yearText, year)) {
            rest = yearField + (after.empty() ? "" : " " + after);
        } else {
            year = 1900;
            rest = yearField + (rest.empty() ? "" : " " + rest);
        }
    }
    if (year < 80)
        year += 2000;
    else if (year < 100)
        year += 1900;

    double seconds = 0;
    if (rest.find(':') != std::string::npos) {
        std::string timeText = TakeField(rest, ' ');
        int parts[3] = {0, 0, 0};
        for (int i = 0; i < 3; ++i) {
            std::string p = TakeField(timeText, ':');
            if (!ReadInt(p, parts[i])) parts[i] = 0;
        }
        if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59 || parts[0] < 0 || parts[1] < 0 || parts[2] < 0)
            valid = false;
        seconds = parts[0] * 3600.0 + parts[1] * 60.0 + parts[2];
    }
    static constexpr int DaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth[month - 1]) valid = false;
    if (valid)
        value =
            UnixToDateTime(static_cast<double>(DaysFromCivil(year, month, day)) * SecondsPerDay + seconds);

    rest = Trim(rest);
    if (rest.size() > 4 && (rest[0] == '+' || rest[0] == '-')) {
        int hh = 0, mm = 0;
        if (ReadInt(rest.substr(1, 2), hh) && ReadInt(rest.substr(3, 2), mm)) {
            const double offset = (hh * 3600.0 + mm * 60.0) / SecondsPerDay;
            value -= rest[0] == '-' ? -offset : offset;
        }
    }
    return value + CurrentLocalOffset() / SecondsPerDay;
}

} // namespace mw
