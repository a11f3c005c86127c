#include "tests/support/listening_session.h"

namespace zephyx::testsupport {

void ListeningFixture::SetUp() {
  LingoSessionFixture::SetUp();
  host.scriptContext().setHandler("onOsc", [](const standin::HandlerCall&) { return StatusOk; });
}

std::string ListeningFixture::listen(bool asPropList, const std::vector<std::string>& extra) {
  std::string result;
  for (int attempt = 0; attempt < 20; ++attempt) {
    port = freeUdpPort();
    std::vector<std::string> args = {std::to_string(port), asPropList ? "1" : "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    result = call("startListening", args);
    if (result != "\"unable to bind udp socket\"") break;
  }
  return result;
}

std::vector<std::string> ListeningFixture::calls() const {
  std::vector<std::string> texts;
  for (const standin::RecordedCall& call : host.scriptContext().calls()) texts.push_back(call.text);
  return texts;
}

bool ListeningFixture::pumpForCalls(size_t count) {
  return pumpUntil(host, [&] { return host.scriptContext().calls().size() >= count; });
}

}  // namespace zephyx::testsupport
