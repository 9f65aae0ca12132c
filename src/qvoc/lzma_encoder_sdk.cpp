// LZMA through the LZMA SDK's encoder (single-threaded build): it pulls the
// folder's bytes and pushes the packed stream through its stream interfaces;
// the five property bytes are the literal/position bits and the dictionary size.
#include "qvoc/lzma_encoder.h"

extern "C" {
#include "LzmaEnc.h"
}

#include <cstdlib>
#include <optional>

namespace quillon::qvoc {

namespace {

void* allocate(void*, size_t size)
{
    return std::malloc(size);
}

void release(void*, void* address)
{
    std::free(address);
}

ISzAlloc allocator = {allocate, release};

// The SDK calls back through plain structures; the first member lets a
// callback find its object. A failure of ours is kept and reported after.
struct InStream {
    ISeqInStream vtable;
    ByteSource* source;
    std::optional<Error> failure;
};

struct OutStream {
    ISeqOutStream vtable;
    ByteSink* sink;
    std::optional<Error> failure;
};

SRes read_in(void* self, void* buffer, size_t* size)
{
    auto* in = static_cast<InStream*>(self);
    Result<std::size_t> got = in->source->read(static_cast<char*>(buffer), *size);
    if (!got) {
        in->failure = got.error();
        *size = 0;
        return SZ_ERROR_READ;
    }
    *size = *got;
    return SZ_OK;
}

size_t write_out(void* self, const void* buffer, size_t size)
{
    auto* out = static_cast<OutStream*>(self);
    Result<void> written = out->sink->write(std::string_view(static_cast<const char*>(buffer), size));
    if (!written) {
        out->failure = written.error();
        return 0;
    }
    return size;
}

class Encoder {
public:
    Encoder() : m_handle(LzmaEnc_Create(&allocator)) {}
    ~Encoder()
    {
        if (m_handle != nullptr)
            LzmaEnc_Destroy(m_handle, &allocator, &allocator);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    CLzmaEncHandle get() const { return m_handle; }

private:
    CLzmaEncHandle m_handle;
};

} // namespace

// The SDK that Debian installs has no branch converter (Bra86.c).
bool folder_filter_x86_available()
{
    return false;
}

Result<CoderChain> encode_folder(ByteSource& source, ByteSink& sink, int level, bool)
{
    if (level < lowest_level || level > highest_level)
        return make_error(ErrorCode::out_of_range, "No compression level " + std::to_string(level));
    Encoder encoder;
    if (encoder.get() == nullptr)
        return make_error(ErrorCode::io, "The LZMA encoder cannot be created");
    CLzmaEncProps props;
    LzmaEncProps_Init(&props);
    props.level = level;
    if (LzmaEnc_SetProps(encoder.get(), &props) != SZ_OK)
        return make_error(ErrorCode::internal, "The LZMA encoder refused level " + std::to_string(level));
    Byte properties[LZMA_PROPS_SIZE];
    SizeT properties_size = LZMA_PROPS_SIZE;
    if (LzmaEnc_WriteProperties(encoder.get(), properties, &properties_size) != SZ_OK)
        return make_error(ErrorCode::internal, "The LZMA encoder gave no properties");

    InStream in{{read_in}, &source, std::nullopt};
    OutStream out{{write_out}, &sink, std::nullopt};
    SRes result = LzmaEnc_Encode(encoder.get(), &out.vtable, &in.vtable, nullptr, &allocator, &allocator);
    if (in.failure)
        return std::unexpected(*in.failure);
    if (out.failure)
        return std::unexpected(*out.failure);
    if (result != SZ_OK)
        return make_error(ErrorCode::internal, "The LZMA encoder failed (SDK code " + std::to_string(result) + ")");
    return CoderChain{
        {std::string("\x03\x01\x01", 3), std::string(reinterpret_cast<const char*>(properties), properties_size)}};
}

} // namespace quillon::qvoc
