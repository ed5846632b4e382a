// Cost of an image signature against the bare libgd decode it is built on.
//
//   BM_Decode     open through SafeFile and decode with libgd, nothing else
//   BM_Signature  ZPImageSignature::initWithPathFile: the same decode plus the
//                 histogram pass, the file size and the coarse summaries
//   BM_HistogramPass  the pixel pass alone, on images decoded beforehand
// The corpus (fixed seed) is photo-sized JPEG and PNG files written to a temporary
// folder; "overhead" in BM_Signature is its time over BM_Decode's for the same files.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/SafeFile.h"
#include "similar/ZPImageDecoder.h"
#include "similar/ZPImageSignature.h"
#include "similar/ZPSimilarContext.h"

namespace {

constexpr int kWidth = 3000, kHeight = 2000;  // 6 megapixels

// A smooth scene with grain, so that the encoders and decoders do realistic work.
ZPGdImage scene(std::mt19937& random) {
    ZPGdImage image(gdImageCreateTrueColor(kWidth, kHeight));
    std::uniform_real_distribution<double> phase(0, 6.28);
    const double pr = phase(random), pg = phase(random), pb = phase(random);
    const double fx = 0.001 + (random() % 100) / 20000.0, fy = 0.001 + (random() % 100) / 20000.0;
    for (int y = 0; y < kHeight; ++y) {
        int* row = image->tpixels[y];
        for (int x = 0; x < kWidth; ++x) {
            const int grain = static_cast<int>(random() % 17) - 8;
            auto channel = [&](double p) {
                return std::clamp(static_cast<int>(128 + 100 * std::sin(x * fx + p) * std::cos(y * fy - p)) + grain, 0,
                                  255);
            };
            row[x] = gdTrueColor(channel(pr), channel(pg), channel(pb));
        }
    }
    return image;
}

struct Corpus {
    Corpus() {
        char pattern[] = "/tmp/twinsift-signature-bench-XXXXXX";
        folder = mkdtemp(pattern);
        std::mt19937 random(20240601);
        for (int i = 0; i < 8; ++i) {
            ZPGdImage image = scene(random);
            const bool png = i % 4 == 3;  // 6 JPEG, 2 PNG
            const std::string path = folder + "/photo" + std::to_string(i) + (png ? ".png" : ".jpg");
            FILE* file = fopen(path.c_str(), "wb");
            if (png)
                gdImagePngEx(image.get(), file, 6);
            else
                gdImageJpeg(image.get(), file, 90);
            fclose(file);
            (png ? pngs : jpegs).push_back(path);
        }
    }
    ~Corpus() { std::filesystem::remove_all(folder); }
    const std::vector<std::string>& files(int kind) const { return kind == 0 ? jpegs : pngs; }

    std::string folder;
    std::vector<std::string> jpegs, pngs;
};

const Corpus& corpus() {
    static Corpus instance;
    return instance;
}

const char* kindName(int kind) {
    return kind == 0 ? "jpeg" : "png";
}

void BM_Decode(benchmark::State& state) {
    const auto& files = corpus().files(static_cast<int>(state.range(0)));
    size_t i = 0;
    for (auto _ : state) {
        const std::string& path = files[i++ % files.size()];
        std::optional<tw::SafeFile> file = tw::SafeFile::open(path);
        ZPGdImage image = zpDecodeImage(*file, path);
        benchmark::DoNotOptimize(image.get());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.SetLabel(kindName(static_cast<int>(state.range(0))));
}

void BM_Signature(benchmark::State& state) {
    const auto& files = corpus().files(static_cast<int>(state.range(0)));
    ZPSimilarContext context;
    size_t i = 0;
    for (auto _ : state) {
        auto signature = ZPImageSignature::initWithPathFile(files[i++ % files.size()], context);
        if (!signature) state.SkipWithError("no signature");
        benchmark::DoNotOptimize(signature.get());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.SetLabel(kindName(static_cast<int>(state.range(0))));
}

void BM_HistogramPass(benchmark::State& state) {
    const auto& files = corpus().files(static_cast<int>(state.range(0)));
    std::optional<tw::SafeFile> file = tw::SafeFile::open(files[0]);
    ZPGdImage image = zpDecodeImage(*file, files[0]);
    for (auto _ : state) {
        PuzzleHistogram histogram;
        puzzleCountImage(*image, histogram);
        benchmark::DoNotOptimize(histogram.bins[0]);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.SetLabel(kindName(static_cast<int>(state.range(0))));
}

BENCHMARK(BM_Decode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Signature)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_HistogramPass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
