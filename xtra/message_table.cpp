#include "xtra/message_table.h"

const char MessageTableFirstLine[] = "xtra Zephyx -- version %s.%s\n";
const char MessageTableVersionMajor[] = "1";
const char MessageTableVersionMinor[] = "4";
