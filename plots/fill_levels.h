// The fill-level controls shared by every plot dialog: radio group kPlotDefaultLevelsRadio
// ("Use default levels" / "Specify levels"), text field kPlotLevelsBox and hint kPlotLevelsHint.
#ifndef TIDECHARTER_PLOTS_FILL_LEVELS_H
#define TIDECHARTER_PLOTS_FILL_LEVELS_H

#include <optional>
#include <string>

#include "core/user_message.h"

// Keeps kPlotLevelsBox and kPlotLevelsHint in step with the radio group of the current dialog;
// a changed property falls back to the default levels. `hint` is 44
// characters.
void filllevelcheck(int property, int previousProperty, const std::string& hint);

// True when `text` (trailing blanks ignored) is one or more groups like
// "(8,22,2)" made of numbers, commas, signs, decimal points, exponents and
// "inf", each optionally followed by the level suffix C or D, with no
// blanks; an all-blank text (no levels typed) is accepted too. Anything else
// could run as a Ferret command on the go line.
bool filltextvalid(const std::string& text);

// Reads the 44-character fill text of the current dialog: blanks for the
// default levels, else field kPlotLevelsBox as typed. An invalid text gives the
// "Input Error" refusal; the caller tells it and returns.
std::optional<UserMessage> readfilltext(std::string& fill);

#endif
