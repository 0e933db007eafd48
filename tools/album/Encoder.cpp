#include "Encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace album {

namespace {

struct SLameDeleter
{
    void operator()(lame_global_flags* g) const { lame_close(g); }
};
struct SFileDeleter
{
    void operator()(FILE* f) const { std::fclose(f); }
};

bool WriteAll(FILE* f, const unsigned char* data, size_t size)
{
    return size == 0 || std::fwrite(data, 1, size, f) == size;
}

} // namespace

bool EncodeMp3(const std::vector<float>& left, const std::vector<float>& right, const std::string& path,
               int day, std::string& error)
{
    if (left.size() != right.size()) {
        error = "channel lengths differ";
        return false;
    }
    std::unique_ptr<lame_global_flags, SLameDeleter> lame(lame_init());
    if (!lame) {
        error = "lame_init failed";
        return false;
    }
    lame_global_flags* g = lame.get();
    lame_set_in_samplerate(g, 44100);
    lame_set_out_samplerate(g, 44100);
    lame_set_num_channels(g, 2);
    lame_set_mode(g, JOINT_STEREO);
    lame_set_VBR(g, vbr_off);
    lame_set_brate(g, 128);
    lame_set_quality(g, 7);
    lame_set_bWriteVbrTag(g, 1);
    id3tag_init(g);
    id3tag_v2_only(g);
    const std::string title = "Day " + std::to_string(day);
    const std::string track = std::to_string(day);
    id3tag_set_title(g, title.c_str());
    id3tag_set_album(g, "ORBA demo album");
    id3tag_set_track(g, track.c_str());
    lame_set_write_id3tag_automatic(g, 0);
    if (lame_init_params(g) < 0) {
        error = "lame_init_params failed";
        return false;
    }

    std::unique_ptr<FILE, SFileDeleter> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = "cannot create " + path;
        return false;
    }
    FILE* f = file.get();

    std::vector<unsigned char> tag(lame_get_id3v2_tag(g, nullptr, 0));
    size_t tagSize = tag.empty() ? 0 : lame_get_id3v2_tag(g, tag.data(), tag.size());
    if (tagSize > tag.size() || !WriteAll(f, tag.data(), tagSize)) {
        error = "cannot write tag to " + path;
        return false;
    }

    const size_t chunk = 8192;
    std::vector<unsigned char> out(chunk * 5 / 4 + 7200);
    for (size_t pos = 0; pos < left.size(); pos += chunk) {
        int n = int(std::min(chunk, left.size() - pos));
        int bytes = lame_encode_buffer_ieee_float(g, left.data() + pos, right.data() + pos, n, out.data(), int(out.size()));
        if (bytes < 0 || !WriteAll(f, out.data(), size_t(bytes))) {
            error = "encoding failed for " + path;
            return false;
        }
    }
    int bytes = lame_encode_flush(g, out.data(), int(out.size()));
    if (bytes < 0 || !WriteAll(f, out.data(), size_t(bytes))) {
        error = "encoding failed for " + path;
        return false;
    }

    // The first frame was reserved for the LAME tag; fill it in now that the
    // frame count and padding are known.
    unsigned char lametag[2880];
    size_t lametagSize = lame_get_lametag_frame(g, lametag, sizeof(lametag));
    if (lametagSize > sizeof(lametag) || std::fseek(f, long(tagSize), SEEK_SET) != 0 ||
        !WriteAll(f, lametag, lametagSize)) {
        error = "cannot write the LAME tag to " + path;
        return false;
    }
    if (std::fflush(f) != 0 || std::ferror(f)) {
        error = "write error on " + path;
        return false;
    }
    FILE* raw = file.release();
    if (std::fclose(raw) != 0) {
        error = "write error on " + path;
        return false;
    }
    return true;
}

} // namespace album
