// libjpeg's source and error handling over the core's opened file.

#include "media/TWMediaJpeg.h"

namespace {

using twmedia::JpegErrors;
using twmedia::JpegSource;

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr info) {
    auto* source = reinterpret_cast<JpegSource*>(info->src);
    const long n = source->file->readAt(source->file->handle, source->offset, source->buffer, sizeof source->buffer);
    if (n <= 0) {
        // A file that ends early: an end marker lets libjpeg finish with what it has.
        static const JOCTET kEnd[] = {0xFF, JPEG_EOI};
        source->manager.next_input_byte = kEnd;
        source->manager.bytes_in_buffer = sizeof kEnd;
        return TRUE;
    }
    source->offset += static_cast<uint64_t>(n);
    source->manager.next_input_byte = source->buffer;
    source->manager.bytes_in_buffer = static_cast<size_t>(n);
    return TRUE;
}

void skipInput(j_decompress_ptr info, long count) {
    auto* source = reinterpret_cast<JpegSource*>(info->src);
    if (count <= 0) return;
    if (static_cast<size_t>(count) <= source->manager.bytes_in_buffer) {
        source->manager.next_input_byte += count;
        source->manager.bytes_in_buffer -= static_cast<size_t>(count);
        return;
    }
    source->offset += static_cast<uint64_t>(count) - source->manager.bytes_in_buffer;
    source->manager.bytes_in_buffer = 0;
}

void onJpegError(j_common_ptr info) {
    longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// Warnings about damaged data are expected from damaged files: not worth a log line each.
void onJpegMessage(j_common_ptr, int) {}

}  // namespace

void twmedia::attachJpeg(jpeg_decompress_struct& info, JpegSource& source, JpegErrors& errors,
                         const TWMediaFile* file) {
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = onJpegError;
    errors.manager.emit_message = onJpegMessage;
    jpeg_create_decompress(&info);
    source.file = file;
    source.offset = 0;
    source.manager.init_source = initSource;
    source.manager.fill_input_buffer = fillInput;
    source.manager.skip_input_data = skipInput;
    source.manager.resync_to_restart = jpeg_resync_to_restart;
    source.manager.term_source = termSource;
    source.manager.bytes_in_buffer = 0;
    source.manager.next_input_byte = nullptr;
    info.src = &source.manager;
}
