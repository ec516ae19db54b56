// Scrubbing along the progress bar of a long busy recording (1280 x 720,
// 3,000 frames at 5 frames/s, every frame changing pixels all over the
// screen): the pointer sweeps the bar for a second while the button is held,
// moving every 5 ms as the event loop lets it, and the distinct pictures
// shown are counted. The baseline, in the same run, is the player's own seek
// to the same places one after the other: the drag's pictures/s against the
// seeks/s shows what the shell's handling of the drag costs (1.0: nothing;
// the target is at least 20 pictures/s).
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "FilmWriter.h"
#include "controls/BottomPanel.h"
#include "controls/ProgressBar.h"
#include "engine/Player.h"
#include "engine/SeekIndex.h"
#include "shell/FilmLoading.h"
#include "shell/MainWindow.h"
#include "shell/PanelBinding.h"
#include "shell/Seeking.h"
#include "test_dirs.h"

using namespace movarel;

namespace {

constexpr int32_t kWidth = 1280, kHeight = 720, kFrames = 3000;
constexpr int kSweepMs = 1000, kMoveEveryMs = 5;

MainWindow* Window() {
    static TestDir dir;
    static MainWindow* window = [] {
        writer::FilmSpec film;
        writer::SegmentSpec segment;
        segment.width = kWidth;
        segment.height = kHeight;
        segment.fps = 5.0f;
        segment.soundKind = writer::kSoundWav;
        segment.packing = writer::Packing::CabStored;
        segment.title = "busy";
        segment.rawFrameRecords = writer::BusyScreenRecords(kWidth, kHeight, kFrames);
        segment.frameCount = kFrames;
        film.segments.push_back(std::move(segment));
        const std::string path = dir.path + "busy.qxf";
        writer::WriteFileBytes(path, writer::BuildFilmFile(film));
        const std::string program = dir.path + "player";
        writer::WriteFileBytes(program, {0x7F, 'E', 'L', 'F'});
        setenv("TMPDIR", dir.path.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir.path + "config").c_str(), 1);
        MainWindow* w = StartPlayer({path, "/segm", "0"}, program);
        // The index is built in the background from the first seek on; the
        // figures are for a film whose index is complete.
        SeekShell(FilmPosition{0, 0});
        while (w->ActivePlayer().SeekIndexProgressOf(0).State == SeekIndexState::Building)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return w;
    }();
    return window;
}

double directPerSecond = 0;

// The frame a place along the sweep stands for: the bar's scale, 0 .. 1.
int32_t FrameAt(double fraction) { return static_cast<int32_t>(fraction * (kFrames - 1)); }

void BM_DirectSeeks(benchmark::State& state) {
    Player& player = Window()->ActivePlayer();
    int64_t seeks = 0;
    for (auto _ : state) {
        for (int step = 0; step < 40; ++step) {
            player.SeekTo(0, FrameAt(step / 40.0));
            player.Events().Take();
            ++seeks;
        }
    }
    state.counters["pictures/s"] = benchmark::Counter(static_cast<double>(seeks), benchmark::Counter::kIsRate);
}

void BM_DragScrub(benchmark::State& state) {
    MainWindow* window = Window();
    ProgressBar* bar = window->Panels().Panel()->progressBar();
    auto send = [bar](QEvent::Type type, double fraction) {
        const QPointF at(bar->valueToX(static_cast<float>(fraction * bar->total())), 5);
        QMouseEvent event(type, at, bar->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &event);
    };
    int64_t pictures = 0;
    for (auto _ : state) {
        std::optional<FilmPosition> last;
        auto count = [&] {
            const std::optional<FilmPosition> shown = ShownPosition(window->ActivePlayer().Clock());
            if (shown && (!last || shown->Frame != last->Frame)) {
                ++pictures;
                last = shown;
            }
        };
        QElapsedTimer clock;
        clock.start();
        send(QEvent::MouseButtonPress, 0.02);
        QTimer mover;
        mover.setInterval(kMoveEveryMs);
        QObject::connect(&mover, &QTimer::timeout, [&] {
            send(QEvent::MouseMove, 0.02 + 0.96 * std::min<double>(clock.elapsed(), kSweepMs) / kSweepMs);
        });
        mover.start();
        while (clock.elapsed() < kSweepMs) {
            QApplication::processEvents(QEventLoop::AllEvents, kMoveEveryMs);
            count();
        }
        mover.stop();
        send(QEvent::MouseButtonRelease, 0.98);
        QApplication::processEvents();
        count();
    }
    state.counters["pictures/s"] = benchmark::Counter(static_cast<double>(pictures), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_DirectSeeks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DragScrub)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rate = run.counters.find("pictures/s");
            if (rate == run.counters.end())
                continue;
            if (run.benchmark_name().rfind("BM_DirectSeeks", 0) == 0)
                directPerSecond = rate->second;
            else if (directPerSecond > 0)
                std::printf("  drag: %.1f pictures/s, %.2fx the player's own seeks/s (%.1f)\n",
                            static_cast<double>(rate->second), rate->second / directPerSecond, directPerSecond);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    FinishPlayer(Window());
    return 0;
}
