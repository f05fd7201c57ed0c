// Reference counting and QueryInterface for the configuration objects. An
// object starts with one reference, held by whoever created it.
#pragma once

#include <atomic>

#include "platform/win.h"

namespace apphost {

template <typename Interface>
class ComBase : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    if (riid == IID_IUnknown || Supports(riid)) {
      *ppvObject = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComBase() = default;
  virtual ~ComBase() = default;
  virtual bool Supports(REFIID riid) const = 0;

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace apphost
