#include "DateTime.h"

#include <cstring>

namespace halyard {
namespace {

// Reads count decimal digits at text; -1 if any is not a digit.
int ReadDigits(const char* text, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return -1;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given civil date of the proleptic Gregorian
// calendar, counted in 400-year eras so that no table is needed.
int64_t DaysSinceEpoch(int year, int month, int day) {
    const int64_t y = month <= 2 ? year - 1 : year;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t shiftedMonth = month > 2 ? month - 3 : month + 9;
    const int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

}  // namespace

bool ParseUtcTimestamp(const char* text, int64_t* seconds) {
    // Positions of the separators in "YYYY-MM-DDTHH:MM:SSZ".
    if (text == nullptr || std::strlen(text) != 20 || text[4] != '-' || text[7] != '-' ||
        text[10] != 'T' || text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
        return false;
    }
    const int year = ReadDigits(text, 4);
    const int month = ReadDigits(text + 5, 2);
    const int day = ReadDigits(text + 8, 2);
    const int hour = ReadDigits(text + 11, 2);
    const int minute = ReadDigits(text + 14, 2);
    const int second = ReadDigits(text + 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return false;
    }
    *seconds = DaysSinceEpoch(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

}  // namespace halyard
