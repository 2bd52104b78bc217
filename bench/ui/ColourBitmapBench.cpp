// The decoding of one colour emoji glyph's image: the font engine's (QRawFont::alphaMapForGlyph)
// against the decoder's, the two alternating glyph by glyph in one run. Each glyph is decoded once
// at each size by each, so neither is served from a cache.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QRawFont>
#include <chrono>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/qt/ColourBitmapDecoder.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {
namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void BM_ColourGlyph(benchmark::State& state) {
    const QRawFont first = QRawFont::fromFont(Typography::emoji(26));
    const auto opened = Clock::now();
    const auto decoder = ColourBitmapDecoder::open(first);
    const double openTime = since(opened);
    if (!decoder) {
        state.SkipWithError("the colour emoji font is not read by the decoder");
        return;
    }
    std::vector<quint32> glyphs;
    for (quint32 glyph = 0; glyph < 65536; ++glyph) {
        QSize size;
        if (!decoder->png(glyph, &size).isEmpty()) glyphs.push_back(glyph);
    }
    // Every glyph at one size, then the next size: sizes the views draw at, and others near them.
    int size = 26;
    QRawFont raw = QRawFont::fromFont(Typography::emoji(size));
    std::size_t next = 0;
    double engine = 0, decoded = 0;
    long count = 0;
    for (auto _ : state) {
        if (next == glyphs.size()) {
            next = 0;
            size = size >= 70 ? 20 : size + 1;
            raw = QRawFont::fromFont(Typography::emoji(size));
        }
        const quint32 glyph = glyphs[next++];
        const bool engineFirst = count % 2 == 0;
        for (int turn = 0; turn < 2; ++turn) {
            const auto start = Clock::now();
            if ((turn == 0) == engineFirst) {
                benchmark::DoNotOptimize(raw.alphaMapForGlyph(glyph));
                engine += since(start);
            } else {
                benchmark::DoNotOptimize(decoder->image(raw, glyph));
                decoded += since(start);
            }
        }
        ++count;
    }
    state.counters["engine_us"] = engine / double(count);
    state.counters["decoder_us"] = decoded / double(count);
    state.counters["speedup"] = engine / decoded;
    state.counters["open_us"] = openTime;
}
BENCHMARK(BM_ColourGlyph)->Iterations(20000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace mosaiko

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
