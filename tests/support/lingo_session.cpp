#include "tests/support/lingo_session.h"

#include "host/host_ids.h"

namespace zephyx::testsupport {

void LingoSessionFixture::SetUp() {
  std::string error;
  ASSERT_TRUE(host.loadLibrary(ZEPHYX_LIBRARY_PATH, &error)) << error;
  renew();
}

void LingoSessionFixture::TearDown() {
  if (object) {
    object->call("forget");
    object.reset();
  }
  host.scriptContext().clearCalls();
  HostFixture::TearDown();
}

std::string LingoSessionFixture::call(const std::string& method,
                                      const std::vector<std::string>& literals) {
  return callOn(*object, method, literals);
}

std::string LingoSessionFixture::callOn(standin::LingoObject& target, const std::string& method,
                                        const std::vector<std::string>& literals) {
  std::vector<OwnedValue> owned;
  std::vector<HostValue> args;
  for (const std::string& literal : literals) {
    owned.push_back(lingo(literal));
    args.push_back(owned.back().get());
  }
  HostStatus status = -1;
  OwnedValue result = target.call(method, args, &status);
  EXPECT_EQ(status, StatusOk) << method;
  return format(result);
}

void LingoSessionFixture::renew(const std::vector<std::string>& newLiterals) {
  if (object) {
    object->call("forget");
    object.reset();
  }
  std::vector<OwnedValue> owned;
  std::vector<HostValue> args;
  for (const std::string& literal : newLiterals) {
    owned.push_back(lingo(literal));
    args.push_back(owned.back().get());
  }
  object = standin::LingoObject::create(host, hostids::ZephyxClass, args);
  ASSERT_NE(object, nullptr);
}

}  // namespace zephyx::testsupport
