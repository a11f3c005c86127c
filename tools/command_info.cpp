// zephyx-host info: what the library tells the host about itself.
#include <cstdio>
#include <iostream>

#include "host/host_ids.h"
#include "tools/commands.h"
#include "tools/tool_host.h"

namespace zephyx::tool {
namespace {

std::string guidText(const HostGuid& id) {
  char text[40];
  const uint8_t* b = id.bytes;
  std::snprintf(text, sizeof text,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                b[15]);
  return text;
}

const char* interfaceName(const HostGuid& id) {
  if (id == hostids::ClassEntry) return "class";
  if (id == hostids::Register) return "IMoaRegister";
  if (id == hostids::MmXScript) return "IMoaMmXScript";
  if (id == hostids::NotificationClient) return "IMoaNotificationClient";
  return "unknown";
}

}  // namespace

int runInfo(const Options& options) {
  standin::StandInHost host;
  if (!loadLibrary(host, options.libraryPath)) return ExitFailure;
  const standin::LoadedLibrary& library = *host.libraries().front();

  std::cout << "library: " << library.path() << "\n";
  for (const ClassInterfaceInfo& entry : library.classInfo(host.memory())) {
    char versions[64];
    std::snprintf(versions, sizeof versions, "0x%08x 0x%08x", entry.classVersion,
                  entry.interfaceVersion);
    std::cout << "class " << guidText(entry.classId) << " " << interfaceName(entry.interfaceId)
              << " " << guidText(entry.interfaceId) << " versions " << versions << "\n";
  }

  const standin::StandInRegistryEntry* registered = host.registeredEntry(hostids::ZephyxClass);
  const standin::RegistryValue* table = registered ? registered->find("msgTable") : nullptr;
  const standin::RegistryValue* safe = registered ? registered->find("safeForShockwave") : nullptr;
  if (table == nullptr || safe == nullptr) {
    std::cerr << "zephyx-host: the library did not register (status " << host.registrationStatus()
              << ")\n";
    return ExitFailure;
  }
  std::cout << "msgTable:\n" << table->bytes;
  std::cout << "safeForShockwave: " << (safe->bytes == std::string(1, '\1') ? 1 : 0) << "\n";
  return ExitSuccess;
}

}  // namespace zephyx::tool
