#include "xtra/message_table.h"

namespace zephyx::xtra {

const char MessageTableFirstLine[] = "xtra Zephyx -- version %s.%s\n";

}  // namespace zephyx::xtra
