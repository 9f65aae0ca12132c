// LZMA2 through liblzma's raw encoder: its output is the LZMA2 stream a 7z
// folder holds, and the one property byte is the dictionary size.
#include "qvoc/lzma_encoder.h"

#include <lzma.h>

#include <vector>

namespace quillon::qvoc {

namespace {

constexpr std::size_t buffer_size = 1 << 20;

std::unexpected<Error> encoder_error(lzma_ret code)
{
    return make_error(code == LZMA_MEM_ERROR ? ErrorCode::io : ErrorCode::internal,
                      "The LZMA2 encoder failed (liblzma code " + std::to_string(static_cast<int>(code)) + ")");
}

class Stream {
public:
    ~Stream() { lzma_end(&m_stream); }
    lzma_stream* get() { return &m_stream; }

private:
    lzma_stream m_stream = LZMA_STREAM_INIT;
};

} // namespace

bool folder_filter_x86_available()
{
    return lzma_filter_encoder_is_supported(LZMA_FILTER_X86) != 0;
}

Result<CoderChain> encode_folder(ByteSource& source, ByteSink& sink, int level, bool x86)
{
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, static_cast<std::uint32_t>(level)))
        return make_error(ErrorCode::out_of_range, "No compression level " + std::to_string(level));
    x86 = x86 && folder_filter_x86_available();
    // liblzma's chain runs first to last when encoding; the 7z folder lists its coders the other way round.
    lzma_filter with_x86[] = {{LZMA_FILTER_X86, nullptr}, {LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_filter plain[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_filter* filters = x86 ? with_x86 : plain;
    lzma_filter& lzma2 = x86 ? with_x86[1] : plain[0];
    Stream stream;
    if (lzma_ret ret = lzma_raw_encoder(stream.get(), filters); ret != LZMA_OK)
        return encoder_error(ret);

    std::vector<char> in(buffer_size);
    std::vector<std::uint8_t> out(buffer_size);
    lzma_stream* s = stream.get();
    s->next_out = out.data();
    s->avail_out = out.size();
    bool input_done = false;
    for (;;) {
        if (s->avail_in == 0 && !input_done) {
            std::size_t got = TRY(source.read(in.data(), in.size()));
            s->next_in = reinterpret_cast<const std::uint8_t*>(in.data());
            s->avail_in = got;
            input_done = got == 0;
        }
        lzma_ret ret = lzma_code(s, input_done ? LZMA_FINISH : LZMA_RUN);
        if (s->avail_out == 0 || ret == LZMA_STREAM_END) {
            TRY(sink.write(std::string_view(reinterpret_cast<const char*>(out.data()), out.size() - s->avail_out)));
            s->next_out = out.data();
            s->avail_out = out.size();
        }
        if (ret == LZMA_STREAM_END)
            break;
        if (ret != LZMA_OK)
            return encoder_error(ret);
    }

    std::uint32_t size = 0;
    if (lzma_ret ret = lzma_properties_size(&size, &lzma2); ret != LZMA_OK)
        return encoder_error(ret);
    std::string properties(size, '\0');
    if (lzma_ret ret = lzma_properties_encode(&lzma2, reinterpret_cast<std::uint8_t*>(properties.data()));
        ret != LZMA_OK)
        return encoder_error(ret);
    CoderChain chain;
    if (x86)
        chain.push_back({std::string("\x03\x03\x01\x03", 4), {}}); // BCJ
    chain.push_back({std::string(1, '\x21'), std::move(properties)});
    return chain;
}

} // namespace quillon::qvoc
