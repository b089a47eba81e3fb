// Times one whole manager-mode punch through the keypads (a complete in-and-out entry: page to
// COMPLETE, confirm, a date and time in, a date and time out, 26 keys) against a recording
// display, and beside it the same number of display calls made directly, so that the keypads'
// own cost shows as a ratio.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "host/framework/Message.h"
#include "host/framework/RecordingDisplay.h"
#include "host/framework/StepSequence.h"
#include "keypad/StampkindKeypad.h"
#include "platform/FakeServices.h"
#include "platform/Services.h"
#include "step/clsStep.h"

namespace {

constexpr std::string_view kCompletePunch = "++2\r1204260830\r1204261700\r";

struct PunchRig {
    PunchRig() {
        step->InitProperties();
        step->Skip(std::make_shared<orvane::StepSequence>());
        keypad->Attach(step, display);
        keypad->ReceiveMessage(orvane::MakeMessage("manager mode", true));
    }

    // One punch from Reset to Finished; answers how many display calls it made.
    std::size_t Punch() {
        display->clear_calls();
        keypad->Reset();
        for (char key : kCompletePunch)
            keypad->ProcessKeyPress(static_cast<int16_t>(key));
        return display->calls().size();
    }

    platform::FakeServices fake;
    platform::ServicesScope scope{fake};
    std::shared_ptr<stampkind::clsStep> step = std::make_shared<stampkind::clsStep>();
    std::shared_ptr<orvane::RecordingDisplay> display =
        std::make_shared<orvane::RecordingDisplay>();
    std::shared_ptr<stampkind::StampkindKeypad> keypad = stampkind::StampkindKeypad::Create();
};

std::size_t DisplayCallsPerPunch() {
    PunchRig rig;
    return rig.Punch();
}

void BM_ManagerPunchThroughKeypads(benchmark::State& state) {
    PunchRig rig;
    std::size_t calls = 0;
    for (auto _ : state) {
        calls = rig.Punch();
        benchmark::DoNotOptimize(rig.step->DateTimeOut());
    }
    state.counters["display_calls"] = static_cast<double>(calls);
    state.counters["keys"] = static_cast<double>(kCompletePunch.size());
}
BENCHMARK(BM_ManagerPunchThroughKeypads);

void BM_BareDisplayCalls(benchmark::State& state) {
    const std::size_t calls = DisplayCallsPerPunch();
    orvane::RecordingDisplay display;
    const std::string text = "12/04/26 08:30  AM";
    for (auto _ : state) {
        display.clear_calls();
        for (std::size_t i = 0; i < calls; ++i)
            display.SetUserInput(text);
        benchmark::DoNotOptimize(display.calls().data());
    }
    state.counters["display_calls"] = static_cast<double>(calls);
}
BENCHMARK(BM_BareDisplayCalls);

// Prints the usual table, then the punch's CPU time as a multiple of the bare display calls
// (CPU time, since the machine is shared and wall time swings with the load).
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.iterations > 0) {
                m_ns[run.benchmark_name()] = run.GetAdjustedCPUTime() * 1e9 /
                                             benchmark::GetTimeUnitMultiplier(run.time_unit);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto punch = m_ns.find("BM_ManagerPunchThroughKeypads");
        const auto bare = m_ns.find("BM_BareDisplayCalls");
        if (punch == m_ns.end() || bare == m_ns.end() || bare->second <= 0)
            return;
        std::printf("manager punch %.0f ns CPU, bare display calls %.0f ns CPU, ratio %.1f\n",
                    punch->second, bare->second, punch->second / bare->second);
    }

  private:
    std::map<std::string, double> m_ns;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
