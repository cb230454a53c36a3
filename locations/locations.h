// The table of named locations (virtual buoys) offered in the time-series
// and line-drawing dialogs, read from the fixed-column location file.
#ifndef TIDECHARTER_LOCATIONS_LOCATIONS_H
#define TIDECHARTER_LOCATIONS_LOCATIONS_H

#include <istream>
#include <string>
#include <vector>

struct LocationRecord {
  std::string cityname = std::string(34, ' ');
  int latsouth = 0, latnorth = 0, lonwest = 0, loneast = 0;
  float buoylat = 0.0f, buoylon = 0.0f;
  int spare1 = 0, spare2 = 0;
};

struct LocationTable {
  static constexpr int kMaxRecords = 50;
  std::vector<LocationRecord> records;  // record i is records[i - 1]
  int ncity() const { return static_cast<int>(records.size()); }
};

// Program paths of the location files by edition.
extern const char* const kPacificLocationFile;
extern const char* const kGlobalLocationFile;

// Reads at most 50 records with (A34,I6,I8,I8,I8,F12.2,F12.2,I11,I12),
// passing over blank lines and stopping at the first line that does not
// read; returns ncity.
int readbuoy(std::istream& in, LocationTable& table);

// Puts record `index`'s box into the region fields of the current dialog
// (kPlotSouthBox and its letter menu, and so on). kind is "line".
void buoyselect(const LocationTable& table, int index, const std::string& kind);

// Whether the record's box widened by 0.8 degrees holds the point.
bool inwidenedbox(const LocationRecord& r, float lat, float lon);
// First record (from 2) whose box widened by 0.8 degrees holds the point.
void buoycompare(const LocationTable& table, float lat, float lon, int ncity,
                 int& found);

// The record's name prepared for a quoted Ferret label (34 characters).
void scancity(const LocationTable& table, int ncity, int index, std::string& name);

#endif
