// libpuzzle's settings and vectors.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>

#include "TWMediaInternal.h"

namespace {

class FdCloser {
public:
    explicit FdCloser(int fd) : fd_(fd) {}
    ~FdCloser() {
        if (fd_ >= 0) close(fd_);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

void twmedia::applyOptions(PuzzleContext* context, const TWMediaPuzzleOptions* options) {
    // The library's setters refuse what it cannot use and leave the field unchanged.
    puzzle_set_autocrop(context, options->autoCrop);
    puzzle_set_max_cropping_ratio(context, options->maxCroppingRatio);
    puzzle_set_contrast_barrier_for_cropping(context, options->contrastBarrierForCropping);
    puzzle_set_max_width(context, options->maxWidth);
    puzzle_set_max_height(context, options->maxHeight);
    puzzle_set_lambdas(context, options->lambdas);
    puzzle_set_p_ratio(context, options->pRatio);
    puzzle_set_noise_cutoff(context, options->noiseCutOff);
}

// libpuzzle reads images only from a named file. It is handed a lossless PNG copy of
// the pixels already decoded, in an anonymous memory file named through /proc, so it
// never opens the image's own path and measures exactly the pixels that were counted.
int twmedia::fillCvecFromImage(PuzzleContext* context, gdImagePtr image, PuzzleCvec* vector) {
    int size = 0;
    void* png = gdImagePngPtrEx(image, &size, 1);
    if (!png) return -1;
    std::unique_ptr<void, void (*)(void*)> pngOwner(png, gdFree);
    FdCloser memory(memfd_create("twinsift-puzzle", MFD_CLOEXEC));
    if (memory.get() < 0) return -1;
    const auto* bytes = static_cast<const char*>(png);
    for (int written = 0; written < size;) {
        const ssize_t n = write(memory.get(), bytes + written, static_cast<size_t>(size - written));
        if (n <= 0) return -1;
        written += static_cast<int>(n);
    }
    const std::string name = "/proc/self/fd/" + std::to_string(memory.get());
    return puzzle_fill_cvec_from_file(context, vector, name.c_str()) == 0 ? 0 : -1;
}

int twmedia::cvecFromDifferences(PuzzleContext* context, const double* differences, size_t count, signed char* out) {
    if (count == 0) return -1;
    // libpuzzle reads a difference vector it never writes: the const is cast away only
    // to fit its structure.
    PuzzleDvec dvec{count, count, const_cast<double*>(differences)};
    PuzzleCvec cvec;
    puzzle_init_cvec(context, &cvec);
    const int result = puzzle_fill_cvec_from_dvec(context, &cvec, &dvec);
    if (result == 0 && cvec.sizeof_vec == count) std::copy_n(cvec.vec, count, out);
    const bool filled = result == 0 && cvec.sizeof_vec == count;
    puzzle_free_cvec(context, &cvec);
    return filled ? 0 : -1;
}
