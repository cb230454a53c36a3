#include "plots/notanoption.h"

UserMessage notanoption() { return UserMessage{"Not an option", "This combination is not an option.", ""}; }
