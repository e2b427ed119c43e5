// Stand-in for the Windows Update Agent's automatic-updates object, served in-process
// (registered for the class AutomaticUpdates by full path, threading model "Both").
// Its settings live in "autoupdates.txt" beside the library: "LEVEL READONLY REQUIRED
// SERVICE DELAY" (missing: "3 0 0 1 0"); Save waits DELAY ms and then writes the level
// the same settings object was given. Every call is appended to
// "autoupdates_record.txt": its name, its argument if any, and the apartment it was
// made in ("sta" or "mta"), separated by tabs.
#include <windows.h>
// windows.h first: the headers below build on it.
#include <objbase.h>
#include <wuapi.h>

#include <fstream>
#include <string>

#include "dll_double.h"

namespace {

using dll_double::Beside;

HRESULT Record(const std::string& call) {
  APTTYPE type = APTTYPE_CURRENT;
  APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
  ::CoGetApartmentType(&type, &qualifier);
  std::ofstream(Beside(L"autoupdates_record.txt").c_str(), std::ios::app | std::ios::binary)
      << call << "\t" << (type == APTTYPE_MTA ? "mta" : "sta") << "\n";
  return S_OK;
}

struct State {
  long level = 3, readOnly = 0, required = 0, service = 1, delay = 0;
};
State Load() {
  State s;
  std::ifstream(Beside(L"autoupdates.txt").c_str()) >> s.level >> s.readOnly >> s.required >>
      s.service >> s.delay;
  return s;
}

VARIANT_BOOL Bool(long value) {
  return value ? VARIANT_TRUE : VARIANT_FALSE;
}

// IUnknown and IDispatch for an interface I (the dispatch part is not offered).
template <class I>
class Object : public I {
 public:
  virtual ~Object() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid != __uuidof(IUnknown) && iid != __uuidof(IDispatch) && iid != __uuidof(I))
      return E_NOINTERFACE;
    AddRef();
    *out = static_cast<I*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ::InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

 private:
  LONG refs_ = 1;
};

class Settings : public Object<IAutomaticUpdatesSettings> {
 public:
  HRESULT STDMETHODCALLTYPE get_NotificationLevel(AutomaticUpdatesNotificationLevel* out) override {
    *out = static_cast<AutomaticUpdatesNotificationLevel>(level_);
    return Record("get_NotificationLevel");
  }
  HRESULT STDMETHODCALLTYPE
  put_NotificationLevel(AutomaticUpdatesNotificationLevel value) override {
    level_ = value;
    return Record("put_NotificationLevel\t" + std::to_string(value));
  }
  HRESULT STDMETHODCALLTYPE get_ReadOnly(VARIANT_BOOL* out) override {
    *out = Bool(Load().readOnly);
    return Record("get_ReadOnly");
  }
  HRESULT STDMETHODCALLTYPE get_Required(VARIANT_BOOL* out) override {
    *out = Bool(Load().required);
    return Record("get_Required");
  }
  HRESULT STDMETHODCALLTYPE
  get_ScheduledInstallationDay(AutomaticUpdatesScheduledInstallationDay*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE
  put_ScheduledInstallationDay(AutomaticUpdatesScheduledInstallationDay) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_ScheduledInstallationTime(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_ScheduledInstallationTime(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Refresh() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Save() override {
    Record("Save");
    State s = Load();
    ::Sleep(static_cast<DWORD>(s.delay));
    s.level = level_;
    std::ofstream(Beside(L"autoupdates.txt").c_str(), std::ios::trunc)
        << s.level << " " << s.readOnly << " " << s.required << " " << s.service << " " << s.delay;
    return S_OK;
  }

 private:
  long level_ = Load().level;
};

class Updates : public Object<IAutomaticUpdates> {
 public:
  HRESULT STDMETHODCALLTYPE DetectNow() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Resume() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ShowSettingsDialog() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Settings(IAutomaticUpdatesSettings** out) override {
    *out = new Settings;
    return Record("get_Settings");
  }
  HRESULT STDMETHODCALLTYPE get_ServiceEnabled(VARIANT_BOOL* out) override {
    *out = Bool(Load().service);
    return Record("get_ServiceEnabled");
  }
  HRESULT STDMETHODCALLTYPE EnableService() override { return E_NOTIMPL; }
};

class Factory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == __uuidof(IUnknown) || iid == __uuidof(IClassFactory) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Record("CreateInstance");
    auto* updates = new Updates;
    const HRESULT hr = updates->QueryInterface(iid, out);
    updates->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
Factory gFactory;

}  // namespace

extern "C" __declspec(dllexport) HRESULT
    __stdcall DllGetClassObject(REFCLSID, REFIID iid, void** out) {
  return gFactory.QueryInterface(iid, out);
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllCanUnloadNow() {
  return S_FALSE;
}
