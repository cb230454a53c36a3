#include "app/tidecharter_main.h"

int main() { return tidecharter_main(); }
