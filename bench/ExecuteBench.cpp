// Update::Execute of FILE-only packages into a fresh machine image, side by
// side with `tar -xf` of the same files into a fresh folder on the same
// disk, measured in the same run. The ratio engine/tar is the figure to
// watch (target: at most 1.3). Run: build/bench/bench_execute
//
// Host measurement code: builds the tar archive with the host's tar and
// times it through std::system.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "package/Update.h"
#include "platform/machine.h"
#include "tools/cvsp/ZlibPacker.h"
#include "tools/quaver-machine/ToolInternals.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

const char16_t kProductDir[] = u"C:\\Program Files\\Corvane\\Quaver";

// Text-like bytes, different for every file.
CSPBuffer FileData(uint32_t seed, uint32_t size) {
  static const char* const kWords[] = {"rewrite ", "rule ",   "condition ", "pattern ",
                                       "server ",  "header ", "request ",   "\r\n"};
  CSPBuffer data;
  data.SetSize(size);
  uint32_t state = seed * 2654435761u + 1;
  for (uint32_t at = 0; at < size;) {
    state = state * 1664525u + 1013904223u;
    for (const char* c = kWords[(state >> 24) % 8]; *c != 0 && at < size; ++c) {
      data.GetData()[at++] = static_cast<unsigned char>(*c);
    }
  }
  return data;
}

std::string FileName(uint32_t index) { return "f" + std::to_string(index) + ".dat"; }

ComponentVariable FileRecord(uint32_t index, const CSPBuffer& data, bool compress) {
  ComponentVariable record, field;
  record.SetMap("");
  field.SetString("TYPE", "FILE");
  record.AddToMap("", field);
  field.SetULong("OPTIONS", 0);
  record.AddToMap("", field);
  field.SetString("PATH", CSPString("bin\\") + CSPString(index % 50));
  record.AddToMap("", field);
  field.SetString("FILENAME", FileName(index).c_str());
  record.AddToMap("", field);
  field.SetBinary("DATA", data);
  field.SetCompressed(compress);
  record.AddToMap("", field);
  return record;
}

// The package, and the same files laid out for tar, below `work`.
struct Workload {
  CSPBuffer package;
  fs::path archive;
};

Workload Build(const fs::path& work, uint32_t count, uint32_t size, bool halfCompressed) {
  ComponentVariable components, date, number, text, root;
  components.SetList("COMPONENTS", VariableType::MAP);
  const fs::path staging = work / "staging";
  for (uint32_t i = 0; i < count; ++i) {
    CSPBuffer data = FileData(i, size);
    components.AddToList("COMPONENTS", FileRecord(i, data, halfCompressed && i % 2 == 0));
    const fs::path folder = staging / "bin" / std::to_string(i % 50);
    fs::create_directories(folder);
    std::ofstream(folder / FileName(i), std::ios::binary)
        .write(reinterpret_cast<const char*>(data.GetData()), data.GetSize());
  }
  date.SetDate("VERSION_DATE", CSPDate(1, 1, 2010));
  number.SetULong("VERSION_NUMBER", 409);
  text.SetString("VERSION_STRING", "4.0.9");
  root.SetMap("SETUP");
  for (const ComponentVariable* child : {&components, &date, &number, &text}) {
    root.AddToMap("SETUP", *child);
  }
  CSPBuffer tree;
  ZlibPacker packer(6);
  root.Encode(tree, true, packer);
  Workload workload;
  workload.package.Set("CVSETUPPCKG:\0\0\2\0", 16);
  workload.package.Append(tree);
  workload.archive = work / "files.tar";
  std::string command = "tar -cf '" + workload.archive.string() + "' -C '" + staging.string() +
                        "' bin";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("tar -cf failed");
  fs::remove_all(staging);
  return workload;
}

// Reads every page once so that neither side pays first-touch faults.
void Pretouch(const unsigned char* data, size_t size) {
  volatile unsigned char sink = 0;
  for (size_t at = 0; at < size; at += 4096) sink = sink + data[at];
}

void PretouchFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) Pretouch(
      reinterpret_cast<const unsigned char*>(buffer), size_t(in.gcount()));
}

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// One engine run into a fresh IIS 6 image; the parse is not timed.
double TimeExecute(const fs::path& root, const CSPBuffer& package) {
  fs::create_directories(root);
  machine::CreateImage(root);
  machine::SelectMachine(root);
  quaver_machine::RunCreateHooks({root, "6"});
  Update engine;
  engine.SetPackageData(package);
  engine.basePath = kProductDir;
  engine.productKey = u"Software\\Microsoft\\InetStp";  // exists on every IIS image
  engine.makeBackup = false;
  engine.extensibilityMode = 1;
  if (!engine.Parse()) throw std::runtime_error("parse failed");
  for (uint32_t i = 0; i < engine.GetComponentCount(); ++i) {
    const CSPBuffer& data = engine.GetComponent(i)->GetRecord().GetChild("DATA")->GetBytes();
    Pretouch(data.GetData(), data.GetSize());
  }
  Clock::time_point start = Clock::now();
  bool ran = engine.Execute();
  double seconds = Seconds(start);
  machine::DeselectMachine();
  if (!ran) throw std::runtime_error(engine.GetErrorText().GetString());
  return seconds;
}

double TimeTar(const fs::path& folder, const fs::path& archive) {
  fs::create_directories(folder);
  PretouchFile(archive);
  std::string command = "tar -xf '" + archive.string() + "' -C '" + folder.string() + "'";
  Clock::time_point start = Clock::now();
  int status = std::system(command.c_str());
  double seconds = Seconds(start);
  if (status != 0) throw std::runtime_error("tar -xf failed");
  return seconds;
}

void RunSideBySide(benchmark::State& state, uint32_t count, uint32_t size, bool compressed) {
  const fs::path work = fs::temp_directory_path() / ("quaver-bench-" + std::to_string(getpid()));
  fs::remove_all(work);
  Workload workload = Build(work, count, size, compressed);
  double engineTotal = 0, tarTotal = 0;
  uint32_t run = 0;
  for (auto _ : state) {
    ++run;
    const fs::path image = work / ("image" + std::to_string(run));
    const fs::path folder = work / ("tar" + std::to_string(run));
    double engine = TimeExecute(image, workload.package);
    double tar = TimeTar(folder, workload.archive);
    engineTotal += engine;
    tarTotal += tar;
    state.SetIterationTime(engine);
    state.PauseTiming();
    fs::remove_all(image);
    fs::remove_all(folder);
    state.ResumeTiming();
  }
  state.counters["tar_ms"] = 1000 * tarTotal / run;
  state.counters["engine_ms"] = 1000 * engineTotal / run;
  state.counters["ratio"] = engineTotal / tarTotal;
  fs::remove_all(work);
}

void BM_Execute10kFilesOf4KiB(benchmark::State& state) {
  RunSideBySide(state, 10000, 4096, false);
}
void BM_Execute100FilesOf2MiB(benchmark::State& state) {
  RunSideBySide(state, 100, 2 * 1024 * 1024, true);
}

BENCHMARK(BM_Execute10kFilesOf4KiB)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Execute100FilesOf2MiB)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
