// One colour scale for every frame of a months request. Ferret chooses the
// default levels from each picture's own values (about 30 levels, or about
// n centred on zero for anomalies), so the colours of two months would mean
// different values. The batch run asks Ferret once for the values of some
// of the months (the go scripts' range pass, tc_map.jnl) and chooses the
// levels from them the same way, with open ends for a month beyond them.
#ifndef TIDECHARTER_BATCH_FRAME_LEVELS_H
#define TIDECHARTER_BATCH_FRAME_LEVELS_H

#include <string>
#include <vector>

// At most `count` of the months first..last, evenly spread, both ends
// among them.
std::vector<int> samplemonths(int first, int last, int count);

// The levels for the "TCRANGE KIND MIN MAX" lines of a range pass's output:
// "(-inf)(lo,hi,delta)(inf)" with round numbers, about 30 levels over the
// values for KIND auto, about n symmetric about zero for nC. Empty when the
// panels have fixed or the user's own levels, or no values were seen.
std::string framelevels(const std::vector<std::string>& output);

#endif
