// Builds small 7z archives by hand: stored (or claimed-method) data in one
// folder and a plain header, so that tests can use names, methods and sizes
// that no archiver would write.
#pragma once

#include "base/crc32.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon::test {

struct WrittenFile {
    std::u16string name;
    std::string data;
    bool directory = false;
};

struct WriterOptions {
    std::vector<std::uint8_t> method_id{0x00}; // Copy
    std::vector<std::uint8_t> method_properties;
    std::int64_t unpack_size_delta = 0; // lie about the folder's size
    std::int64_t first_size_delta = 0;  // lie about the first file's size
    bool hide_last_stream = false;      // list the last file as empty while its data stays
};

class ArchiveWriter {
public:
    static std::string build(const std::vector<WrittenFile>& files, const WriterOptions& options = {})
    {
        std::string packed;
        std::vector<const WrittenFile*> streams;
        for (const auto& file : files)
            if (!file.directory && !file.data.empty()) {
                packed += file.data;
                streams.push_back(&file);
            }

        std::string h;
        h += '\x01'; // header
        if (!streams.empty()) {
            h += '\x04'; // main streams
            h += '\x06';
            number(h, 0);
            number(h, 1);
            h += '\x09';
            number(h, packed.size());
            h += '\x00';
            h += '\x07';
            h += '\x0B';
            number(h, 1);
            h += '\x00';
            number(h, 1); // one coder
            std::uint8_t flags = static_cast<std::uint8_t>(options.method_id.size());
            if (!options.method_properties.empty())
                flags |= 0x20;
            h += static_cast<char>(flags);
            for (auto b : options.method_id)
                h += static_cast<char>(b);
            if (!options.method_properties.empty()) {
                number(h, options.method_properties.size());
                for (auto b : options.method_properties)
                    h += static_cast<char>(b);
            }
            h += '\x0C';
            number(h, static_cast<std::uint64_t>(static_cast<std::int64_t>(packed.size()) + options.unpack_size_delta));
            h += '\x00';
            h += '\x08';
            h += '\x0D';
            number(h, streams.size());
            h += '\x09';
            for (std::size_t i = 0; i + 1 < streams.size(); ++i)
                number(h, static_cast<std::uint64_t>(static_cast<std::int64_t>(streams[i]->data.size()) +
                                                     (i == 0 ? options.first_size_delta : 0)));
            h += '\x0A';
            h += '\x01';
            for (const auto* file : streams)
                u32(h, crc(file->data));
            h += '\x00';
            h += '\x00';
        }
        h += '\x05'; // files
        number(h, files.size());
        std::vector<bool> empty_stream;
        std::vector<bool> empty_file;
        for (const auto& file : files) {
            bool empty = file.directory || file.data.empty() ||
                         (options.hide_last_stream && !streams.empty() && &file == streams.back());
            empty_stream.push_back(empty);
            if (empty)
                empty_file.push_back(!file.directory);
        }
        if (std::find(empty_stream.begin(), empty_stream.end(), true) != empty_stream.end()) {
            bits(h, '\x0E', empty_stream);
            bits(h, '\x0F', empty_file);
        }
        std::string names;
        names += '\x00';
        for (const auto& file : files) {
            for (char16_t c : file.name) {
                names += static_cast<char>(c & 0xFF);
                names += static_cast<char>(c >> 8);
            }
            names += std::string(2, '\x00');
        }
        h += '\x11';
        number(h, names.size());
        h += names;
        h += '\x00';
        h += '\x00';

        std::string start;
        u64(start, packed.size());
        u64(start, h.size());
        u32(start, crc(h));
        std::string archive = "7z\xBC\xAF\x27\x1C";
        archive += '\x00';
        archive += '\x04';
        u32(archive, crc(start));
        archive += start;
        return archive + packed + h;
    }

    static std::uint32_t crc(const std::string& bytes) { return crc32(std::string_view(bytes)); }

private:
    static void number(std::string& out, std::uint64_t value)
    {
        // The full form: 0xFF then eight bytes (valid for any value, simplest to write).
        if (value < 0x80) {
            out += static_cast<char>(value);
            return;
        }
        out += '\xFF';
        u64(out, value);
    }

    static void u32(std::string& out, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }

    static void u64(std::string& out, std::uint64_t value)
    {
        for (int i = 0; i < 8; ++i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }

    static void bits(std::string& out, char property, const std::vector<bool>& values)
    {
        std::string packed((values.size() + 7) / 8, '\x00');
        for (std::size_t i = 0; i < values.size(); ++i)
            if (values[i])
                packed[i / 8] = static_cast<char>(packed[i / 8] | (0x80 >> (i % 8)));
        out += property;
        number(out, packed.size());
        out += packed;
    }
};

} // namespace quillon::test
