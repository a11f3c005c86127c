// Lingo notation: any text that parses formats to text that parses again
// and formats to the same text, and nothing made along the way is left over.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "standin/standin_host.h"

using namespace zephyx;

namespace {

void require(bool holds, const char* what, const std::string& detail = "") {
  if (holds) return;
  std::fprintf(stderr, "lingo fuzzer: %s\n%s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static standin::StandInHost* host = new standin::StandInHost;
  const int64_t liveBefore = host->valueTable().liveCount();
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  lingo::ParseResult first = host->parse(text);
  if (first.ok) {
    const std::string formatted = host->format(first.value);
    host->release(first.value);
    lingo::ParseResult second = host->parse(formatted);
    require(second.ok, "formatted text does not parse", formatted + "\n" + second.error);
    const std::string again = host->format(second.value);
    host->release(second.value);
    require(again == formatted, "formatting is not stable", formatted + "\n" + again);
  } else {
    require(first.position <= size, "error position outside the text", first.error);
  }
  require(host->valueTable().liveCount() == liveBefore, "every value released");
  return 0;
}
