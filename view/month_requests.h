// A window's picture as a month of its request: the request the program
// keeps beside the picture (a batch request section, request.ini) turned
// into the request of every month, which the batch run writes command
// files for; and what those files say.
#ifndef TIDECHARTER_VIEW_MONTH_REQUESTS_H
#define TIDECHARTER_VIEW_MONTH_REQUESTS_H

#include <map>
#include <string>
#include <vector>

// The value of `key` in request lines (the first section's), trimmed;
// "" when absent.
std::string requestvalue(const std::vector<std::string>& request, const std::string& key);

// The request's first section without the keys `drop` and those of the
// lines `add`, which follow it.
std::string rewritten(const std::vector<std::string>& request, const std::vector<std::string>& drop,
                      const std::vector<std::string>& add);

// The request of month `month` alone (0: as it is), written as `output`.
std::string monthrequest(const std::vector<std::string>& request, int month, const std::string& output);

// The request with its start, end, months and output replaced by
// `months = MONTHS` and `output = OUTPUT`, and with `extra` lines (such as
// "fill = ...", "speed = 4") replacing keys of their own.
std::string monthsrequest(const std::vector<std::string>& request, const std::string& months,
                          const std::string& output, const std::vector<std::string>& extra = {});

// A month index from "YYYY-MM"; 0 when it is not one.
int monthofkey(const std::string& text);
// "YYYY-MM" of a month index.
std::string keyofmonth(int month);

// Why a window's picture has no month to step, "" when it has one: its
// go script draws time on an axis, it averages several months, or it was
// not drawn from a dialog's request.
std::string nostepreason(const std::vector<std::string>& request, const std::vector<std::string>& commands);

// The command files the batch run wrote into `dir` for every month, as
// m<YYYY><MM>.jnl: month index -> path.
std::map<int, std::string> monthfiles(const std::string& dir);

// The colour levels a batch run chose for its months, from a command
// file's "! levels TEXT" heading line; "" when there is none.
std::string chosenlevels(const std::vector<std::string>& journal);

// Why a picture shows no data, from Ferret's output (the go scripts'
// "Empty frame: REASON"); "" when it shows some.
std::string nodatareason(const std::vector<std::string>& ferretlog);

#endif
