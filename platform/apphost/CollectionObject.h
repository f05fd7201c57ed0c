// IAppHostElementCollection over a ConfigCollection.
#pragma once

#include <memory>

#include "platform/apphost/ComBase.h"
#include "platform/apphost/ConfigCollection.h"

namespace apphost {

class CollectionObject final : public ComBase<IAppHostElementCollection> {
 public:
  explicit CollectionObject(std::shared_ptr<ConfigCollection> collection)
      : collection_(std::move(collection)) {}

  HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcElementCount) override;
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostElement** ppElement) override;
  HRESULT STDMETHODCALLTYPE AddElement(IAppHostElement* pElement, INT cPosition) override;
  HRESULT STDMETHODCALLTYPE DeleteElement(VARIANT cIndex) override;
  HRESULT STDMETHODCALLTYPE Clear() override;
  HRESULT STDMETHODCALLTYPE CreateNewElement(BSTR bstrElementName,
                                             IAppHostElement** ppElement) override;
  HRESULT STDMETHODCALLTYPE get_Schema(IAppHostCollectionSchema** ppSchema) override;

 protected:
  bool Supports(REFIID riid) const override { return riid == IID_IAppHostElementCollection; }

 private:
  // A number, or an element whose key selects the entry.
  HRESULT Position(const VARIANT& index, size_t& position);

  std::shared_ptr<ConfigCollection> collection_;
};

}  // namespace apphost
