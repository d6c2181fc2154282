#include "PrintKit/render/decode/JpegDecoder.h"

#include "PrintKit/render/decode/DecoderSupport.h"
#include "PrintKit/render/decode/ExifOrientation.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <span>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

// libjpeg reports a fatal error by calling error_exit, which by default ends the process. Here error_exit
// longjmps back into the small C-style function that made the library call; those functions hold no C++
// object that needs destruction, and no C++ exception is ever thrown through a libjpeg frame. Everything
// that needs cleaning up lives in the Session, which its C++ owner destroys.

namespace PrintKit::JpegDecoder {

namespace {

constexpr std::size_t inputBufferSize = 64 * 1024;

struct Session {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    jpeg_source_mgr sourceManager;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    const ByteSource* source;
    std::uint64_t position;
    int maxScans;
    bool created;
    bool endTolerated; // the headers are read: running out of bytes is judged after the decode
    bool endedEarly;   // the bytes ran out before an end marker
    bool multipleScans;
    JOCTET* icc; // from jpeg_read_icc_profile (malloc'd)
    unsigned int iccLength;
    JOCTET buffer[inputBufferSize];
};

Session* sessionOf(j_common_ptr cinfo) {
    return static_cast<Session*>(cinfo->client_data);
}

extern "C" void errorExit(j_common_ptr cinfo) {
    std::longjmp(sessionOf(cinfo)->jump, 1);
}

// Warnings that mean image data is missing or garbled (the library would fill the gap with grey) end the
// decode: a photographer would rather hear the file is damaged than get a print with a grey band. Running
// out of bytes once the headers are read is not such a warning by itself: a copy that lost only its end
// marker holds every scanline. Had data been missing, the entropy decoder would hit the library's stand-in
// end marker (JWRN_HIT_MARKER); what a file of several scans lacks is judged after the decode.
extern "C" void emitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) {
        return;
    }
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
        if (sessionOf(cinfo)->endTolerated) {
            sessionOf(cinfo)->endedEarly = true;
            cinfo->err->num_warnings++;
            return;
        }
        std::longjmp(sessionOf(cinfo)->jump, 1);
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
        std::longjmp(sessionOf(cinfo)->jump, 1);
    default:
        cinfo->err->num_warnings++;
    }
}

extern "C" void outputMessage(j_common_ptr) {}

// A progressive file can carry any number of scans, each decoded in full: a forged one with thousands of
// tiny scans would run for hours.
extern "C" void progressMonitor(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (decompress->input_scan_number > sessionOf(cinfo)->maxScans) {
            std::longjmp(sessionOf(cinfo)->jump, 1);
        }
    }
}

extern "C" void initSource(j_decompress_ptr) {}

extern "C" boolean fillInputBuffer(j_decompress_ptr cinfo) {
    Session* session = sessionOf(reinterpret_cast<j_common_ptr>(cinfo));
    std::int64_t got = session->source->read(session->position, session->buffer, inputBufferSize);
    if (got < 0) {
        ERREXIT(cinfo, JERR_FILE_READ);
    }
    if (got == 0) {
        // Ends the decode through emitMessage; the fake end marker is what the library expects otherwise.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        session->buffer[0] = 0xFF;
        session->buffer[1] = JPEG_EOI;
        got = 2;
    } else {
        session->position += static_cast<std::uint64_t>(got);
    }
    cinfo->src->next_input_byte = session->buffer;
    cinfo->src->bytes_in_buffer = static_cast<std::size_t>(got);
    return TRUE;
}

extern "C" void skipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) {
        return;
    }
    auto skip = static_cast<std::size_t>(count);
    jpeg_source_mgr* src = cinfo->src;
    if (skip <= src->bytes_in_buffer) {
        src->next_input_byte += skip;
        src->bytes_in_buffer -= skip;
        return;
    }
    Session* session = sessionOf(reinterpret_cast<j_common_ptr>(cinfo));
    session->position += skip - src->bytes_in_buffer;
    src->bytes_in_buffer = 0;
    src->next_input_byte = session->buffer;
}

extern "C" void termSource(j_decompress_ptr) {}

// --- the only functions that call into libjpeg; each catches the library's longjmp itself ---

bool create(Session* s) {
    s->cinfo.err = jpeg_std_error(&s->errors);
    s->errors.error_exit = errorExit;
    s->errors.emit_message = emitMessage;
    s->errors.output_message = outputMessage;
    s->cinfo.client_data = s;
    if (setjmp(s->jump)) {
        return false;
    }
    jpeg_create_decompress(&s->cinfo);
    s->created = true;
    s->cinfo.client_data = s;
    s->progress.progress_monitor = progressMonitor;
    s->cinfo.progress = &s->progress;
    if (const std::uint8_t* memory = s->source->memory()) {
        jpeg_mem_src(&s->cinfo, memory, static_cast<unsigned long>(s->source->size()));
    } else {
        s->sourceManager.init_source = initSource;
        s->sourceManager.fill_input_buffer = fillInputBuffer;
        s->sourceManager.skip_input_data = skipInputData;
        s->sourceManager.resync_to_restart = jpeg_resync_to_restart;
        s->sourceManager.term_source = termSource;
        s->sourceManager.bytes_in_buffer = 0;
        s->sourceManager.next_input_byte = nullptr;
        s->cinfo.src = &s->sourceManager;
    }
    return true;
}

bool readHeader(Session* s, bool wantProfile, std::size_t maxMemory) {
    if (setjmp(s->jump)) {
        return false;
    }
    s->cinfo.mem->max_memory_to_use = static_cast<long>(maxMemory > 0x7FFFFFFFL ? 0x7FFFFFFFL : maxMemory);
    jpeg_save_markers(&s->cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (wantProfile) {
        jpeg_save_markers(&s->cinfo, JPEG_APP0 + 2, 0xFFFF);
    }
    if (jpeg_read_header(&s->cinfo, TRUE) != JPEG_HEADER_OK) {
        return false;
    }
    s->multipleScans = jpeg_has_multiple_scans(&s->cinfo) != FALSE;
    if (wantProfile && !jpeg_read_icc_profile(&s->cinfo, &s->icc, &s->iccLength)) {
        s->icc = nullptr; // absent or broken: the photo is simply untagged
        s->iccLength = 0;
    }
    return true;
}

bool start(Session* s, J_COLOR_SPACE outSpace, unsigned int scaleNum) {
    if (setjmp(s->jump)) {
        return false;
    }
    s->cinfo.out_color_space = outSpace;
    s->cinfo.scale_num = scaleNum;
    s->cinfo.scale_denom = 8;
    s->cinfo.dct_method = JDCT_ISLOW;
    return jpeg_start_decompress(&s->cinfo) != FALSE;
}

bool readRows(Session* s, std::uint8_t* first, std::size_t stride) {
    if (setjmp(s->jump)) {
        return false;
    }
    JSAMPROW rows[16];
    while (s->cinfo.output_scanline < s->cinfo.output_height) {
        JDIMENSION next = s->cinfo.output_scanline;
        JDIMENSION count = s->cinfo.output_height - next;
        if (count > 16) {
            count = 16;
        }
        for (JDIMENSION i = 0; i < count; ++i) {
            rows[i] = first + static_cast<std::size_t>(next + i) * stride;
        }
        if (jpeg_read_scanlines(&s->cinfo, rows, count) == 0) {
            return false;
        }
    }
    return true;
}

// Owns the session for the C++ side: destroys the decompressor and frees the profile on every exit.
class SessionOwner {
public:
    explicit SessionOwner(const ByteSource& source, const DecodeLimits& limits) : session_(new Session) {
        session_->source = &source;
        session_->position = 0;
        session_->maxScans = limits.maxJpegScans;
        session_->created = false;
        session_->endTolerated = false;
        session_->endedEarly = false;
        session_->multipleScans = false;
        session_->icc = nullptr;
        session_->iccLength = 0;
        if (!create(session_.get())) {
            // The destructor does not run for a constructor that throws.
            if (session_->created) {
                jpeg_destroy_decompress(&session_->cinfo);
            }
            source.fail();
        }
    }
    ~SessionOwner() {
        if (session_->created) {
            jpeg_destroy_decompress(&session_->cinfo);
        }
        std::free(session_->icc);
    }
    SessionOwner(const SessionOwner&) = delete;
    SessionOwner& operator=(const SessionOwner&) = delete;
    Session* get() { return session_.get(); }

private:
    std::unique_ptr<Session> session_;
};

// Whether a file that ran out of bytes before its end marker still gave every scanline its data. One scan
// is whole when the entropy decoder never ran short. Of several scans, a progressive file is whole when
// every coefficient got its last refinement; a sequential one cannot tell and is taken as cut short.
bool wholeWithoutEndMarker(const Session& s) {
    if (!s.multipleScans) {
        return true;
    }
    if (!s.cinfo.progressive_mode || !s.cinfo.coef_bits) {
        return false;
    }
    for (int c = 0; c < s.cinfo.num_components; ++c) {
        for (int k = 0; k < DCTSIZE2; ++k) {
            if (s.cinfo.coef_bits[c][k] != 0) {
                return false;
            }
        }
    }
    return true;
}

int orientationOf(const jpeg_decompress_struct& cinfo) {
    for (jpeg_saved_marker_ptr marker = cinfo.marker_list; marker; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1) {
            if (auto value = ExifOrientation::fromJpegSegment(
                    std::span<const std::uint8_t>(marker->data, marker->data_length))) {
                return ExifOrientation::normalized(value);
            }
        }
    }
    return 1;
}

} // namespace

ImageInfo probe(const ByteSource& source, const DecodeLimits& limits) {
    SessionOwner owner(source, limits);
    Session* s = owner.get();
    if (!readHeader(s, false, limits.maxAllocation) ||
        !DecoderSupport::sizeAllowed(s->cinfo.image_width, s->cinfo.image_height, limits)) {
        source.fail();
    }
    return ImageInfo{ImageFormat::jpeg, static_cast<int>(s->cinfo.image_width),
                     static_cast<int>(s->cinfo.image_height), orientationOf(s->cinfo)};
}

DecodedImage decode(const ByteSource& source, const DecodeLimits& limits, int minimumLongSide) {
    SessionOwner owner(source, limits);
    Session* s = owner.get();
    if (!readHeader(s, true, limits.maxAllocation) ||
        !DecoderSupport::sizeAllowed(s->cinfo.image_width, s->cinfo.image_height, limits)) {
        source.fail();
    }

    ColorModel model;
    J_COLOR_SPACE outSpace;
    switch (s->cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        model = ColorModel::gray;
        outSpace = JCS_GRAYSCALE;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        model = ColorModel::cmyk;
        outSpace = JCS_CMYK;
        break;
    default:
        model = ColorModel::rgb;
        outSpace = JCS_RGB;
        break;
    }

    s->endTolerated = true;
    unsigned int scaleNum = 8;
    if (minimumLongSide > 0) {
        std::uint64_t longSide = std::max(s->cinfo.image_width, s->cinfo.image_height);
        for (unsigned int num = 1; num < 8; ++num) {
            if ((longSide * num + 7) / 8 >= static_cast<std::uint64_t>(minimumLongSide)) {
                scaleNum = num;
                break;
            }
        }
    }
    if (!start(s, outSpace, scaleNum)) {
        source.fail();
    }
    int channels = colorChannels(model);
    if (s->cinfo.output_components != channels) {
        source.fail();
    }
    DecodedImage image =
        DecoderSupport::allocate(source, ImageFormat::jpeg, s->cinfo.output_width, s->cinfo.output_height,
                                 model, channels, SampleType::uint8, AlphaMode::none, limits);
    if (!readRows(s, image.pixels.data(), image.bytesPerRow) ||
        (s->endedEarly && !wholeWithoutEndMarker(*s))) {
        source.fail();
    }
    // Adobe's CMYK (and YCCK) files store inverted ink amounts.
    if (model == ColorModel::cmyk && s->cinfo.saw_Adobe_marker) {
        std::uint8_t* bytes = image.pixels.data();
        for (std::size_t i = 0, n = image.pixels.size(); i < n; ++i) {
            bytes[i] = static_cast<std::uint8_t>(255 - bytes[i]);
        }
    }
    if (s->icc && s->iccLength > 0) {
        image.icc.assign(reinterpret_cast<const char*>(s->icc), s->iccLength);
    }
    image.orientation = orientationOf(s->cinfo);
    return image;
}

} // namespace PrintKit::JpegDecoder
