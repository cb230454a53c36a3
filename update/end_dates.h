// The data end dates: the last month index of the Argo, AVISO and Reynolds
// data, learnt from three files that Ferret's GetDates.jnl writes.
#ifndef TIDECHARTER_UPDATE_END_DATES_H
#define TIDECHARTER_UPDATE_END_DATES_H

#include <istream>
#include <string>

// Runs tcferret.bat on GetDates.jnl, waiting at most `timeoutSeconds`.
void enddatequery(int timeoutSeconds);

// A commit of the monthly update or of an import that was stopped between
// its renames leaves the data files mixed: finishes it before anything
// reads them. Nothing is started when no commit was stopped.
void finishstoppedcommit();

// Reads the three end-date files; a missing or short file gives 100.
void getenddates(int& argoend, int& avisoend, int& reynoldsend);

// The end-date files in the order Argo, AVISO, Reynolds.
extern const char* const kEndDateFiles[3];

// Reads one end-date file (line 3, format (23X,I4)); 100 when unreadable.
int readenddatefile(const std::string& programPath);
// The same reading from an open stream.
int readenddate(std::istream& in);
// As above; false when line 3 held no number and `enddate` is the 100.
bool readenddate(std::istream& in, int& enddate);

#endif
