#include "standin/library_loader.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "host/host_ids.h"

namespace zephyx::standin {
namespace {

#if defined(_WIN32)
void* openLibrary(const std::string& path, std::string* error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr)
    *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
  return module;
}
void* findExport(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void closeLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
bool isMapped(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr; }
#else
void* openLibrary(const std::string& path, std::string* error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) *error = dlerror();
  return handle;
}
void* findExport(void* handle, const char* name) { return dlsym(handle, name); }
void closeLibrary(void* handle) { dlclose(handle); }
bool isMapped(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle != nullptr;
}
#endif

template <typename Function>
bool bind(void* handle, const char* name, Function* out, std::string* error) {
  void* symbol = findExport(handle, name);
  if (symbol == nullptr) {
    *error = std::string("missing export ") + name;
    return false;
  }
  *out = reinterpret_cast<Function>(symbol);
  return true;
}

}  // namespace

std::unique_ptr<LoadedLibrary> LoadedLibrary::load(const std::string& path, std::string* error) {
  void* handle = openLibrary(path, error);
  if (handle == nullptr) return nullptr;
  std::unique_ptr<LoadedLibrary> library(new LoadedLibrary(handle, path));
  if (!bind(handle, "DllGetClassForm", &library->getClassForm, error) ||
      !bind(handle, "DllGetInterface", &library->getInterface, error) ||
      !bind(handle, "DllGetClassInfo", &library->getClassInfo, error) ||
      !bind(handle, "DllGetClassObject", &library->getClassObject, error) ||
      !bind(handle, "DllCanUnloadNow", &library->canUnloadNow, error)) {
    return nullptr;
  }
  return library;
}

bool LoadedLibrary::isLoaded(const std::string& path) { return isMapped(path); }

LoadedLibrary::~LoadedLibrary() {
  // A library with objects still alive stays loaded: its code may still run.
  if (canUnloadNow == nullptr || canUnloadNow() == StatusOk) closeLibrary(handle_);
}

std::vector<ClassInterfaceInfo> LoadedLibrary::classInfo(IHostMemory& memory) const {
  std::vector<ClassInterfaceInfo> entries;
  ClassInterfaceInfo* array = nullptr;
  if (getClassInfo(&memory, &array) != StatusOk || array == nullptr) return entries;
  const HostGuid zero{};
  for (const ClassInterfaceInfo* entry = array; entry->classId != zero; ++entry) {
    entries.push_back(*entry);
  }
  memory.freeMemory(array);
  return entries;
}

}  // namespace zephyx::standin
