#pragma once

#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "reader/ASEReader.h"
#include "rendering/MaterialTexture.h"
#include "rendering/Mesh.h"
#include "support/PictureFiles.h"

namespace TestSupport
{

// Stands in for the picture loading of material textures while it lives: every bitmap
// path asked for is recorded, and gets a texture unless its name contains "missing".
// A texture here is the index of its path in `paths`, plus one.
class FakeTextures
{
public:
    FakeTextures() : m_Saved(Rendering::MaterialTexture::setHooks({load, release, apply, loadEncoded})) { current() = this; }
    ~FakeTextures()
    {
        Rendering::MaterialTexture::setHooks(m_Saved);
        current() = nullptr;
    }
    static Rendering::Texture* texture(std::size_t n) { return reinterpret_cast<Rendering::Texture*>(n); }

    std::vector<std::string> paths;
    std::vector<Rendering::Texture*> released;
    std::vector<Rendering::Texture*> applied;

private:
    static FakeTextures*& current()
    {
        static FakeTextures* instance = nullptr;
        return instance;
    }
    static Rendering::Texture* load(const std::string& path)
    {
        current()->paths.push_back(path);
        return path.find("missing") == std::string::npos ? texture(current()->paths.size()) : nullptr;
    }
    // A picture inside a model file is recorded by its name.
    static Rendering::Texture* loadEncoded(const std::string& name, const unsigned char*, std::size_t)
    {
        return load(name);
    }
    static void release(Rendering::Texture* t) { current()->released.push_back(t); }
    static void apply(Rendering::Texture* t) { current()->applied.push_back(t); }

    Rendering::MaterialTexture::Hooks m_Saved;
};

// Reads ASE text into a new mesh as if it were the file at `path`, collecting the output.
inline std::unique_ptr<Rendering::Mesh> readAse(const std::string& text, std::string* output = nullptr,
                                                const std::string& path = "data/models/piece.ase")
{
    auto mesh = std::make_unique<Rendering::Mesh>();
    CapturedOutput capture;
    Reader::ASEReader reader;
    reader.loadFromMemory(text.data(), text.size(), path, mesh.get());
    if (output)
        *output = capture.text();
    return mesh;
}

} // namespace TestSupport
