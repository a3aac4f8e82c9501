// The console view under load: appending lines into the console with its model and view
// attached (each append is one row for the view, and the view follows the newest), and
// scrolling through a long console a page at a time, painting each page. A server's console
// can reach tens of thousands of lines between the clears of its display commands.
//
//   build/bin/console_view_bench            (offscreen unless QT_QPA_PLATFORM says otherwise)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QTreeView>

#include <memory>
#include <string>

#include "common/gui/console_view.h"

namespace zelt::gui {
namespace {

const LineKind kKinds[] = {LineKind::Plain, LineKind::Function, LineKind::Error,
                           LineKind::Important};

void fill(Console& console, int lines) {
    for (int i = 0; i < lines; ++i) {
        const LineKind kind = kKinds[i % 4];
        console.append("Line " + std::to_string(i) + " of a long day at the server", kind,
                       kind == LineKind::Function ? "EDTACT" : kNoTag);
    }
}

struct Shown {
    SystemClock clock;
    Console console{clock};
    ConsoleView view{console, ui::Program::Server, nullptr};
    Shown() {
        view.resize(900, 600);
        view.show();
        QCoreApplication::processEvents();
    }
};

void BM_AppendLines(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto shown = std::make_unique<Shown>();
        state.ResumeTiming();
        fill(shown->console, lines);
        // The view lays the rows out, scrolls to the newest and paints.
        QCoreApplication::processEvents();
        state.PauseTiming();
        shown.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(BM_AppendLines)->Arg(500)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_ScrollAPage(benchmark::State& state) {
    Shown shown;
    fill(shown.console, static_cast<int>(state.range(0)));
    QCoreApplication::processEvents();
    QScrollBar* bar = shown.view.list()->verticalScrollBar();
    int value = 0;
    for (auto _ : state) {
        value = value + bar->pageStep() > bar->maximum() ? 0 : value + bar->pageStep();
        bar->setValue(value);
        shown.view.list()->viewport()->repaint();
    }
}
BENCHMARK(BM_ScrollAPage)->Arg(500)->Arg(50000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zelt::gui

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
