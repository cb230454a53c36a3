#include "ferret/dates.h"

#include "ferret/record.h"

namespace {

struct MonthRow {
  const char* abbreviation;
  const char* name;
  const char* number;
};

const MonthRow kMonths[13] = {
    {"   ", "         ", "00"},  // any month outside 1..12
    {"Jan", "  January", "01"}, {"Feb", " February", "02"},
    {"Mar", "    March", "03"}, {"Apr", "    April", "04"},
    {"May", "      May", "05"}, {"Jun", "     June", "06"},
    {"Jul", "     July", "07"}, {"Aug", "   August", "08"},
    {"Sep", "September", "09"}, {"Oct", "  October", "10"},
    {"Nov", " November", "11"}, {"Dec", " December", "12"},
};

const int kLeapYears[9] = {2004, 2008, 2012, 2016, 2020, 2024, 2028, 2032, 2036};
const int kSecondsPerDay = 86400;

}  // namespace

void writedate(int index, std::string& datetext, std::string& monthname,
               int& year, std::string& numtext) {
  datetext.resize(8, ' ');
  monthname.resize(9, ' ');
  numtext.resize(6, ' ');

  year = (index - 1) / 12 + 2004;
  const int month = index - 12 * ((index - 1) / 12);
  const MonthRow& row = kMonths[(month >= 1 && month <= 12) ? month : 0];
  datetext.replace(0, 3, row.abbreviation);
  monthname = row.name;
  numtext.replace(0, 2, row.number);
  datetext[3] = ' ';
  if (year >= 2004 && year <= 2104) {
    const std::string digits = FormatI(year, 4);
    datetext.replace(4, 4, digits);
    numtext.replace(2, 4, digits);
  }
}

void longconv(float& longitude, int& hemisphere, int direction) {
  if (direction != 1) return;
  if (hemisphere == 2) {
    longitude = 180.0f + (180.0f - longitude);
    hemisphere = 1;
  }
}

bool isleapyear(int year) {
  for (int leap : kLeapYears)
    if (leap == year) return true;
  return false;
}

void dateinseconds(int year, int month, int day, int hour, int minute,
                   int second, int& seconds) {
  int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (isleapyear(year)) days[1] = 29;
  int d = day;
  for (int m = 1; m < month && m <= 12; ++m) d += days[m - 1];
  seconds = d * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

std::string compactdate(int index) {
  std::string datetext(8, ' '), monthname(9, ' '), numtext(6, ' ');
  int year = 0;
  writedate(index, datetext, monthname, year, numtext);
  return datetext.substr(0, 3) + datetext.substr(4, 4);
}

int averagelastyear(int month, int dataend) {
  std::string datetext(8, ' '), monthname(9, ' '), numtext(6, ' ');
  int endyear = 0;
  writedate(dataend, datetext, monthname, endyear, numtext);
  const int endmonth = dataend - 12 * ((dataend - 1) / 12);
  return month <= endmonth ? endyear : endyear - 1;
}

long long absoluteseconds(int year, int secondsOfYear) {
  // Counted from 1 January 2000 with the same leap-year table as
  // dateinseconds, so that the last second of one year and the first of the
  // next stay one second apart.
  long long days = 365LL * (static_cast<long long>(year) - 2000);
  for (int leap : kLeapYears)
    if (leap < year) ++days;
  return days * kSecondsPerDay + secondsOfYear;
}

int yearofreading(int secondsOfYear, int nowYear, int nowSeconds) {
  // A reading taken shortly before `now` but more than half a year "after"
  // it in seconds of the year was taken before the turn of the year.
  const int halfYear = 183 * kSecondsPerDay;
  return secondsOfYear - nowSeconds > halfYear ? nowYear - 1 : nowYear;
}
