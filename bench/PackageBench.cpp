// Parse of a large package against the floor set by copying its bytes and
// inflating its compressed bodies, and the memory Parse needs on top of the
// package bytes. Run: build/bench/bench_package
//
// Host measurement code: reads /proc for the resident-set peak.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "package/Update.h"
#include "tools/cvsp/ZlibPacker.h"

namespace {

const uint32_t kComponents = 10000;
const uint32_t kFileSize = 20000;  // 10,000 x 20,000 bytes = 200 MB of file data

struct Fixture {
  CSPBuffer package;
  std::vector<std::vector<unsigned char>> compressedBodies;
  uint64_t fileBytes = 0;
};

// Text-like data that deflates about 3:1, different for every file.
CSPBuffer FileData(uint32_t seed) {
  static const char* const kWords[] = {"rewrite ", "rule ",         "condition ", "pattern ",
                                       "server ",  "header ",       "request ",   "\r\n",
                                       "map ",     "%{HTTP_HOST} ", "[L] ",       "^/(.*)$ "};
  CSPBuffer data;
  data.SetSize(kFileSize);
  uint32_t state = seed * 2654435761u + 1;
  uint32_t at = 0;
  while (at < kFileSize) {
    state = state * 1664525u + 1013904223u;
    const char* word = kWords[(state >> 24) % 12];
    for (const char* c = word; *c != 0 && at < kFileSize; ++c) data.GetData()[at++] = *c;
    if ((state & 0xFF) < 40 && at < kFileSize) data.GetData()[at++] = 'a' + (state >> 8) % 26;
  }
  return data;
}

ComponentVariable Record(uint32_t index, const CSPBuffer& data, bool compress) {
  ComponentVariable record, field;
  field.SetString("TYPE", "FILE");
  record.AddToMap("", field);
  field.SetULong("OPTIONS", 0);
  record.AddToMap("", field);
  field.SetString("PATH", "bin");
  record.AddToMap("", field);
  field.SetString("FILENAME", (CSPString("file") + CSPString(index) + ".dll").GetString());
  record.AddToMap("", field);
  field.SetBinary("DATA", data);
  field.SetCompressed(compress);
  record.AddToMap("", field);
  return record;
}

Fixture& TheFixture() {
  static Fixture fixture = [] {
    Fixture made;
    ComponentVariable list;
    list.SetList("COMPONENTS", VariableType::MAP);
    for (uint32_t i = 0; i < kComponents; ++i) {
      CSPBuffer data = FileData(i);
      bool compress = i % 2 == 0;
      list.AddToList("COMPONENTS", Record(i, data, compress));
      made.fileBytes += data.GetSize();
      if (compress) {
        CSPBuffer packed;
        ZlibPacker(6).Pack(data.GetData(), data.GetSize(), packed);
        made.compressedBodies.emplace_back(packed.GetData(), packed.GetData() + packed.GetSize());
      }
    }
    ComponentVariable root, field;
    field.SetString("VERSION_STRING", "4.0.9");
    root.AddToMap("SETUP", field);
    field.SetULong("VERSION_NUMBER", 409);
    root.AddToMap("SETUP", field);
    field.SetDate("VERSION_DATE", CSPDate(1, 1, 2010));
    root.AddToMap("SETUP", field);
    root.AddToMap("SETUP", list);
    CSPBuffer tree;
    ZlibPacker packer(6);
    root.Encode(tree, true, packer);
    unsigned char frame[16] = {'C', 'V', 'S', 'E', 'T', 'U', 'P', 'P',
                               'C', 'K', 'G', ':', 0,   0,   2,   0};
    made.package.Set(frame, 16);
    made.package.Append(tree);
    return made;
  }();
  return fixture;
}

void BM_Parse(benchmark::State& state) {
  Fixture& fixture = TheFixture();
  for (auto _ : state) {
    state.PauseTiming();
    {
      Update engine;
      engine.SetPackageData(fixture.package);
      state.ResumeTiming();
      if (!engine.Parse() || engine.GetComponentCount() != kComponents) {
        state.SkipWithError("the package did not parse");
      }
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * fixture.package.GetSize());
}

void BM_Memcpy(benchmark::State& state) {
  Fixture& fixture = TheFixture();
  std::vector<unsigned char> copy(fixture.package.GetSize());
  for (auto _ : state) {
    std::memcpy(copy.data(), fixture.package.GetData(), copy.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * fixture.package.GetSize());
}

void BM_Uncompress(benchmark::State& state) {
  Fixture& fixture = TheFixture();
  std::vector<unsigned char> out(kFileSize);
  for (auto _ : state) {
    for (const auto& body : fixture.compressedBodies) {
      uLongf produced = kFileSize;
      uncompress(out.data(), &produced, body.data(), body.size());
    }
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Uncompress)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's times per iteration for the ratios. The ratios are
// taken on CPU time: on a shared machine the wall clock also counts the time
// other programs held the processor.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      seconds[run.run_name.function_name] = run.GetAdjustedCPUTime();
      wallSeconds[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
  std::map<std::string, double> wallSeconds;
};

long StatusKilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
  }
  return -1;
}

void ReportPeakMemory() {
  Fixture& fixture = TheFixture();
  Update engine;
  engine.SetPackageData(fixture.package);
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak to the current size
  long before = StatusKilobytes("VmRSS:");
  bool parsed = engine.Parse();
  long peak = StatusKilobytes("VmHWM:");
  double packageMb = fixture.package.GetSize() / 1048576.0;
  double extraMb = (peak - before) / 1024.0;
  std::printf("\npackage: %.1f MB (%u components, %.1f MB of file data, half compressed)%s\n",
              packageMb, kComponents, fixture.fileBytes / 1048576.0, parsed ? "" : " NOT PARSED");
  std::printf("peak memory of Parse on top of the package bytes: %.1f MB = %.2f x package size\n",
              extraMb, extraMb / packageMb);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TheFixture();
  ReportPeakMemory();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double parse = reporter.seconds["BM_Parse"];
  double copy = reporter.seconds["BM_Memcpy"];
  double inflate = reporter.seconds["BM_Uncompress"];
  if (parse > 0 && copy > 0 && inflate > 0) {
    std::printf("\nParse / memcpy of the package bytes:       %.1f x\n", parse / copy);
    std::printf("Parse / uncompress of the compressed bodies: %.2f x\n", parse / inflate);
    std::printf("rate of Parse / rate of uncompress:         %.2f x\n", inflate / parse);
    std::printf("(the same on the wall clock:               %.2f x)\n",
                reporter.wallSeconds["BM_Uncompress"] / reporter.wallSeconds["BM_Parse"]);
  }
  benchmark::Shutdown();
  return 0;
}
