// One Lingo object of the loaded library, for tests of the whole system.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/host_fixture.h"

namespace zephyx::testsupport {

// Loads the shared library into the fixture's host; `object` is a Lingo
// object made with `new`, forgotten and released before the leak check.
class LingoSessionFixture : public HostFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Calls a method with arguments given in Lingo notation; the result in
  // Lingo notation ("VOID" when none was set).
  std::string call(const std::string& method, const std::vector<std::string>& literals = {});
  // The same on another Lingo object of this host.
  std::string callOn(standin::LingoObject& target, const std::string& method,
                     const std::vector<std::string>& literals = {});
  // A fresh object, replacing `object` (the old one is forgotten).
  void renew(const std::vector<std::string>& newLiterals = {});

  std::unique_ptr<standin::LingoObject> object;
};

}  // namespace zephyx::testsupport
