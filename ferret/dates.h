// Month indices, date texts, longitudes and the seconds-of-the-year clock.
// A month index counts months from January 2004 = 1.
#ifndef TIDECHARTER_FERRET_DATES_H
#define TIDECHARTER_FERRET_DATES_H

#include <string>

// datetext (8, "Jan 2004"), monthname (9, right-justified), numtext (6,
// "012004"). The texts are resized to their widths first; for a year above
// 2104 (or below 2004) their year characters keep their previous content.
void writedate(int index, std::string& datetext, std::string& monthname,
               int& year, std::string& numtext);

// direction 1: a western longitude (hemisphere 2) becomes degrees east.
void longconv(float& longitude, int& hemisphere, int direction);

// Seconds since the start of the year, 1 January 00:00:00 giving 86400.
void dateinseconds(int year, int month, int day, int hour, int minute,
                   int second, int& seconds);

// "Dec2007": the compact date text of a month index.
std::string compactdate(int index);

// The last year of a monthly average of calendar month `month` over a data
// set that ends at month index `dataend`.
int averagelastyear(int month, int dataend);

// Whether `year` is in the leap-year table that dateinseconds uses.
bool isleapyear(int year);

// Seconds-of-the-year readings made comparable across the turn of the year:
// a count of seconds from 1 January 2000 under the same leap-year table.
long long absoluteseconds(int year, int secondsOfYear);

// The year of an earlier seconds-of-the-year reading, given the year and
// seconds of a reading taken at most a few months after it.
int yearofreading(int secondsOfYear, int nowYear, int nowSeconds);

// Month index from dialog menu items (year item 1 = 2004).
inline int monthindex(int yearItem, int monthItem) { return (yearItem - 1) * 12 + monthItem; }

#endif
