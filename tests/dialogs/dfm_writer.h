// A form's component tree written back in the binary format, with the 16-bit
// resource header a form designer puts before it when it saves a form to a
// file: the binary twin of a text form, for tests that compare the two.
#pragma once

#include "dialogs/dfm.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace quillon::test {

class BinaryFormWriter {
public:
    // The form with the resource header (named by the root's class, in upper case).
    static std::string saved_form(const dfm::Component& root)
    {
        BinaryFormWriter writer;
        writer.m_out = "TPF0";
        writer.component(root);
        std::string header = "\xFF\x0A";
        header += '\0';
        for (char c : root.class_name)
            header += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        header += '\0';
        header += "\x30\x10";
        for (int i = 0; i < 4; ++i)
            header += static_cast<char>((writer.m_out.size() >> (8 * i)) & 0xFF);
        return header + writer.m_out;
    }

private:
    void byte(int value) { m_out += static_cast<char>(value); }
    void le(std::uint64_t value, int width)
    {
        for (int i = 0; i < width; ++i)
            byte(static_cast<int>((value >> (8 * i)) & 0xFF));
    }
    void short_string(const std::string& text)
    {
        byte(static_cast<int>(text.size()));
        m_out += text;
    }

    void component(const dfm::Component& node)
    {
        if (node.inherited)
            byte(0xF1);
        short_string(node.class_name);
        short_string(node.name);
        for (const dfm::Property& property : node.properties) {
            short_string(property.name);
            value(property.value);
        }
        byte(0);
        for (const dfm::Component& child : node.children)
            component(child);
        byte(0);
    }

    void value(const dfm::Value& v)
    {
        switch (v.kind) {
        case dfm::ValueKind::integer:
            if (v.integer >= -128 && v.integer <= 127) {
                byte(2), le(static_cast<std::uint64_t>(v.integer), 1);
            } else if (v.integer >= -32768 && v.integer <= 32767) {
                byte(3), le(static_cast<std::uint64_t>(v.integer), 2);
            } else if (v.integer >= INT32_MIN && v.integer <= INT32_MAX) {
                byte(4), le(static_cast<std::uint64_t>(v.integer), 4);
            } else {
                byte(19), le(static_cast<std::uint64_t>(v.integer), 8);
            }
            break;
        case dfm::ValueKind::floating: extended(v.floating); break;
        case dfm::ValueKind::string:
            if (v.text.size() <= 255) {
                byte(6), short_string(v.text);
            } else {
                byte(12), le(v.text.size(), 4), m_out += v.text;
            }
            break;
        case dfm::ValueKind::identifier:
            if (v.text == "True")
                byte(9);
            else if (v.text == "False")
                byte(8);
            else if (v.text == "nil")
                byte(13);
            else
                byte(7), short_string(v.text);
            break;
        case dfm::ValueKind::set:
            byte(11);
            for (const std::string& member : v.set)
                short_string(member);
            byte(0);
            break;
        case dfm::ValueKind::list:
            byte(1);
            for (const dfm::Value& item : v.list)
                value(item);
            byte(0);
            break;
        case dfm::ValueKind::binary: byte(10), le(v.bytes.size(), 4), m_out += v.bytes; break;
        case dfm::ValueKind::collection:
            byte(14);
            for (const dfm::CollectionItem& item : v.items) {
                byte(1);
                for (const dfm::Property& property : item.properties) {
                    short_string(property.name);
                    value(property.value);
                }
                byte(0);
            }
            byte(0);
            break;
        }
    }

    // The designer's 80-bit Extended: sign and a 15-bit exponent, then a
    // 64-bit mantissa with its integer bit.
    void extended(double number)
    {
        if (number == 0) {
            le(0, 8), le(0, 2);
            return;
        }
        int exponent = 0;
        double fraction = std::frexp(std::fabs(number), &exponent); // [0.5, 1)
        auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 64));
        std::uint64_t sign_exponent = static_cast<std::uint64_t>(exponent - 1 + 16383) | (number < 0 ? 0x8000u : 0u);
        le(mantissa, 8), le(sign_exponent, 2);
    }

    std::string m_out;
};

} // namespace quillon::test
