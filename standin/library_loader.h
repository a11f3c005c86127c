// Loading an extension library through its exports, as the real host does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/library_exports.h"

namespace zephyx::standin {

// The five exports of one loaded library. The library stays loaded while
// this object lives.
class LoadedLibrary {
 public:
  // Loads the library at `path` and looks up its exports; null with the
  // loader's message in *error when that fails.
  static std::unique_ptr<LoadedLibrary> load(const std::string& path, std::string* error);
  ~LoadedLibrary();
  // Whether the library at `path` is in this process now, loaded by anyone.
  static bool isLoaded(const std::string& path);
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // The class and interface entries of DllGetClassInfo, without the
  // closing zero entry; empty when the library gave none.
  std::vector<ClassInterfaceInfo> classInfo(IHostMemory& memory) const;

  const std::string& path() const { return path_; }

  DllGetClassFormFn getClassForm = nullptr;
  DllGetInterfaceFn getInterface = nullptr;
  DllGetClassInfoFn getClassInfo = nullptr;
  DllGetClassObjectFn getClassObject = nullptr;
  DllCanUnloadNowFn canUnloadNow = nullptr;

 private:
  LoadedLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}

  void* handle_;
  std::string path_;
};

}  // namespace zephyx::standin
