// Texture: one OpenGL 2D texture made from an image file at construction.
#pragma once
#include <string>

class Texture {
public:
    std::string name;
    bool loaded = false;
    unsigned int id = 0;
    int width = 0;
    int height = 0;
    bool hasAlpha = false;

    // Loads `name` at once; ends the process with status 1 if it cannot.
    explicit Texture(const std::string& name);
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Reads the image (24- or 32-bit only) and uploads it.
    void Load();
    // Binds the texture; status 1 if it is not loaded.
    void Bind();
    // Deletes the texture; status 1 if it is not loaded.
    void Unload();
};
