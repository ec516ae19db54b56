// The GUI thread's cost to paint a 1920 x 1080 frame from the presentation
// buffer, unscaled and scaled into 1280 x 720, against a plain unscaled
// drawImage of the same picture measured in the same run; and the timer
// thread's cost to hand a frame over, alone and while the GUI thread paints
// as fast as it can, against a plain copy of the frame.
#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "film/Picture.h"
#include "shell/Geometry.h"
#include "shell/FramePresentation.h"

using namespace movarel;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

Picture TestPicture() {
    Picture picture;
    picture.Reset(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) picture.Row(y)[x] = static_cast<uint32_t>((x * 7) ^ (y * 13)) & 0xFFFFFFu;
    return picture;
}

const Picture& SharedPicture() {
    static const Picture picture = TestPicture();
    return picture;
}

// The main window's presentation buffer, as one window holds it.
PresentationState& Presented() {
    static PresentationState presented;
    return presented;
}

// The presentation buffer holds one taken frame, as after the first paint.
void PrimePresentation(const PictureGeometry& g) {
    Presented().RequestRepaint = nullptr;
    PresentFrame(Presented(), SharedPicture());
    TakePresentation(Presented(), g);
    Presented().RepaintPending = false;
}

void BM_PlainDrawImage(benchmark::State& state) {
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    QImage source(kWidth, kHeight, QImage::Format_RGB32);
    std::memcpy(source.bits(), SharedPicture().Pixels.data(), source.sizeInBytes());
    for (auto _ : state) {
        QPainter painter(&target);
        painter.drawImage(0, 0, source);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}

void PaintInto(benchmark::State& state, int windowWidth, int windowHeight, int32_t fps) {
    const PictureGeometry g = ComputePictureGeometry(kWidth, kHeight, windowWidth, windowHeight);
    PrimePresentation(g);
    QImage target(windowWidth, windowHeight, QImage::Format_RGB32);
    const QRegion all(0, 0, windowWidth, windowHeight);
    for (auto _ : state) {
        QPainter painter(&target);
        PaintFrame(Presented(), painter, g, fps, all);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}

void BM_PaintUnscaled(benchmark::State& state) { PaintInto(state, kWidth, kHeight, 25); }
void BM_PaintScaled1280x720(benchmark::State& state) { PaintInto(state, 1280, 720, 25); }
void BM_PaintScaledSmooth1280x720(benchmark::State& state) { PaintInto(state, 1280, 720, 5); }

// What a shrunk picture costs per frame now that it is area-averaged: every
// iteration hands over a frame that differs from the last in every row, so
// the whole picture is scaled again (the worst case); and a cursor move,
// where only the cursor's surroundings are.

// What the window does once the timer thread has presented: take the
// changed region and paint it.
void TakeAndPaint(const PictureGeometry& g, QImage& target) {
    const QRegion changed = TakePresentation(Presented(), g);
    Presented().RepaintPending = false;
    QPainter painter(&target);
    PaintFrame(Presented(), painter, g, 25, changed);
    painter.end();
    benchmark::DoNotOptimize(target.constBits());
}

void BM_PaintScaledEveryFrame1280x720(benchmark::State& state) {
    const PictureGeometry g = ComputePictureGeometry(kWidth, kHeight, 1280, 720);
    PrimePresentation(g);
    Picture other = SharedPicture();
    for (uint32_t& pixel : other.Pixels) pixel ^= 0x010101u;
    QImage target(1280, 720, QImage::Format_RGB32);
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        PresentFrame(Presented(), flip ? other : SharedPicture());
        TakeAndPaint(g, target);
    }
}

void BM_PaintScaledCursorMove1280x720(benchmark::State& state) {
    const PictureGeometry g = ComputePictureGeometry(kWidth, kHeight, 1280, 720);
    PrimePresentation(g);
    QImage target(1280, 720, QImage::Format_RGB32);
    const PixelRect cursor{900, 500, 48, 48};
    for (auto _ : state) {
        PresentCursorArea(Presented(), SharedPicture(), &cursor, 1);
        TakeAndPaint(g, target);
    }
}

// Qt's own smooth scaling of the same picture, for comparison.
void BM_QtSmoothScaled1280x720(benchmark::State& state) {
    QImage source(kWidth, kHeight, QImage::Format_RGB32);
    std::memcpy(source.bits(), SharedPicture().Pixels.data(), source.sizeInBytes());
    for (auto _ : state) {
        QImage scaled = source.scaled(1280, 720, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(scaled.constBits());
    }
}

void BM_PlainFrameCopy(benchmark::State& state) {
    std::vector<uint32_t> target(SharedPicture().Pixels.size());
    for (auto _ : state) {
        std::memcpy(target.data(), SharedPicture().Pixels.data(), target.size() * 4);
        benchmark::DoNotOptimize(target.data());
    }
}

void BM_PresentFrame(benchmark::State& state) {
    const PictureGeometry g = ComputePictureGeometry(kWidth, kHeight, 1280, 720);
    PrimePresentation(g);
    std::atomic<bool> stop{false};
    std::thread painter;
    if (state.range(0) == 1) {
        // The GUI thread paints in a loop; the hand-over may wait only for its
        // short take, never for a paint.
        painter = std::thread([&] {
            QImage target(1280, 720, QImage::Format_RGB32);
            const QRegion all(0, 0, 1280, 720);
            while (!stop) {
                TakePresentation(Presented(), g);
                Presented().RepaintPending = false;
                QPainter p(&target);
                PaintFrame(Presented(), p, g, 25, all);
            }
        });
    }
    for (auto _ : state) PresentFrame(Presented(), SharedPicture());
    stop = true;
    if (painter.joinable()) painter.join();
    state.SetLabel(state.range(0) == 1 ? "while the GUI thread paints" : "alone");
}

}  // namespace

BENCHMARK(BM_PlainDrawImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintUnscaled)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintScaled1280x720)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintScaledSmooth1280x720)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintScaledEveryFrame1280x720)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintScaledCursorMove1280x720)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtSmoothScaled1280x720)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFrameCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PresentFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

namespace {

// Prints each result as a ratio to its baseline from the same run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string name = run.benchmark_name();
            const double t = run.GetAdjustedRealTime();
            if (name == "BM_PlainDrawImage") drawImage_ = t;
            if (name == "BM_PlainFrameCopy") copy_ = t;
            if (name.rfind("BM_Paint", 0) == 0 && drawImage_ > 0)
                std::printf("  %s: %.2f ms, %.2fx a plain unscaled drawImage\n", name.c_str(), t, t / drawImage_);
            if (name.rfind("BM_PresentFrame", 0) == 0 && copy_ > 0)
                std::printf("  %s: %.2f ms, %.2fx a plain frame copy\n", name.c_str(), t, t / copy_);
        }
    }

private:
    double drawImage_ = 0, copy_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
