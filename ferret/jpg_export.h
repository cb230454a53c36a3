// Create JPG: Ferret metafile, then PostScript, then JPG, shown in dialog 107.
#ifndef TIDECHARTER_FERRET_JPG_EXPORT_H
#define TIDECHARTER_FERRET_JPG_EXPORT_H

#include <string>

class RunLog;

// landflag: 0 = land with bathymetry (slower); vectorflag 0, 1 or 2.
void createjpg(RunLog& log, const std::string& cygwinPath,
               const std::string& outputName, int& ierror, int multicore,
               int landflag, int vectorflag);

// The Ferret wait limit T of step 1, in seconds.
int jpgferretlimit(const std::string& outputName, int multicore, int landflag,
                   int vectorflag);

#endif
