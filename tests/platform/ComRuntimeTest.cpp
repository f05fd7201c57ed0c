// The COM runtime of the simulated server: apartments per thread and
// activation through the registry and the class table.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/com/ComClassTable.h"
#include "platform/com/ComRegistration.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace {

// {5E1F0C2A-7B3D-4E8F-9A10-2B3C4D5E6F70}: a class only these tests know.
constexpr CLSID kTestClass = {
    0x5E1F0C2A, 0x7B3D, 0x4E8F, {0x9A, 0x10, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70}};

std::atomic<int> gLiveObjects{0};

class CountedObject final : public IUnknown {
 public:
  CountedObject() { ++gLiveObjects; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid != IID_IUnknown) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  ~CountedObject() { --gLiveObjects; }
  std::atomic<ULONG> references_{1};
};

HRESULT CreateCounted(REFIID riid, void** ppv) {
  auto* object = new CountedObject();
  const HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

class ComActivation : public quaver::test::TempMachineTest {
 protected:
  void SetUp() override {
    com::ComClassTable::Instance().Register(kTestClass, &CreateCounted);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  }
  void TearDown() override {
    CoUninitialize();
    com::ComClassTable::Instance().Unregister(kTestClass);
  }
};

TEST(ComApartment, RepeatAndChangedModel) {
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();
  CoUninitialize();
  // Balanced again: the next initialisation is a first one, in any model.
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  CoUninitialize();
  int reserved = 0;
  EXPECT_EQ(CoInitializeEx(&reserved, COINIT_APARTMENTTHREADED), E_INVALIDARG);
  EXPECT_EQ(CoInitializeEx(nullptr, 0x100), E_INVALIDARG);
}

TEST(ComApartment, EachThreadHasItsOwn) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  HRESULT onOtherThread = E_FAIL;
  std::thread other([&] {
    onOtherThread = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoUninitialize();
  });
  other.join();
  EXPECT_EQ(onOtherThread, S_OK);
  CoUninitialize();
}

TEST_F(ComActivation, RegisteredClassIsCreatedAndReleased) {
  ASSERT_EQ(com::RegisterInprocClass(kTestClass, u"Test", u"C:\\t.dll", u"Both"), ERROR_SUCCESS);
  void* object = nullptr;
  ASSERT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, &object), S_OK);
  EXPECT_EQ(gLiveObjects, 1);
  static_cast<IUnknown*>(object)->Release();
  EXPECT_EQ(gLiveObjects, 0);
}

TEST_F(ComActivation, Failures) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  ASSERT_EQ(com::RegisterInprocClass(kTestClass, u"Test", u"C:\\t.dll", u"Both"), ERROR_SUCCESS);
  // In-process only: a request for a local server finds no registration.
  EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IClassFactory, &object),
            E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  CountedObject* outer = nullptr;
  EXPECT_EQ(CoCreateInstance(kTestClass, reinterpret_cast<IUnknown*>(&outer), CLSCTX_ALL,
                             IID_IUnknown, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(gLiveObjects, 0);
  // Registered but not implemented by the stand-in.
  com::ComClassTable::Instance().Unregister(kTestClass);
  EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
            CO_E_SERVER_EXEC_FAILURE);
  ASSERT_EQ(com::UnregisterClass(kTestClass), ERROR_SUCCESS);
  EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
}

// A registry that cannot be read is not a class that is missing: callers
// that tell the user "not installed" would send them the wrong way.
TEST_F(ComActivation, UnreadableRegistryIsNoMissingClass) {
  ASSERT_EQ(com::RegisterInprocClass(kTestClass, u"Test", u"C:\\t.dll", u"Both"), ERROR_SUCCESS);
  image.WriteHostFile("registry/HKLM.reg", "garbage\n");
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
            REGDB_E_READREGDB);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(gLiveObjects, 0);
}

TEST_F(ComActivation, ServiceClassServesLocalRequests) {
  ASSERT_EQ(com::RegisterServiceClass(kTestClass, u"Test", u"TESTSVC"), ERROR_SUCCESS);
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  ASSERT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object),
            S_OK);
  static_cast<IUnknown*>(object)->Release();
}

TEST(ComActivationWithoutApartment, IsRefused) {
  quaver::test::TempMachine image;
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_MSAdminBase_W, nullptr, CLSCTX_ALL, IID_IMSAdminBase_W, &object),
            CO_E_NOTINITIALIZED);
}

}  // namespace
