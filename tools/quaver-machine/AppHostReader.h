// Read access to the image's application host for appcmd: a read-only admin
// manager created through COM as any program on the server would, and
// small readers for sections, entries and their attributes.
#pragma once

#include <string>
#include <vector>

#include "platform/win.h"

namespace quaver_machine {

// A COM reference released at the end of the scope.
template <class T>
class Held {
 public:
  Held() = default;
  ~Held() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  Held(Held&& other) noexcept : pointer_(other.pointer_) { other.pointer_ = nullptr; }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  T** out() { return &pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

 private:
  T* pointer_ = nullptr;
};

class AppHostReader {
 public:
  // Throws CommandError when the image has no application host.
  AppHostReader();
  ~AppHostReader();
  AppHostReader(const AppHostReader&) = delete;
  AppHostReader& operator=(const AppHostReader&) = delete;

  // The section as `location` ("" for the server, "Site/app" ...) sees it;
  // an empty reference when the file does not declare it.
  Held<IAppHostElement> Section(const std::string& name, const std::string& location) const;
  // Full names of the sections the file declares, in declaration order.
  static std::vector<std::string> DeclaredSections();

  static std::string Name(IAppHostElement* element);
  // The attribute's text; `fallback` when the element has no such attribute.
  static std::string Text(IAppHostElement* element, const std::string& attribute,
                          const std::string& fallback = "");
  // Whether the file sets the attribute (at any level the element merges).
  static bool IsSet(IAppHostElement* element, const std::string& attribute);
  static bool Locked(IAppHostElement* element);
  static Held<IAppHostElement> Child(IAppHostElement* element, const std::string& name);
  // The entries of the element's collection (none without a collection).
  static std::vector<Held<IAppHostElement>> Entries(IAppHostElement* element);
  // Names of the element's attributes, schema attributes first.
  static std::vector<std::string> AttributeNames(IAppHostElement* element);
  static std::vector<Held<IAppHostElement>> Children(IAppHostElement* element);

 private:
  Held<IAppHostAdminManager> manager_;
};

}  // namespace quaver_machine
