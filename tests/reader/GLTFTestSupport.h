#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "math/Vec3.h"

namespace TestSupport
{

// Writes glTF models for the tests: binary data in one buffer, views and accessors over
// it, and the rest of the JSON as each test spells it.
class GLTFModel
{
public:
    // Appends the values to the buffer (at a multiple of 4 bytes) as a new view; returns
    // the view's number.
    template <typename T>
    int view(const std::vector<T>& values, const std::string& more = "")
    {
        while (m_Buffer.size() % 4)
            m_Buffer += '\0';
        const std::size_t offset = m_Buffer.size();
        m_Buffer.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
        m_Views.push_back("{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                          ",\"byteLength\":" + std::to_string(values.size() * sizeof(T)) + more + "}");
        return static_cast<int>(m_Views.size() - 1);
    }
    // An accessor over a view; returns its number. 5126 float, 5123 unsigned short, 5125
    // unsigned int, 5121 unsigned byte.
    int accessor(int view, int componentType, std::size_t count, const std::string& type, const std::string& more = "")
    {
        m_Accessors.push_back("{\"bufferView\":" + std::to_string(view) +
                              ",\"componentType\":" + std::to_string(componentType) +
                              ",\"count\":" + std::to_string(count) + ",\"type\":\"" + type + "\"" + more + "}");
        return static_cast<int>(m_Accessors.size() - 1);
    }
    // A view and accessor of floats, `type` "VEC2" or "VEC3".
    int floats(const std::vector<float>& values, const std::string& type)
    {
        const std::size_t width = type == "VEC2" ? 2 : 3;
        return accessor(view(values), 5126, values.size() / width, type);
    }
    int indices(const std::vector<std::uint16_t>& values)
    {
        return accessor(view(values), 5123, values.size(), "SCALAR");
    }

    const std::string& bytes() const { return m_Buffer; }
    // The JSON text, with the buffer in the file `bufferUri` (or a data URI when it is
    // empty) and `rest`, further top-level members ("\"meshes\":[...],...").
    std::string gltf(const std::string& bufferUri, const std::string& rest) const
    {
        const std::string uri =
            bufferUri.empty() ? "data:application/octet-stream;base64," + base64(m_Buffer) : bufferUri;
        return head("{\"uri\":\"" + uri + "\",\"byteLength\":" + std::to_string(m_Buffer.size()) + "}", rest);
    }
    // The binary form, with the buffer in its binary chunk.
    std::string glb(const std::string& rest) const
    {
        return container(head("{\"byteLength\":" + std::to_string(m_Buffer.size()) + "}", rest), m_Buffer);
    }
    // A binary file of a JSON text and a binary chunk.
    static std::string container(std::string json, const std::string& bytes)
    {
        while (json.size() % 4)
            json += ' ';
        std::string bin = bytes;
        while (bin.size() % 4)
            bin += '\0';
        std::string out = "glTF";
        word(out, 2);
        word(out, static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
        word(out, static_cast<std::uint32_t>(json.size()));
        out += "JSON" + json;
        word(out, static_cast<std::uint32_t>(bin.size()));
        out += std::string("BIN\0", 4) + bin;
        return out;
    }

    static std::string base64(const std::string& bytes)
    {
        static const char c_Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string out;
        for (std::size_t i = 0; i < bytes.size(); i += 3) {
            std::uint32_t n = static_cast<std::uint8_t>(bytes[i]) << 16;
            if (i + 1 < bytes.size())
                n |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
            if (i + 2 < bytes.size())
                n |= static_cast<std::uint8_t>(bytes[i + 2]);
            out += c_Digits[n >> 18 & 63];
            out += c_Digits[n >> 12 & 63];
            out += i + 1 < bytes.size() ? c_Digits[n >> 6 & 63] : '=';
            out += i + 2 < bytes.size() ? c_Digits[n & 63] : '=';
        }
        return out;
    }

private:
    static void word(std::string& out, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>(value >> (8 * i) & 0xFF);
    }
    static std::string list(const std::vector<std::string>& items)
    {
        std::string out = "[";
        for (std::size_t i = 0; i < items.size(); ++i)
            out += (i ? "," : "") + items[i];
        return out + "]";
    }
    std::string head(const std::string& buffer, const std::string& rest) const
    {
        return "{\"asset\":{\"version\":\"2.0\"},\"buffers\":[" + buffer + "],\"bufferViews\":" + list(m_Views) +
               ",\"accessors\":" + list(m_Accessors) + (rest.empty() ? "" : "," + rest) + "}";
    }

    std::string m_Buffer;
    std::vector<std::string> m_Views;
    std::vector<std::string> m_Accessors;
};

// The normal a primitive hands to OpenGL for a stored one.
inline Vec3<double> emittedNormal(const Vec3<double>& stored)
{
    return Vec3<double>(stored.x(), -stored.z(), stored.y());
}

} // namespace TestSupport
