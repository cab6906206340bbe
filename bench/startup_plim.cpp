// Start-up benchmark, the real program: the start-up of app/main.cpp itself
// (vp::run), with a probe that marks its steps, reports when the splash
// window is first exposed and quits.
#include "app/program.h"
#include "app/run.h"
#include "bench/startup_probe.h"

#include <string_view>

int main(int argc, char* argv[])
{
    (void)argc;
    const vp::bench::ProcessAge age;
    vp::bench::FirstFrameProbe probe(age);
    probe.mark("main");
    return vp::run(argv[0], [&probe](const char* step, vp::Setup* setup) {
        probe.mark(step);
        // Once the splash is shown, its window is the one to watch.
        return std::string_view(step) != "shown" || probe.watch(setup->PreStart().window());
    });
}
