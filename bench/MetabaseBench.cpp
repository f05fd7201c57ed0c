// The product's script map added over every website root of an IIS 6
// metabase that sets script maps of its own (IISHelper::AddScriptMap with
// include subkeys, then Save), for 100 and for 1,000 websites. The change
// is one entry per root, so the cost should grow with the number of roots,
// not with its square: the ratio of the two runs is the figure to watch.
// Run: build/bench/bench_metabase
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "iis/IISHelper.h"
#include "platform/com/ComRegistration.h"
#include "platform/machine.h"
#include "platform/metabase/DefaultMetabase.h"
#include "platform/metabase/MetabaseService.h"
#include "platform/metabase/MetabaseXml.h"
#include "platform/text.h"
#include "platform/win.h"

namespace fs = std::filesystem;

namespace {

// An IIS 6 image whose metabase has `sites` websites, each root with script
// maps of its own.
class SitesImage {
 public:
  explicit SitesImage(int sites) {
    root_ = fs::temp_directory_path() /
            ("quaver-bench-metabase-" +
             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    machine::CreateImage(root_);
    machine::SelectMachine(root_);
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\InetStp", 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const DWORD version = 6;
    RegSetValueExW(key, u"MajorVersion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&version),
                   sizeof version);
    RegCloseKey(key);
    com::RegisterServiceClass(CLSID_MSAdminBase_W, u"IIS Admin Base Object", u"IISADMIN");
    auto tree = metabase::DefaultIis6Metabase(u"WEBSRV01");
    metabase::Key& w3svc = *tree->FindChild(u"LM")->FindChild(u"W3SVC");
    // A map of their own keeps the roots' lists apart from the inherited one.
    metabase::Property maps = *w3svc.FindProperty(MD_SCRIPT_MAPS);
    auto entries = metabase::DecodeMultiString(maps.data);
    entries.push_back(u".php,C:\\PHP\\php5isapi.dll,5,GET,HEAD,POST");
    maps.data = metabase::EncodeMultiString(entries);
    for (int id = 4; id <= sites; ++id) {
      metabase::Key& site = w3svc.AddChild(machine::FromUtf8(std::to_string(id)));
      site.SetProperty(*w3svc.FindChild(u"1")->FindProperty(MD_KEY_TYPE));
      site.AddChild(u"ROOT").SetProperty(maps);
    }
    for (const char16_t* id : {u"1", u"2"})
      w3svc.FindChild(id)->FindChild(u"ROOT")->SetProperty(maps);
    machine::WriteFileAtomically(metabase::HostPathOf(metabase::kMetabaseFile),
                                 metabase::SerializeMetabaseXml(*tree));
  }
  ~SitesImage() {
    machine::DeselectMachine();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

 private:
  fs::path root_;
};

void AddScriptMapOverSiteRoots(benchmark::State& state) {
  SitesImage image(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    IISHelper iis;
    iis.Connect(IISHelper::ConnectMetabase);
    const bool added = iis.AddScriptMap(u".qvr", u"C:\\Program Files\\Corvane\\Quaver\\iquaver.dll",
                                        1, u"GET,POST", u"", true);
    const bool saved = iis.Save(IISHelper::SaveMetabase);
    if (!added || !saved) state.SkipWithError("AddScriptMap failed");
  }
}

BENCHMARK(AddScriptMapOverSiteRoots)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
