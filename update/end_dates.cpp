#include "update/end_dates.h"

#include <cctype>
#include <filesystem>
#include <fstream>

#include "toolkit/toolkit.h"

const char* const kEndDateFiles[3] = {"c:\\tidecharter\\tmp\\ArgoEndDate.txt",
                                      "c:\\tidecharter\\tmp\\AvisoEndDate.txt",
                                      "c:\\tidecharter\\tmp\\ReynoldsEndDate.txt"};

namespace {

const int kMissingEndDate = 100;

// An (Iw) field as read from a file: blanks are ignored, an all-blank or
// malformed field does not read. An all-blank field would read as 0 and
// reject every month, so it counts as unreadable here.
bool readintegerfield(const std::string& field, int& value) {
  std::string digits;
  for (char c : field)
    if (c != ' ') digits += c;
  if (digits.empty()) return false;
  std::size_t pos = 0;
  bool negative = false;
  if (digits[0] == '+' || digits[0] == '-') {
    negative = digits[0] == '-';
    pos = 1;
  }
  if (pos == digits.size()) return false;
  int result = 0;
  for (; pos < digits.size(); ++pos) {
    if (!std::isdigit(static_cast<unsigned char>(digits[pos]))) return false;
    result = result * 10 + (digits[pos] - '0');
  }
  value = negative ? -result : result;
  return true;
}

// What an import keeps in tmp while it runs (links to its new files, the
// derived files made from them), left behind when it was killed.
bool importleftovers() {
  std::error_code error;
  std::filesystem::directory_iterator entry(IOsHostPath("c:\\tidecharter\\tmp"), error);
  for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error))
    if (entry->path().filename().string().rfind(".import-", 0) == 0) return true;
  return false;
}

}  // namespace

void enddatequery(int timeoutSeconds) {
  IOsCommand("c:\\tidecharter\\bin\\tcferret.bat /cygdrive/c/tidecharter/ferret/TMAP/go/GetDates.jnl",
             3, timeoutSeconds);
}

void finishstoppedcommit() {
  // The journal of renames, or the list of months an import appended in
  // place before its journal was written, or a dead import's work.
  std::error_code error;
  if (!std::filesystem::exists(IOsHostPath("c:\\tidecharter\\data\\.append_commit"), error) &&
      !std::filesystem::exists(IOsHostPath("c:\\tidecharter\\data\\.append_undo"), error) &&
      !importleftovers())
    return;
  IOsCommand("c:\\tidecharter\\bin\\tc_update_check.py recover", 3, 60);
}

int readenddatefile(const std::string& programPath) {
  std::ifstream in(IOsHostPath(programPath));
  if (!in) return kMissingEndDate;
  return readenddate(in);
}

int readenddate(std::istream& in) {
  int enddate = kMissingEndDate;
  readenddate(in, enddate);
  return enddate;
}

bool readenddate(std::istream& in, int& enddate) {
  enddate = kMissingEndDate;
  std::string line;
  for (int i = 0; i < 3; ++i)
    if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // (23X,I4): a short line reads as if padded with blanks.
  std::string field = line.size() > 23 ? line.substr(23, 4) : std::string();
  field.resize(4, ' ');
  return readintegerfield(field, enddate);
}

void getenddates(int& argoend, int& avisoend, int& reynoldsend) {
  argoend = readenddatefile(kEndDateFiles[0]);
  avisoend = readenddatefile(kEndDateFiles[1]);
  reynoldsend = readenddatefile(kEndDateFiles[2]);
}
