#include "platform/sound/SoundBench.h"

#include <mpg123.h>

#include <vector>

int64_t SoundBench_DecodeMp3Direct(const char* path)
{
    mpg123_init();
    int err = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &err);
    if (!handle)
        return -1;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_format_none(handle);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
        mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    int64_t frames = -1;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_open(handle, path) == MPG123_OK &&
        mpg123_getformat(handle, &rate, &channels, &encoding) == MPG123_OK)
    {
        std::vector<float> buffer(4096 * 2);
        frames = 0;
        for (;;)
        {
            size_t done = 0;
            int ret = mpg123_read(handle, buffer.data(), buffer.size() * sizeof(float), &done);
            frames += static_cast<int64_t>(done / (sizeof(float) * channels));
            if (ret != MPG123_OK && ret != MPG123_NEW_FORMAT)
                break;
        }
        mpg123_close(handle);
    }
    mpg123_delete(handle);
    return frames;
}
